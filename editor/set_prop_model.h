// The main-console editor's model: the rows of its two grids, which of them the
// user may not change, how rows move, which of the user's actions count as edits,
// whether edits are pending, and the values each row is saved with. No windows
// here: the editor binds these rows to its grids (editor/prop_grid_binding.h),
// and the rules are tested on their own.
//
// Rows and columns count from 1, as the grids count them; the columns are named
// in platform/navigation/grid_columns.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/query_rows.h"
#include "platform/containers/dictionary.h"
#include "editor/grid_columns.h"

namespace wayfind::editor {

// The two grids: top classes, subsystems or sub-functions (the outline), and the
// detail functions of a sub-function.
enum class RowKind { Outline, Detail };

// The columns of a grid, in its order, as the column catalogue describes them.
const std::vector<const nav::ColumnInfo*>& GridColumns(RowKind kind);

// What a row shows of its item as it was read (or last saved), cell by cell: a
// save sends only what differs from it, together with these values, so the
// middle tier can tell a field someone else changed meanwhile.
using ReadValues = std::vector<std::string>;

// One row as its grid shows it: its cells by the grid's columns (a check box "1"
// or "0", the order number kept as its text, as the user typed it).
struct PropRow {
  int32_t id = 0;
  std::vector<std::string> cells;
  bool locked = false;  // a template row under a parent refreshed from the template
  ReadValues read;      // belongs to the item: it moves with the row's item

  // The cell of column col (from 1); empty beyond the row's cells.
  const std::string& cell(int col) const;
  std::string& cell(int col);
  ReadValues shown() const { return cells; }
};

PropRow MakeRow(const GridRow& row, bool locked);

// The number an order-number text stands for: the text without surrounding
// blanks, an optional sign and decimal digits (ASCII or full-width) within 32
// bits; anything else is none (ReadOrderNumber) or 0 (OrderNumber).
std::optional<int32_t> ReadOrderNumber(std::string_view text);
// Whether a name is blank as the editor and the middle tier take it: nothing but
// spaces, control blanks and Unicode separators (the ideographic space among them).
bool IsBlankName(std::string_view name);
int32_t OrderNumber(std::string_view text);

// What one row is saved with: each column's key ("NewName", ("HelpCode"),
// "Visible", ("Enable"), "Index"), in the grid's order.
struct SaveRow {
  RowKind kind = RowKind::Outline;
  int32_t id = 0;
  // By the grid's columns: a text, a check box "1" or "0", the order number in
  // decimal.
  std::vector<std::string> values;
  // The values as the row read them. Given, only the keys whose value differs
  // are written, with the read values of those keys under "Read" (a
  // dictionary); none, every key is written.
  std::optional<std::vector<std::string>> read;

  const std::string& value(int col) const { return values.at(static_cast<size_t>(col - 1)); }
  // The keys this row writes.
  std::vector<std::string> keys() const;
  // Puts this row's keys into dict, emptied first.
  void writeTo(platform::Dictionary& dict) const;
};

// Which rows a save sends: the rows the user changed, each with only its changed
// values and the values it read; or every row with every value (applying the
// level to other users, who get it as the window shows it).
enum class SaveScope { Changes, WholeLevel };

// The user's actions on a cell, as the grid reports them.
enum class CellAction { Typing, Change, Click };

// The rows of one grid.
class PropRows {
 public:
  explicit PropRows(RowKind kind) : kind_(kind) {}

  RowKind kind() const { return kind_; }
  int count() const { return static_cast<int>(rows_.size()); }
  bool contains(int row) const { return row >= 1 && row <= count(); }
  const PropRow& at(int row) const;
  PropRow& at(int row);

  void clear() { rows_.clear(); }
  // Adds a row at the end and answers its number.
  int append(PropRow row);

  // The grid's columns: how many, which ones are check boxes, and which holds the
  // order number.
  int columnCount() const;
  nav::EditorCell cellKind(int col) const;  // None outside the grid
  bool isCheckColumn(int col) const;
  int indexColumn() const;
  // A cell as its grid shows it (a check box as "1" or "0"), and a cell's new
  // text from the grid; columns outside the grid are ignored.
  std::string cellText(int col, int row) const;
  void setCellText(int col, int row, const std::string& text);

  // Locks: a locked row cannot be edited, and no row moves up past it.
  bool editable(int row) const { return contains(row) && !at(row).locked; }
  // A custom item's row: its id is at or above the level base of the rows.
  bool isCustom(int row, int32_t levelBase) const { return contains(row) && at(row).id >= levelBase; }
  // Whether the active row may move up or down: it is editable, has a row on that
  // side, and (up) the row above is not locked. No active row is row 0.
  bool canMoveUp(int active) const;
  bool canMoveDown(int active) const;
  // Exchanges two rows' items; the order numbers and the locks stay with their
  // places, so the moved item takes the order number of its new place.
  void move(int from, int to);

  // Whether a user's action on a cell is an edit: typing in any cell (the order
  // number included), a
  // changed visibility box, and a click on the visibility box (in the details,
  // only on an editable row: a locked box does not change).
  bool isEdit(CellAction action, int col, int row) const;
  // Whether a changed cell holds a help code, to be checked against the others.
  bool holdsHelpCode(int col) const { return kind_ == RowKind::Detail && col == detail_col::kHelpCode; }
  // Another row whose help code equals row's (see FindDuplicateHelpCode).
  std::optional<int> duplicateHelpCode(int row) const;

  // The rows a save sends, in grid order: for Changes, the rows whose values
  // differ from what they read (a cleared outline name leaves the stored one);
  // for WholeLevel, detail rows (locked ones too) and outline rows with a name.
  std::vector<SaveRow> saveRows(SaveScope scope = SaveScope::Changes) const;
  // After a save: what every row shows counts as read. Rows not found are ignored.
  void settle();
  // Drops the edits of the rows whose items are not among present (deleted
  // meanwhile): they show what they read again. Answers the names they had.
  std::vector<std::string> dropEditsOfItemsNotIn(const std::vector<int32_t>& present);
  // The values stored now for the item id (a row read again), shown where the
  // row still shows what it read; answers the row, 0 when no row has the item.
  int takeStoredRow(int32_t id, const ReadValues& stored);
  // A field another user stored meanwhile (the key as saves send it): it counts as
  // read, and, when the user takes theirs, the row shows it too. Answers the row,
  // 0 when no row has the item.
  int takeStored(int32_t id, const std::string& key, const platform::Variant& value, bool show);

 private:
  std::vector<std::string> saved(const std::vector<std::string>& cells) const;

  RowKind kind_;
  std::vector<PropRow> rows_;
};

// Both grids' rows and the edits pending on the rows shown. Pending is the state of
// the node being edited, not of its rows: showing the same node's rows again keeps
// it, and only a save or a declined save ends it.
class SetPropModel {
 public:
  PropRows& rows(RowKind kind) { return kind == RowKind::Outline ? outline_ : detail_; }
  const PropRows& rows(RowKind kind) const { return kind == RowKind::Outline ? outline_ : detail_; }

  bool pending() const { return pending_; }
  void markPending() { pending_ = true; }
  void clearPending() { pending_ = false; }

 private:
  PropRows outline_{RowKind::Outline};
  PropRows detail_{RowKind::Detail};
  bool pending_ = false;
};

}  // namespace wayfind::editor
