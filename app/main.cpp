// wayfind: the navigation component's host on the command line.
#include <unistd.h>

#include <iostream>

#include "app/command_line.h"
#include "app/window_commands.h"

int main(int argc, char** argv) {
  wayfind::app::addWindowCommandsOnDemand();
  std::vector<std::string> args(argv + 1, argv + argc);
  return wayfind::app::runCommandLine(args, std::cin, std::cout, std::cerr, ::isatty(0) != 0);
}
