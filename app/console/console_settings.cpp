#include "app/console/console_settings.h"

#include "app/console/nav_source.h"
#include "platform/automation/conversions.h"

namespace wayfind::app::console {

ConsoleSettings ConsoleSettings::read(NavSource& source) {
  ConsoleSettings s;
  s.clickActivate = source.profileValue("CLICK_ACTIVATE") == "1";
  s.rightAlign = source.profileValue("RIGHT_ALIGN") == "1";
  s.refreshSys = source.profileValue("REFRESH_SYS") == "1";
  s.refreshFunc = source.profileValue("REFRESH_FUNC") == "1";
  s.decisionSite = platform::trimSpaces(source.profileValue("T8EIS"));
  s.hrSite = platform::trimSpaces(source.profileValue("T8HR"));
  s.portalSite = platform::trimSpaces(source.profileValue("T8BRIO"));
  return s;
}

}  // namespace wayfind::app::console
