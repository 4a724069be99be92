// The columns of the grids in which the main-console editor shows navigation
// items, counted from 1 as the grids count them. Code that reads or writes a
// cell names its column here rather than by number. The grids are laid out by
// the column catalogue (platform/navigation/columns.h, each column's `editor`);
// the names below are the places it gives the columns the editor's rules name.
#pragma once

#include <string_view>
#include <vector>

#include "platform/navigation/columns.h"

namespace wayfind::editor {

// The grid column of level's column field; 0 where the editor does not show it.
// (Searched here rather than through FindColumn: under GCC's null-pointer
// checks of -fsanitize=undefined a found pointer's test for null is no
// constant expression.)
constexpr int EditorColumnOf(nav::Level level, std::string_view field) {
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level))
    if (field == c.name) return c.editor.column;
  return 0;
}

// How many columns the grid listing level's items has.
constexpr int EditorColumnCount(nav::Level level) {
  int count = 0;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level))
    if (c.editor.column > count) count = c.editor.column;
  return count;
}

// The columns of the grid listing level's items, in the grid's order.
inline std::vector<const nav::ColumnInfo*> EditorColumns(nav::Level level) {
  std::vector<const nav::ColumnInfo*> out(static_cast<size_t>(EditorColumnCount(level)), nullptr);
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level))
    if (c.editor.column > 0) out[static_cast<size_t>(c.editor.column - 1)] = &c;
  return out;
}

// The main-console editor's grid of top classes, subsystems or sub-functions
// (vaOutlineProp): one grid for the three levels, so they show the same columns.
namespace outline_col {
inline constexpr int kName = EditorColumnOf(nav::Level::SubFunc, "FFuncName");
inline constexpr int kVisible = EditorColumnOf(nav::Level::SubFunc, "FVisible");  // check box
inline constexpr int kIndex = EditorColumnOf(nav::Level::SubFunc, "FIndex");      // the order number
inline constexpr int kCount = EditorColumnCount(nav::Level::SubFunc);
}  // namespace outline_col

constexpr bool SameOutlineColumns(nav::Level level) {
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    if (c.editor.column == 0) continue;
    const std::string_view name =
        c.role == nav::ColumnRole::Name ? nav::InfoOf(nav::Level::SubFunc).nameField : c.name;
    if (EditorColumnOf(nav::Level::SubFunc, name) != c.editor.column) return false;
    for (const nav::ColumnInfo& sub : nav::ColumnsOf(nav::Level::SubFunc))
      if (name == sub.name && sub.editor.cell != c.editor.cell) return false;
  }
  return EditorColumnCount(level) == outline_col::kCount;
}
static_assert(SameOutlineColumns(nav::Level::TopClass) && SameOutlineColumns(nav::Level::SubSystem),
              "the outline grid lists top classes, subsystems and sub-functions alike");

// The main-console editor's grid of detail functions (vaDetailProp).
namespace detail_col {
inline constexpr int kName = EditorColumnOf(nav::Level::DetailFunc, "FFuncName");
inline constexpr int kHelpCode = EditorColumnOf(nav::Level::DetailFunc, "FHelpCode");
inline constexpr int kVisible = EditorColumnOf(nav::Level::DetailFunc, "FVisible");  // check box
inline constexpr int kEnabled = EditorColumnOf(nav::Level::DetailFunc, "FEnable");   // check box; kept and saved, never shown
inline constexpr int kIndex = EditorColumnOf(nav::Level::DetailFunc, "FIndex");      // the order number
inline constexpr int kCount = EditorColumnCount(nav::Level::DetailFunc);
}  // namespace detail_col

}  // namespace wayfind::editor
