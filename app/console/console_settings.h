// The user's console settings as the options dialog stores them in the profile:
// a switch is on only when its value is exactly "1"; a site name is shown as a
// link when it is not blank.
#pragma once

#include <string>

namespace wayfind::app::console {

class NavSource;

struct ConsoleSettings {
  bool clickActivate = false;  // "CLICK_ACTIVATE": a single click starts a function
  bool rightAlign = false;     // "RIGHT_ALIGN": the navigation sits on the right
  bool refreshSys = false;     // "REFRESH_SYS": re-read a subsystem's level when selected
  bool refreshFunc = false;    // "REFRESH_FUNC": re-read a sub-function's level when selected
  std::string decisionSite;    // "T8EIS"
  std::string hrSite;          // "T8HR"
  std::string portalSite;      // "T8BRIO"

  static ConsoleSettings read(NavSource& source);
};

}  // namespace wayfind::app::console
