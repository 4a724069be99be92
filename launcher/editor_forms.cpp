#include "launcher/editor_forms.h"

#include "favourites/dlg_set_normal.h"
#include "platform/automation/automation_error.h"

namespace wayfind::launcher {

bool favouritesEditorModified(widgets::Form& form) {
  if (auto* editor = dynamic_cast<favourites::dlgSetNormal*>(&form)) return editor->Modified();
  // A form registered under the favourites editor's name that is something else.
  platform::raise(platform::err::kTypeMismatch, kSetNormalForm);
}

bool favouritesEditorSaved(widgets::Form& form) {
  if (auto* editor = dynamic_cast<favourites::dlgSetNormal*>(&form)) return editor->Saved();
  platform::raise(platform::err::kTypeMismatch, kSetNormalForm);
}

}  // namespace wayfind::launcher
