// What the favourites editor and its picker share about a list row and a
// dragged function: a row of the grid shows one detail function (its id as the
// row's item data; name, help code, show name in columns 1 to 3), and a function
// dragged from the picker's tree carries its node key "Det" + id.
#pragma once

#include <cstdint>
#include <string>

#include "favourites/normal_rows.h"
#include "platform/recordset/recordset.h"
#include "widgets/grid.h"

namespace wayfind::favourites {

// The data format of a dragged tree node: its key as UTF-8 text.
inline constexpr const char* kTreeNodeMimeType = "application/x-wayfind-tree-node";

// The detail function of a tree node key (platform/navigation/node_keys.h); -1
// for the key of another level, a key that is no node key, and a negative id.
int32_t detailFuncIdOfKey(const std::string& key);

// Appends a row for detail function id from its record (GetDetailFuncInfo): the
// name, the help code, and the show name (the name when it has none) on one line.
void appendFunctionRow(widgets::Grid& grid, int32_t detailFuncId, const platform::Recordset& info);
// Appends r as a row of the grid.
void appendNormalRow(widgets::Grid& grid, const NormalRow& r);

}  // namespace wayfind::favourites
