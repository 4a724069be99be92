// The commands of the program that open windows, as the program knows them before
// it loads the windows: their names and one-line summaries, for the list of
// commands. Running one (or asking for its help) opens the module libwayfind_gui
// (platform/modules/module_loader.h), which puts the real commands in their place;
// every other command runs without Qt in the process.
//   wayfind console, console-screenshot, edit, favourites --edit, options, screenshot
#pragma once

namespace wayfind::app {

// Adds the commands to the program's command line; nothing when the program was
// built without the windows.
void addWindowCommandsOnDemand();

}  // namespace wayfind::app
