// Pictures of the console for the documentation: the console of a user, in a
// language, showing one view, rendered to a PNG without a display.
//   wayfind console-screenshot tree FILE.png         the tree opened on a function
//   wayfind console-screenshot favourites FILE.png   the favourites groups
//   wayfind console-screenshot search=TEXT FILE.png  a search and its results
#pragma once

namespace wayfind::app::console {

// Adds "wayfind console-screenshot" to the program's command line.
void addConsoleScreenshotCommand();

}  // namespace wayfind::app::console
