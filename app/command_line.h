// The wayfind command line: options, the commands and their help texts.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "app/host.h"

namespace wayfind::app {

// Runs one command line (without the program name). Returns the exit status:
// 0 done, 1 the command failed, 2 the command line was wrong.
int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   bool interactive);

// A command carried by a library above this one (the windows). The program adds
// such commands before it runs the command line; the command line parses the
// options, checks the number of arguments and then hands over, with the terminal
// message service installed. The command starts the host itself (startHost), so
// it can prepare what must exist first.
struct CommandRequest {
  HostOptions host;
  bool languageGiven = false;  // --lang or WAYFIND_LANGUAGE named the language
  bool json = false;
  std::vector<std::string> positional;
};

struct AddedCommand {
  std::string name;     // "console"; "favourites --edit" for a variant of a command
  std::string summary;  // one line in the list of commands
  std::string help;     // "wayfind NAME --help"
  size_t minArguments = 0;
  size_t maxArguments = 0;
  std::function<int(const CommandRequest&, std::ostream& out, std::ostream& err)> run;
  // Run before the command's help or the command itself, when set: it may add the
  // real command under the same name (a module's), which then serves instead.
  std::function<void()> prepare;
};

void addCommand(AddedCommand command);

}  // namespace wayfind::app
