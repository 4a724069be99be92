// Grid: the property grids of the windows, addressed as a spreadsheet control is.
// Columns and rows count from 1 (column 0 and row 0 are the headers); MaxCols and
// MaxRows are the numbers of columns and rows. A cell holds text or, in a
// check-box column or cell, the value 0 or 1. Each row carries a 32-bit item data
// (the identifier of the item it shows). A cell can be locked (the user cannot
// change it) and coloured.
//
// The user's actions come as three signals, each with the column and row:
//   editChange(col, row)  the text of a cell is being typed (every keystroke);
//   change(col, row)      the user changed a cell's value (edit finished, box ticked);
//   clicked(col, row)     the user clicked a cell;
//   editCancel(col, row)  the user ended typing with Esc: the cell keeps its text;
//   editEnd(col, row)     a cell's editor closed, however (after change, if any).
// Keyboard: Tab and Shift+Tab move from cell to cell; Ctrl+Tab and
// Ctrl+Shift+Tab (also while a cell is being edited) leave the grid for the next
// or previous control, as in any item view of the desktop.
//
// Changes made through this API never raise them. Tests act as the user with
// userTypeText, userSetValue and userClick, which raise exactly what the user's
// action would.
#pragma once

#include <QColor>
#include <QKeyEvent>
#include <QTableWidget>
#include <cstdint>
#include <string>

namespace wayfind::widgets {

// The first max characters of text (a character beyond the basic plane is one
// character, never cut in half).
QString TruncatedToCharacters(const QString& text, int max);

class Grid : public QTableWidget {
  Q_OBJECT

 public:
  enum class CellType { Text, CheckBox };

  explicit Grid(QWidget* parent = nullptr);

  int MaxRows() const { return rowCount(); }
  void SetMaxRows(int rows);
  int MaxCols() const { return columnCount(); }
  void SetMaxCols(int cols);

  // The active cell (0 when there is none).
  int ActiveCol() const;
  int ActiveRow() const;
  void SetActiveCell(int col, int row);

  // Column headers (row 0).
  std::string HeaderText(int col) const;
  void SetHeaderText(int col, const std::string& text);

  // Cell type of a whole column (applies to its existing and future rows) or of one cell.
  void SetColType(int col, CellType type);
  void SetCellType(int col, int row, CellType type);
  CellType GetCellType(int col, int row) const;

  // Text of a cell; a check-box cell's text is "1" or "0".
  std::string Text(int col, int row) const;
  void SetText(int col, int row, const std::string& text);
  // Value of a cell: for a check-box cell 0 or 1, for a text cell its number (0
  // when it is none).
  int Value(int col, int row) const;
  void SetValue(int col, int row, int value);

  bool Lock(int col, int row) const;
  void SetLock(int col, int row, bool locked);
  void SetRowLock(int row, bool locked);  // every cell of the row
  void SetColLock(int col, bool locked);  // every cell of the column, also rows added later

  QColor BackColor(int col, int row) const;
  void SetBackColor(int col, int row, const QColor& color);
  void SetRowBackColor(int row, const QColor& color);

  bool ColHidden(int col) const;
  void SetColHidden(int col, bool hidden);
  int ColWidth(int col) const;  // pixels
  void SetColWidth(int col, int pixels);
  void SetColWidthTwips(int col, int twips);
  // Longest text a user may type into a column's cells, in characters as the
  // database counts them (0: no limit).
  void SetColMaxLength(int col, int characters);
  int ColMaxLength(int col) const;

  int32_t RowItemData(int row) const;
  void SetRowItemData(int row, int32_t data);
  // The first row whose item data is data, 0 when none.
  int FindRowByItemData(int32_t data) const;

  // Inserts count empty rows before row (row MaxRows + 1 appends); the new rows take
  // the column types and locks.
  void InsertRows(int row, int count = 1);
  void DeleteRows(int row, int count = 1);
  void ClearRows();  // MaxRows becomes 0

  // Ends a cell edit in progress, keeping what was typed (as leaving the cell
  // would), so a command started from the keyboard meanwhile sees it.
  void CommitEdit();

  // Acting as the user (tests, and the screenshots): type a text into a cell, set a
  // check-box cell, click a cell. A locked cell refuses and nothing is raised;
  // the answer says whether the action happened.
  bool userTypeText(int col, int row, const std::string& text);
  bool userSetValue(int col, int row, int value);
  void userClick(int col, int row);

 protected:
  bool event(QEvent* event) override;

 signals:
  void editChange(int col, int row);
  void change(int col, int row);
  void clicked(int col, int row);
  void editCancel(int col, int row);
  void editEnd(int col, int row);

 private:
  friend class GridEditDelegate;
  QTableWidgetItem* cell(int col, int row) const;  // created on demand; nullptr out of range
  void checkCell(int col, int row, const char* what) const;
  void prepareRow(int row);
  void onItemChanged(QTableWidgetItem* item);
  void applyFlags(QTableWidgetItem* item, int col) const;
  // Ctrl+Tab, Ctrl+Shift+Tab: focus to the control after or before the grid.
  bool leaveByKeys(const QKeyEvent* key);
  void fitColumnsToHeaders();

  int quiet_ = 0;  // >0 while the API changes cells: no user signals
};

}  // namespace wayfind::widgets
