// The windows of the component, made known to the process in one call. A host
// calls it once before it starts the windows, beside the ERP client services it
// registers (the window resource loader among them):
//
//   erp::frmres::registerFrmResLoader();
//   launcher::registerAllWindows();
//   widgets::WindowsSession windows;
//   forms().form("dlgSetProp")->ShowModal();
//
// Every window is listed here and nowhere else: a new window is added to this
// list, and the screenshot command and the checks over every window find it.
#pragma once

namespace wayfind::launcher {

// Registers every form with the form registry, the favourites' group chooser for
// while the windows run, and "WayfindInfo.Application" from the windows' start
// to their stop.
// Later calls do nothing.
void registerAllWindows();

}  // namespace wayfind::launcher
