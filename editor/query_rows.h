// The rows of the main-console editor's grids as the query class's record sets
// give them. No windows here, so the rules can be read and tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/recordset/recordset.h"

namespace wayfind::editor {

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
