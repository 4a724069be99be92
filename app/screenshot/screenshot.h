// Pictures of the windows: renders any registered window (widgets/form_registry.h),
// loaded for a logged-in user of the database and in a chosen language, to a PNG
// file, without a display (Qt's offscreen platform). A window's registration may
// carry a preparation that puts it in a telling state first (a node selected, a
// grid filled).
//
//   wayfind screenshot WINDOW FILE.png [--lang chs|en|cht] [--user ID] [--db PATH]
//
// Nothing waits for a person: message boxes go to the terminal and a modal dialog
// the window opens while loading is closed at once (and reported).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/host.h"

namespace wayfind::app::screenshot {

struct ScreenshotRequest {
  HostOptions host;          // database, user and language of the login
  std::string window;        // a registered form name ("dlgOptions")
  std::string file;          // the PNG to write
};

// Renders the window to the file (written under a temporary name and renamed);
// answers the exit status (0 written, 1 failed with the reason on err).
int takeScreenshot(const ScreenshotRequest& request, std::ostream& out, std::ostream& err);

// Adds "wayfind screenshot" to the program's command line (app/command_line.h).
void addScreenshotCommand();

// The registered windows, one per line.
std::string windowList();

}  // namespace wayfind::app::screenshot
