#include "context/launcher/editor_forms.h"

#include "platform/automation/automation_error.h"

#if __has_include("favourites/dlg_set_normal.h")
#include "favourites/dlg_set_normal.h"
#define WAYFIND_HAS_SET_NORMAL 1
#endif

namespace wayfind::launcher {

bool favouritesEditorModified(widgets::Form& form) {
#ifdef WAYFIND_HAS_SET_NORMAL
  if (auto* editor = dynamic_cast<favourites::dlgSetNormal*>(&form)) return editor->Modified();
#endif
  // A form registered under the name that is not the favourites editor.
  platform::raise(platform::err::kTypeMismatch, kSetNormalForm);
}

}  // namespace wayfind::launcher
