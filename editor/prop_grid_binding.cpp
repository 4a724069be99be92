#include "editor/prop_grid_binding.h"

#include <QPalette>

#include "widgets/grid.h"

namespace wayfind::editor {

using widgets::Grid;

void PropGridBinding::setUpColumns() {
  grid_.SetMaxCols(rows_.columnCount());
  grid_.SetMaxRows(0);
  const auto& columns = GridColumns(rows_.kind());
  for (int col = 1; col <= rows_.columnCount(); ++col) {
    const nav::ColumnInfo& column = *columns[static_cast<size_t>(col - 1)];
    const nav::EditorUse& use = column.editor;
    grid_.SetHeaderText(col, use.caption);
    grid_.SetColWidthTwips(col, use.widthTwips);
    // A text no longer than the database stores: a longer one would be refused
    // at the save, after the rows before it were stored.
    if (column.type == nav::ColumnType::Text && column.size > 0) grid_.SetColMaxLength(col, column.size);
  }
  for (int col = 1; col <= rows_.columnCount(); ++col)
    if (rows_.isCheckColumn(col)) grid_.SetColType(col, Grid::CellType::CheckBox);
}

void PropGridBinding::clear() {
  rows_.clear();
  grid_.SetMaxRows(0);
}

int PropGridBinding::append(PropRow row) {
  const bool locked = row.locked;
  // The row becomes the active one while still empty (the row commands follow the
  // active row), and is filled after.
  const int r = rows_.append(PropRow{});
  grid_.SetMaxRows(r);
  setActiveRow(r);
  rows_.at(r) = std::move(row);
  showRow(r);
  if (locked) {
    grid_.SetRowLock(r, true);
    // The window's own background, a shade off the cells', in a light or a dark
    // desktop palette alike.
    grid_.SetRowBackColor(r, grid_.palette().color(QPalette::Window));
  }
  return r;
}

void PropGridBinding::showRow(int row) {
  grid_.SetRowItemData(row, rows_.at(row).id);
  for (int col = 1; col <= rows_.columnCount(); ++col) {
    const std::string text = rows_.cellText(col, row);
    if (rows_.isCheckColumn(col)) {
      grid_.SetValue(col, row, text == "1" ? 1 : 0);
    } else {
      grid_.SetText(col, row, text);
    }
  }
}

void PropGridBinding::takeCell(int col, int row) {
  if (!rows_.contains(row) || col < 1 || col > rows_.columnCount()) return;
  rows_.setCellText(col, row, grid_.Text(col, row));
}

int PropGridBinding::activeRow() const { return grid_.ActiveRow(); }

void PropGridBinding::setActiveRow(int row) {
  // The name leads both grids.
  static_assert(outline_col::kName == detail_col::kName);
  grid_.SetActiveCell(outline_col::kName, row);
}

}  // namespace wayfind::editor
