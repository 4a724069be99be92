#include "app/console/window_commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <ostream>

#include "app/command_line.h"
#include "app/console/console_items.h"
#include "app/console/console_screenshot.h"
#include "app/console/console_window.h"
#include "app/console/language_choice.h"
#include "app/host.h"
#include "context/language.h"
#include "launcher/application.h"
#include "widgets/busy_state.h"
#include "erp/api/progids.h"
#include "erp/frmres/frm_res_loader.h"
#include "launcher/register_windows.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"
#include "widgets/screen_fit.h"
#include "widgets/windows_runtime.h"


namespace wayfind::app::console {

namespace {

enum class Window { Console, SetProp, SetNormal, Options };

bool displayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// SIGTERM and SIGINT close the console as its menu's Exit does: the windows are
// released and the program ends with status 0. The handler only writes to a pipe;
// the event loop does the rest.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &byte, 1);
}

// Closes the windows and ends the program. While a window waits on the
// database, its input is held back, a close with it, and a quit that cannot
// close the windows does not end: the program then ends once the wait is over.
void quitWhenNotWaiting(QApplication& app) {
  if (widgets::IsBusy()) {
    QTimer::singleShot(50, &app, [&app] { quitWhenNotWaiting(app); });
    return;
  }
  app.closeAllWindows();
  app.quit();
}

void quitOnSignals(QApplication& app) {
  if (::pipe(signalPipe) != 0) return;
  ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte;
    [[maybe_unused]] auto n = ::read(signalPipe[0], &byte, 1);
    quitWhenNotWaiting(app);
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

// Ends the event loop after the first paint of the object it watches.
class QuitAfterPaint : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !quitting_) {
      quitting_ = true;
      // The moment of the first paint on the monotonic clock, for the benchmark to
      // set against the moment it started the process.
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      std::fprintf(stderr, "painted at %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool quitting_ = false;
};

int runWindow(Window which, const CommandRequest& request, std::ostream& out, std::ostream& err) {
  HostOptions host = request.host;
  // The language picked in the console's menu, unless the command line or the
  // environment names one.
  if (!request.languageGiven) {
    if (auto saved = savedLanguage()) host.language = *saved;
  }
  if (!displayAvailable()) {
    err << "wayfind: there is no display to open a window on (DISPLAY is not set).\n"
           "Run it in a desktop session, or under a virtual X server: xvfb-run wayfind console.\n"
           "On the terminal, wayfind tree prints the navigation tree.\n";
    return 1;
  }
  int argc = 1;
  char name[] = "wayfind";
  char* argv[] = {name, nullptr};
  auto app = widgets::makeApplication(argc, argv);
  // The window's class on X11 is "wayfind" (the desktop entry's StartupWMClass);
  // on Wayland the desktop entry's name is the window's application id.
  QApplication::setApplicationName("wayfind");
  QGuiApplication::setDesktopFileName(QStringLiteral("org.wayfind.WayfindInfo"));
  launcher::registerAllWindows();
  startHost(host, [&](const std::string& path) { err << "wayfind: created the demo company in " << path << "\n"; });
  erp::frmres::registerFrmResLoader();  // the ERP client service the windows use
  erp::frmres::SetApplicationFont(context::GetLanguageCode());
  widgets::WindowsSession windows;
  launcher::registerApplication();

  int status = 0;
  switch (which) {
    case Window::Console: {
      // Listening before the window shows: a signal sent as soon as the window can
      // be seen ends the program cleanly too.
      quitOnSignals(*app);
      ConsoleWindow console;
      console.load();
      // For measuring how long the console takes to appear (bench/process):
      // WAYFIND_QUIT_AFTER_PAINT ends the program once the window has painted.
      if (const char* quit = std::getenv("WAYFIND_QUIT_AFTER_PAINT"); quit && *quit == '1')
        console.installEventFilter(new QuitAfterPaint(&console));
      widgets::FitToScreen(console);
      console.show();
      status = app->exec();
      break;
    }
    case Window::SetProp:
      if (!platform::CBool(callApplication("ShowSetProp"))) {
        err << "wayfind: the main-console editor was not opened (the user has no right to it, or it failed).\n";
        status = 1;
      }
      break;
    case Window::SetNormal:
      out << (platform::CBool(callApplication("ShowSetNormal")) ? "The favourites were changed.\n"
                                                                : "The favourites were not changed.\n");
      break;
    case Window::Options:
      callApplication("ShowOption");
      break;
  }
  return status;
}

AddedCommand command(const char* name, const char* summary, const char* help, Window which) {
  AddedCommand c;
  c.name = name;
  c.summary = summary;
  c.help = help;
  c.run = [which](const CommandRequest& r, std::ostream& out, std::ostream& err) { return runWindow(which, r, out, err); };
  return c;
}

}  // namespace

void addWindowCommands() {
  addConsoleScreenshotCommand();
  addCommand(command("console", "the main console window: tree, favourites, help codes, search",
                     R"(Usage: wayfind console [options]

Opens the main console: the user's navigation tree and favourites groups, a box
where a help code and Enter start a function, a search over the tree, and the
Tools menu with the main-console editor, the favourites editor and the options.
The console follows --lang; its Language menu picks the language of the next
start (used when neither --lang nor WAYFIND_LANGUAGE names one).
Needs a display (DISPLAY); without one, wayfind tree prints the tree.
)",
                     Window::Console));
  addCommand(command("edit", "the main-console editor on its own",
                     R"(Usage: wayfind edit [options]

Opens the main-console editor, after the rights check of the security component.
Ends with status 1 when the user may not use the editor.
)",
                     Window::SetProp));
  addCommand(command("favourites --edit", "the favourites editor on its own",
                     R"(Usage: wayfind favourites --edit [options]

Opens the favourites editor and says whether the favourites were changed.
)",
                     Window::SetNormal));
  addCommand(command("options", "the options dialog on its own",
                     R"(Usage: wayfind options [options]

Opens the options dialog of the user's console settings.
)",
                     Window::Options));
}

}  // namespace wayfind::app::console
