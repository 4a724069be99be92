// The favourites group choice on a terminal: a numbered list, the first group
// preselected; Enter takes it, a number picks another, "q" or end of input closes
// the choice without OK. Without a terminal on standard input the choice is closed.
#pragma once

#include <cstdio>
#include <istream>
#include <ostream>

#include "update/group_chooser.h"

namespace wayfind::app {

class TerminalGroupChooser : public update::IGroupChooser {
 public:
  TerminalGroupChooser(std::istream& in, std::ostream& out, bool interactive)
      : in_(in), out_(out), interactive_(interactive) {}
  int32_t choose(const std::vector<update::GroupChoice>& groups) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  bool interactive_;
};

}  // namespace wayfind::app
