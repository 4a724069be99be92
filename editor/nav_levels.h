// The four levels of the navigation tree as the main-console editor sees them:
// their level bases, the keys of their tree nodes, and the rows of the grids read
// from the query class's record sets. No windows here, so the rules can be read
// and tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/recordset/recordset.h"

namespace wayfind::editor {

// A level's base is the lowest identifier of a custom (user-created) item on that
// level, and the number by which IsHasChild and DeleteItem name the level.
inline constexpr int32_t kTopClassBase = 1000;
inline constexpr int32_t kSubSystemBase = 100000;
inline constexpr int32_t kSubFuncBase = 10000000;
inline constexpr int32_t kDetailFuncBase = 1000000000;

// Node key prefixes; the root is "All0".
inline constexpr const char* kRootKey = "All0";
inline constexpr const char* kRootPrefix = "All";
inline constexpr const char* kTopPrefix = "Top";
inline constexpr const char* kSysPrefix = "Sys";
inline constexpr const char* kSubPrefix = "Sub";

// The first three characters of a key ("All", "Top", "Sys", "Sub").
std::string KeyPrefix(const std::string& key);
// The identifier written after the prefix, when the rest of the key is a number
// (a placeholder node has no key and so no identifier).
std::optional<int32_t> KeyId(const std::string& key);
std::string MakeKey(const char* prefix, int32_t id);

// The level base of the rows listed under a node of the given key prefix: the
// root lists top classes, a top class subsystems, a subsystem sub-functions and a
// sub-function detail functions. 0 for any other prefix.
int32_t ChildLevelBase(const std::string& prefix);

// One row of the outline grid (top classes, subsystems or sub-functions).
struct OutlineRow {
  int32_t id = 0;
  std::string name;
  bool visible = false;
  int32_t index = 0;  // a Null order number reads as 0
};

// One row of the detail grid.
struct DetailRow {
  int32_t id = 0;
  std::string name;
  std::string helpCode;  // a Null help code reads as empty text
  bool visible = false;
  bool enabled = false;
  int32_t index = 0;
};

// Reads every record of a query's answer, in its order. Every named field must be
// there: a record set without one of them raises the record set's error (3265).
// Top classes leave out the console's own "我的T/8" (compared with its looked-up
// name) and those shown only by the system (FShowSysType 2); a Null in either
// field leaves the top class out as well.
std::vector<OutlineRow> ReadTopClasses(platform::Recordset& rs);
std::vector<OutlineRow> ReadSubSystems(platform::Recordset& rs);
std::vector<OutlineRow> ReadSubFuncs(platform::Recordset& rs);
std::vector<DetailRow> ReadDetailFuncs(platform::Recordset& rs);

// The first other row whose trimmed help code equals the trimmed code of row
// `row` (both 0-based), or nothing: blanks are never compared and a list of one
// code never is. The comparison is exact, character by character.
std::optional<size_t> FindDuplicateHelpCode(const std::vector<std::string>& helpCodes, size_t row);

}  // namespace wayfind::editor
