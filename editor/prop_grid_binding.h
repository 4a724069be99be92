// One of the main-console editor's grids bound to its rows of the model: the grid
// shows the rows, the user's changes of a cell go into the rows, and a save reads
// the rows. Only the binding writes the grid's cells, and it writes them quietly
// (the grid raises no user signals for them).
#pragma once

#include <utility>
#include <vector>

#include "editor/set_prop_model.h"

namespace wayfind::widgets {
class Grid;
}  // namespace wayfind::widgets

namespace wayfind::editor {

class PropGridBinding {
 public:
  PropGridBinding(PropRows& rows, widgets::Grid& grid) : rows_(rows), grid_(grid) {}

  PropRows& rows() { return rows_; }
  const PropRows& rows() const { return rows_; }
  widgets::Grid& grid() { return grid_; }
  const widgets::Grid& grid() const { return grid_; }

  // Sets up the grid's columns as the column catalogue describes them: headers
  // and widths (in twips), check boxes.
  void setUpColumns();
  // No rows in either.
  void clear();
  // Adds a row at the end of both and makes it the active one; a locked row is
  // shown locked and in the window's own background.
  int append(PropRow row);
  // Writes a row's item and cells into the grid.
  void showRow(int row);
  // The text of a cell the user changed, into the rows.
  void takeCell(int col, int row);

  // The grid's active row; 0 when there is none. A row is made active in its name.
  int activeRow() const;
  void setActiveRow(int row);

 private:
  PropRows& rows_;
  widgets::Grid& grid_;
};

}  // namespace wayfind::editor
