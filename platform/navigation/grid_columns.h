// The columns of the grids in which the editors show navigation items, counted
// from 1 as the grids count them. Code that reads or writes a cell names its
// column here rather than by number. The main-console editor's grids are laid
// out by the column catalogue (columns.h, each column's `editor`); the names
// below are the places it gives the columns that the editor's rules name.
#pragma once

#include <string_view>
#include <vector>

#include "platform/navigation/columns.h"

namespace wayfind::nav {

// The grid column of level's column field; 0 where the editor does not show it.
constexpr int EditorColumnOf(Level level, std::string_view field) {
  const ColumnInfo* c = FindColumn(level, field);
  return c ? c->editor.column : 0;
}

// How many columns the grid listing level's items has.
constexpr int EditorColumnCount(Level level) {
  int count = 0;
  for (const ColumnInfo& c : ColumnsOf(level))
    if (c.editor.column > count) count = c.editor.column;
  return count;
}

// The columns of the grid listing level's items, in the grid's order.
inline std::vector<const ColumnInfo*> EditorColumns(Level level) {
  std::vector<const ColumnInfo*> out(static_cast<size_t>(EditorColumnCount(level)), nullptr);
  for (const ColumnInfo& c : ColumnsOf(level))
    if (c.editor.column > 0) out[static_cast<size_t>(c.editor.column - 1)] = &c;
  return out;
}

// The main-console editor's grid of top classes, subsystems or sub-functions
// (vaOutlineProp): one grid for the three levels, so they show the same columns.
namespace outline_col {
inline constexpr int kName = EditorColumnOf(Level::SubFunc, "FFuncName");
inline constexpr int kVisible = EditorColumnOf(Level::SubFunc, "FVisible");  // check box
inline constexpr int kIndex = EditorColumnOf(Level::SubFunc, "FIndex");      // the order number
inline constexpr int kCount = EditorColumnCount(Level::SubFunc);
}  // namespace outline_col

constexpr bool SameOutlineColumns(Level level) {
  const ColumnInfo* sub = nullptr;
  for (const ColumnInfo& c : ColumnsOf(level)) {
    if (c.editor.column == 0) continue;
    const char* name = c.role == ColumnRole::Name ? InfoOf(Level::SubFunc).nameField : c.name;
    sub = FindColumn(Level::SubFunc, name);
    if (!sub || sub->editor.column != c.editor.column || sub->editor.cell != c.editor.cell) return false;
  }
  return EditorColumnCount(level) == outline_col::kCount;
}
static_assert(SameOutlineColumns(Level::TopClass) && SameOutlineColumns(Level::SubSystem),
              "the outline grid lists top classes, subsystems and sub-functions alike");

// The main-console editor's grid of detail functions (vaDetailProp).
namespace detail_col {
inline constexpr int kName = EditorColumnOf(Level::DetailFunc, "FFuncName");
inline constexpr int kHelpCode = EditorColumnOf(Level::DetailFunc, "FHelpCode");
inline constexpr int kVisible = EditorColumnOf(Level::DetailFunc, "FVisible");  // check box
inline constexpr int kEnabled = EditorColumnOf(Level::DetailFunc, "FEnable");   // check box; kept and saved, never shown
inline constexpr int kIndex = EditorColumnOf(Level::DetailFunc, "FIndex");      // the order number
inline constexpr int kCount = EditorColumnCount(Level::DetailFunc);
}  // namespace detail_col

// The favourites editor's list of a group's functions (vaNormal).
namespace favourite_col {
inline constexpr int kName = 1;
inline constexpr int kHelpCode = 2;
inline constexpr int kShowName = 3;
inline constexpr int kCount = 3;
}  // namespace favourite_col

}  // namespace wayfind::nav
