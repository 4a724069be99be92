// wayfind: the navigation component's host on the command line.
#include <unistd.h>

#include <iostream>

#include "app/command_line.h"
#ifdef WAYFIND_WITH_WINDOWS
#include "app/console/window_commands.h"
#include "app/screenshot/screenshot.h"
#endif

int main(int argc, char** argv) {
#ifdef WAYFIND_WITH_WINDOWS
  wayfind::app::console::addWindowCommands();
  wayfind::app::screenshot::addScreenshotCommand();
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return wayfind::app::runCommandLine(args, std::cin, std::cout, std::cerr, ::isatty(0) != 0);
}
