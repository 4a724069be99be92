// The commands of the wayfind program that open windows: the console, and each
// editor on its own through WayfindInfo.Application, as a host opens them.
//   wayfind console             the main console
//   wayfind edit                the main-console editor
//   wayfind favourites --edit   the favourites editor
//   wayfind options             the options dialog
#pragma once

namespace wayfind::app::console {

// Adds the commands to the program's command line (app/command_line.h).
void addWindowCommands();

}  // namespace wayfind::app::console
