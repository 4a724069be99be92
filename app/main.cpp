// wayfind: the navigation component's host on the command line.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "app/command_line.h"
#include "app/window_commands.h"

int main(int argc, char** argv) {
  wayfind::app::addWindowCommandsOnDemand();
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = wayfind::app::runCommandLine(args, std::cin, std::cout, std::cerr, ::isatty(0) != 0);
  // What was printed must have reached its file or pipe: on a full disk or a
  // closed output, a command that printed nothing is no success.
  std::cout.flush();
  if (status == 0 && !std::cout) {
    std::cerr << "wayfind: cannot write the output: " << (errno ? std::strerror(errno) : "write failed") << "\n";
    return 1;
  }
  return status;
}
