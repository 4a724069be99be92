// wayfind/windows.h: the windows' start-up in the order they need it (the forms,
// the ERP's window resource loader, the windows' process hooks, the application
// object), behind one constructor.
#include "wayfind/windows.h"

#include <QApplication>

#include "api/guard.h"
#include "erp/frmres/frm_res_loader.h"
#include "launcher/application.h"
#include "launcher/editor_forms.h"
#include "launcher/register_windows.h"
#include "widgets/form_registry.h"
#include "widgets/windows_runtime.h"
#include "wayfind/session.h"

namespace wayfind {

Windows::Windows(Session& session) : session_(session) {
  session.user();
  // A QCoreApplication or QGuiApplication is not enough: widgets need a QApplication.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    api::failCall("wayfind::Windows needs a QApplication: create one before the windows.");
  if (widgets::windowsRunning())
    api::failCall("The windows are already started; destroy the other wayfind::Windows first.");
  api::guarded([] {
    launcher::registerAllWindows();
    erp::frmres::registerFrmResLoader();
    widgets::startWindows();
    launcher::registerApplication();
  });
}

Windows::~Windows() { widgets::stopWindows(); }

bool Windows::show(Window window) {
  session_.user();
  return api::guarded([&] {
    launcher::Application application;
    switch (window) {
      case Window::FavouritesEditor:
        // The launcher answers the editor's Modified value, which a close always
        // clears (saved, or declined); the host is told whether anything was stored.
        application.ShowSetNormal();
        return launcher::favouritesEditorSaved(*widgets::forms().form(launcher::kSetNormalForm));
      case Window::MainConsoleEditor: return application.ShowSetProp();
      case Window::Options: application.ShowOption(); return true;
    }
    api::failCall("Unknown window.");
  });
}

}  // namespace wayfind
