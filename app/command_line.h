// The wayfind command line: options, the commands and their help texts.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace wayfind::app {

// Runs one command line (without the program name). Returns the exit status:
// 0 done, 1 the command failed, 2 the command line was wrong.
int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   bool interactive);

}  // namespace wayfind::app
