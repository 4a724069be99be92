// The four levels of the navigation tree and the names every layer gives them.
//
// A level is known by three things that are easy to mix up:
//   its Level           the enumerator below, whose value is the level's number;
//   its level number    1 top class, 2 subsystem, 3 sub-function, 4 detail
//                       function: how lType names a level (GetNextID, IsRefresh);
//   its level base      1000, 100000, 10000000, 1000000000: the lowest identifier
//                       of an item the user created on the level, and the number
//                       by which IsHasChild and DeleteItem name a level.
// A name in this code that holds one of them says which: `levelNumber`,
// `levelBase`; a bare `level` is a Level.
//
// Every table of the store, the middle tier and the windows that describes a
// level takes its names from kLevels, so the table key, the node-key prefix and
// the field names of a level are written once.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wayfind::nav {

enum class Level : int32_t { TopClass = 1, SubSystem = 2, SubFunc = 3, DetailFunc = 4 };

inline constexpr int32_t kTopClassBase = 1000;
inline constexpr int32_t kSubSystemBase = 100000;
inline constexpr int32_t kSubFuncBase = 10000000;
inline constexpr int32_t kDetailFuncBase = 1000000000;

struct LevelInfo {
  Level level;
  int32_t base;
  const char* table;          // the level's table in the store and the cache files ("TopClass")
  const char* keyPrefix;      // the prefix of its tree-node keys ("Top")
  const char* idField;        // its identifier field ("FTopClassID")
  const char* parentIdField;  // its parent's identifier field; nullptr for top classes
  const char* nameField;      // its name field ("FTopClassName")
};

inline constexpr LevelInfo kLevels[] = {
    {Level::TopClass, kTopClassBase, "TopClass", "Top", "FTopClassID", nullptr, "FTopClassName"},
    {Level::SubSystem, kSubSystemBase, "SubSystem", "Sys", "FSubSysID", "FTopClassID", "FName"},
    {Level::SubFunc, kSubFuncBase, "SubFunc", "Sub", "FSubFuncID", "FSubSysID", "FFuncName"},
    {Level::DetailFunc, kDetailFuncBase, "DetailFunc", "Det", "FDetailFuncID", "FSubFuncID", "FFuncName"},
};

constexpr int32_t LevelNumber(Level level) { return static_cast<int32_t>(level); }
constexpr const LevelInfo& InfoOf(Level level) { return kLevels[LevelNumber(level) - 1]; }
constexpr int32_t LevelBase(Level level) { return InfoOf(level).base; }

// The level a number or a base names; nothing for any other number.
constexpr std::optional<Level> LevelOfNumber(int32_t levelNumber) {
  if (levelNumber < 1 || levelNumber > 4) return std::nullopt;
  return static_cast<Level>(levelNumber);
}
constexpr std::optional<Level> LevelOfBase(int32_t levelBase) {
  for (const LevelInfo& info : kLevels)
    if (info.base == levelBase) return info.level;
  return std::nullopt;
}
// The level whose table key is table ("TopClass" ... "DetailFunc", compared
// exactly); nothing for the store's other tables.
constexpr std::optional<Level> LevelOfTable(std::string_view table) {
  for (const LevelInfo& info : kLevels)
    if (table == info.table) return info.level;
  return std::nullopt;
}

// The level of the children of an item on level; a detail function has none.
constexpr std::optional<Level> ChildLevel(Level level) {
  if (level == Level::DetailFunc) return std::nullopt;
  return static_cast<Level>(LevelNumber(level) + 1);
}

// Whether the item of id on level is one the user created (at or above the
// level's base) rather than one of the company's template.
constexpr bool IsCustomItem(Level level, int32_t id) { return id >= LevelBase(level); }

}  // namespace wayfind::nav
