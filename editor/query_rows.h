// The rows of the main-console editor's grids as the query class's record sets
// give them. No windows here, so the rules can be read and tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/recordset/recordset.h"

namespace wayfind::editor {

// One row of a grid: the item's identifier and its cells, by the grid's columns
// as the column catalogue lays them out (platform/navigation/grid_columns.h): a
// text as it is (Null reads as empty), a check box "1" or "0", the order number
// in decimal (Null reads as 0).
struct GridRow {
  int32_t id = 0;
  std::vector<std::string> cells;
};

// Reads every record of a query's answer, in its order. Every field a grid
// shows must be there: a record set without one of them raises the record set's
// error (3265). Top classes leave out the console's own "我的T/8" (compared with
// its looked-up name) and those shown only by the system (FShowSysType 2); a
// Null in either field leaves the top class out as well.
std::vector<GridRow> ReadTopClasses(platform::Recordset& rs);
std::vector<GridRow> ReadSubSystems(platform::Recordset& rs);
std::vector<GridRow> ReadSubFuncs(platform::Recordset& rs);
std::vector<GridRow> ReadDetailFuncs(platform::Recordset& rs);

// The first other row whose trimmed help code equals the trimmed code of row
// `row` (both 0-based), or nothing: blanks are never compared and a list of one
// code never is. The comparison is exact, character by character.
std::optional<size_t> FindDuplicateHelpCode(const std::vector<std::string>& helpCodes, size_t row);

}  // namespace wayfind::editor
