// The functions the user started in this session, most recent first. Starting a
// function again moves it to the top instead of listing it twice; the list keeps
// the last kLimit functions.
#pragma once

#include <cstddef>
#include <vector>

#include "app/console/nav_source.h"

namespace wayfind::app::console {

class RecentFunctions {
 public:
  static constexpr size_t kLimit = 10;

  void add(const NavItem& function);
  const std::vector<NavItem>& items() const { return items_; }

 private:
  std::vector<NavItem> items_;
};

}  // namespace wayfind::app::console
