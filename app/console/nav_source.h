// What the console shows, read the way a host reads it: level by level through a
// fresh WayfindInfo.DatasInfo created by its ProgID for each read, and released
// at once. Names come in the user's language as the store merges them. In the
// tree a detail function is named at its place as the search names it
// (store/display_name.h); elsewhere (favourites, a function found by its id or
// help code) by its show name, else its function name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wayfind::app::console {

enum class Level { Top, Sys, Sub, Det };

struct NavItem {
  Level level = Level::Top;
  int32_t id = 0;
  std::string name;        // what the tree shows
  // Detail functions only.
  std::string funcName;    // the function's own name
  std::string helpCode;
  std::string className;   // the class that carries the function out
  std::string classParam;  // and its parameter
  bool enabled = true;
};

struct FavouriteGroup {
  int32_t id = 0;
  std::string name;
  std::vector<NavItem> functions;  // in the group's order
};

// The key of a tree node: "Top", "Sys", "Sub" or "Det" and the identifier.
std::string nodeKey(Level level, int32_t id);

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
  // The first function a help code names that the user may start: visible and
  // available to the user's account type. Codes compare without regard to case.
  std::optional<NavItem> byHelpCode(const std::string& helpCode);
  // One of the user's console settings ("CLICK_ACTIVATE", "T8EIS", ...).
  std::string profileValue(const std::string& name);
  // Loads the store again when the middle tier holds a newer version.
  void reget();
};

}  // namespace wayfind::app::console
