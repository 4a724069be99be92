// The choice of a favourites group when a function is added without one. The
// windows supply the group dialog, the command line a numbered list on the
// terminal; with no chooser installed the choice behaves like a dialog closed
// without OK.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wayfind::update {

struct GroupChoice {
  int32_t groupId = -1;
  std::string name;
};

class IGroupChooser {
 public:
  virtual ~IGroupChooser() = default;
  // Shows the groups in the order given, the first preselected; answers the chosen
  // group's identifier, or -1 when the user closed the choice without OK.
  virtual int32_t choose(const std::vector<GroupChoice>& groups) = 0;
};

// The installed chooser (may be null); installing returns the previous one.
std::shared_ptr<IGroupChooser> groupChooser();
std::shared_ptr<IGroupChooser> installGroupChooser(std::shared_ptr<IGroupChooser> chooser);

}  // namespace wayfind::update
