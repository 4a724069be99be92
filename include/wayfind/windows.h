// The component's windows, for a Qt host: the favourites editor, the
// main-console editor and the options dialog. Link WayfindInfo::windows (or
// pkg-config wayfind-windows).
//
//   QApplication app(argc, argv);
//   auto session = wayfind::Session::open({.database = "erp.db", .user = 16385});
//   wayfind::Windows windows(session);
//   windows.show(wayfind::Window::Options);
//
// A Windows object makes the windows ready (their forms, the ERP's window
// resources in the session's language, Qt message boxes for the component's
// messages) and "WayfindInfo.Application" creatable by its ProgID (objects.h);
// destroying it closes them again and takes that ProgID away. A QApplication
// must exist first, and one Windows at a time: otherwise the constructor throws
// Error 5 saying so. A Windows keeps a reference to its session: destroy it
// before the session.
//
// show() opens the window modally and returns when the user closes it; the
// session's tree then shows what the user saved there.
#pragma once

#include "wayfind/error.h"
#include "wayfind/export.h"

namespace wayfind {

class Session;

enum class Window {
  FavouritesEditor,   // the favourites' groups and functions
  MainConsoleEditor,  // the tree: names, order, what is shown (needs the right to it)
  Options,            // the user's options and the company's properties
};

class WAYFIND_EXPORT Windows {
 public:
  explicit Windows(Session& session);
  ~Windows();
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  // Answers whether the window changed something (the favourites editor: the
  // user saved; the main-console editor: it was shown at all, false when the
  // user has no right to it or it could not open, which a message box told the
  // user; the options: always true once closed).
  bool show(Window window);

 private:
  Session& session_;
};

}  // namespace wayfind
