#include "app/console/recent_functions.h"

#include <algorithm>

namespace wayfind::app::console {

void RecentFunctions::add(const NavItem& function) {
  items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const NavItem& i) { return i.id == function.id; }),
               items_.end());
  items_.insert(items_.begin(), function);
  if (items_.size() > kLimit) items_.resize(kLimit);
}

}  // namespace wayfind::app::console
