// What the windows need from the process while they run (the host registers the
// ERP's window resource loader "FrmRes.FrmResLoader" with its other client
// services, and the windows, first): Qt message boxes as the message service,
// pending window messages processed where the component lets them run
// (DoEvents), help topics shown in the help window, and whatever the window
// folders add (the group chooser, for one).
//
//   int argc = 1; char* argv[] = {(char*)"wayfind", nullptr};
//   auto app = makeApplication(argc, argv);   // offscreen when there is no display
//   WindowsSession windows;                   // startWindows() ... stopWindows()
//   forms().form("dlgSetProp")->ShowModal();
#pragma once

#include <QApplication>
#include <functional>
#include <memory>

namespace wayfind::widgets {

// A QApplication for the program or a test. Without a display (no DISPLAY and no
// WAYLAND_DISPLAY) and no QT_QPA_PLATFORM chosen, Qt's offscreen platform is used,
// so windows can be rendered on a server. The windows take the desktop's palette;
// WAYFIND_PALETTE=dark asks for a dark one where the desktop gives none (and for
// the pictures of the windows in dark).
// The dark palette of WAYFIND_PALETTE=dark.
QPalette darkPalette();
std::unique_ptr<QApplication> makeApplication(int& argc, char** argv);

// Installs QtMessageService (unless keepMessages)
// and points DoEvents at QCoreApplication::processEvents; then runs the start
// hooks. A QApplication must exist.
void startWindows(bool keepMessages = false);
// Undoes startWindows: destroys the forms, puts back the message service that was
// installed before (unless it was kept), clears the DoEvents hook, runs the stop
// hooks.
void stopWindows();
bool windowsRunning();

// Start and stop hooks of the window folders, added as they are registered
// (launcher/register_windows.h).
void onWindowsStart(std::function<void()> hook);
void onWindowsStop(std::function<void()> hook);

// startWindows() for a scope.
class WindowsSession {
 public:
  explicit WindowsSession(bool keepMessages = false) { startWindows(keepMessages); }
  ~WindowsSession() { stopWindows(); }
  WindowsSession(const WindowsSession&) = delete;
  WindowsSession& operator=(const WindowsSession&) = delete;
};

}  // namespace wayfind::widgets
