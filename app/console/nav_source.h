// What the console shows, read the way a host reads it: level by level through a
// fresh WayfindInfo.DatasInfo created by its ProgID for each read, and released
// at once. Names come in the user's language as the store merges them. In the
// tree, the search, a started function and the recent list a detail function is
// named at its place (store/display_name.h); a favourites entry by the show name
// the user keeps for it in the group.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/navigation/levels.h"

namespace wayfind::app::console {

using nav::Level;

struct NavItem {
  Level level = Level::TopClass;
  int32_t id = 0;
  std::string name;        // what the tree shows
  // Detail functions only.
  std::string funcName;    // the function's own name
  std::string helpCode;
  std::string className;   // the class that carries the function out
  std::string classParam;  // and its parameter
  bool enabled = true;
  int32_t subFuncId = 0;   // the sub-function it was read under; 0 when it came by
                           // its id alone (a favourites entry)
};

struct FavouriteGroup {
  int32_t id = 0;
  std::string name;
  std::vector<NavItem> functions;  // in the group's order
};

class NavSource {
 public:
  std::vector<NavItem> topClasses();
  std::vector<NavItem> subSystems(int32_t topClassId);
  std::vector<NavItem> subFuncs(int32_t subSysId);
  // A sub-function's detail functions, each named as the user's rows there say.
  std::vector<NavItem> detailFuncs(int32_t subFuncId);
  // The user's favourites groups, each with its functions, read whole.
  std::vector<FavouriteGroup> favourites();
  // The merged row of one detail function as the user sees it; nothing when the
  // function does not exist for the user's account type.
  std::optional<NavItem> detailFunc(int32_t detailFuncId);
  // The function's row at one place (sub-function), named there as the tree
  // names it; nothing when that sub-function does not show it (any more). A place
  // of 0 is the function by its id alone (detailFunc).
  std::optional<NavItem> detailFuncAt(int32_t subFuncId, int32_t detailFuncId);
  // The functions a help code names that the user may start, each at its place:
  // visible and available to the user's account type, in the order of the
  // middle tier's answer. Codes compare without regard to case.
  std::vector<NavItem> byHelpCode(const std::string& helpCode);
  // One of the user's console settings ("CLICK_ACTIVATE", "T8EIS", ...).
  std::string profileValue(const std::string& name);
  // Loads the store again when the middle tier holds a newer version.
  void reget();
};

}  // namespace wayfind::app::console
