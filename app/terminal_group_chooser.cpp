#include "app/terminal_group_chooser.h"

#include <string>

#include "platform/automation/conversions.h"

namespace wayfind::app {

int32_t TerminalGroupChooser::choose(const std::vector<update::GroupChoice>& groups) {
  if (!interactive_ || groups.empty()) return -1;
  out_ << "Choose a favourites group:\n";
  for (size_t i = 0; i < groups.size(); ++i)
    out_ << "  " << (i + 1) << ". " << groups[i].name << (i == 0 ? "  (default)" : "") << "\n";
  for (;;) {
    out_ << "Group [1-" << groups.size() << ", Enter for 1, q to cancel]: " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return -1;
    line = platform::trimSpaces(line);
    if (line.empty()) return groups.front().groupId;
    if (line == "q" || line == "Q") return -1;
    auto n = platform::parseNumber(line);
    if (n && *n >= 1 && *n <= static_cast<double>(groups.size()) && *n == static_cast<int64_t>(*n))
      return groups[static_cast<size_t>(*n) - 1].groupId;
    out_ << "Not a group number: " << line << "\n";
  }
}

}  // namespace wayfind::app
