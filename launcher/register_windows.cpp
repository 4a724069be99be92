#include "launcher/register_windows.h"

#include <mutex>

#include "dialogs/dlg_add_item.h"
#include "dialogs/frm_select_user.h"
#include "editor/dlg_set_prop.h"
#include "favourites/dlg_group.h"
#include "favourites/dlg_set_normal.h"
#include "favourites/frm_all_func.h"
#include "launcher/application.h"
#include "options/dlg_options.h"
#include "options/dlg_properties.h"
#include "widgets/windows_runtime.h"

namespace wayfind::launcher {

void registerAllWindows() {
  static std::once_flag once;
  std::call_once(once, [] {
    dialogs::dlgAddItem::Register();
    dialogs::frmSelectUser::Register();
    options::dlgOptions::Register();
    options::dlgProperties::Register();
    favourites::dlgGroup::Register();
    favourites::dlgSetNormal::Register();
    favourites::frmAllFunc::Register();
    editor::dlgSetProp::Register();
    // The application object opens the windows, so it is there while they run,
    // and only then: kept after their stop, it would open them without the Qt
    // message boxes and event hooks.
    widgets::onWindowsStart(registerApplication);
    widgets::onWindowsStop(unregisterApplication);
  });
}

}  // namespace wayfind::launcher
