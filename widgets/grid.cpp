#include "widgets/grid.h"

#include <algorithm>

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QValidator>

#include "platform/automation/automation_error.h"
#include "widgets/elided_tooltips.h"
#include "widgets/twips.h"

namespace wayfind::widgets {

namespace {

constexpr int kTypeRole = Qt::UserRole + 1;      // cell: CellType
constexpr int kLockRole = Qt::UserRole + 2;      // cell and column header: locked
constexpr int kMaxLengthRole = Qt::UserRole + 3; // column header: max characters
constexpr int kItemDataRole = Qt::UserRole + 4;  // row header: item data

constexpr const char* kSource = "Grid";

// A column counted from 1 that the grid has; error 9 otherwise.
void requireColumn(const QTableWidget& grid, int col) {
  if (col < 1 || col > grid.columnCount()) platform::raise(platform::err::kSubscriptOutOfRange, kSource);
}

// Characters as the database counts them: a character beyond the basic plane
// (a rare ideograph, an emoji) is two UTF-16 units and one character. The units
// of the character that starts at i, and of the one that ends at at:
int unitsOfCharacterAt(const QString& text, int i) {
  return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}
int unitsOfCharacterBefore(const QString& text, int at) {
  return at >= 2 && text[at - 1].isLowSurrogate() && text[at - 2].isHighSurrogate() ? 2 : 1;
}

int characterCount(const QString& text) {
  int n = 0;
  for (int i = 0; i < text.size(); i += unitsOfCharacterAt(text, i)) ++n;
  return n;
}

// A column's length limit in characters. QLineEdit's own limit counts UTF-16
// units: it refuses names the database takes, and cuts a character beyond the
// basic plane in half, which is then stored as "?". Like that limit, what was
// just typed or pasted (the text before the cursor) is cut, whole characters
// at a time.
class CharacterLimit final : public QValidator {
 public:
  CharacterLimit(int max, QObject* parent) : QValidator(parent), max_(max) {}
  State validate(QString& input, int& pos) const override {
    int excess = characterCount(input) - max_;
    int at = std::clamp(pos, 0, static_cast<int>(input.size()));
    const int end = at;
    for (; excess > 0 && at > 0; --excess) at -= unitsOfCharacterBefore(input, at);
    if (excess > 0) return Invalid;
    input.remove(at, end - at);
    pos = at;
    return Acceptable;
  }

 private:
  int max_;
};

}  // namespace

QString TruncatedToCharacters(const QString& text, int max) {
  int units = 0;
  for (int n = 0; n < max && units < text.size(); ++n) units += unitsOfCharacterAt(text, units);
  return text.left(units);
}

// The editor of a text cell: reports every keystroke as editChange and keeps the
// column's length limit.
class GridEditDelegate : public QStyledItemDelegate {
 public:
  explicit GridEditDelegate(Grid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      const int col = index.column() + 1;
      const int row = index.row() + 1;
      // Never below the text the cell holds, which stays whole.
      if (int max = grid_->ColMaxLength(col); max > 0)
        line->setValidator(
            new CharacterLimit(std::max(max, characterCount(index.data(Qt::EditRole).toString())), line));
      // A screen reader names the box by its column and row.
      const auto* header = grid_->horizontalHeaderItem(index.column());
      line->setAccessibleName((header ? header->text() : QString()) + QStringLiteral(" ") + QString::number(row));
      Grid* grid = grid_;
      QObject::connect(line, &QLineEdit::textEdited, grid, [grid, col, row] { emit grid->editChange(col, row); });
    }
    return editor;
  }

 protected:
  // Ctrl+Tab in a cell being edited keeps what was typed and leaves the grid
  // (the default would move to the next cell as a plain Tab does).
  bool eventFilter(QObject* editor, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && grid_->leaveByKeys(static_cast<QKeyEvent*>(event))) return true;
    return QStyledItemDelegate::eventFilter(editor, event);
  }

 private:
  Grid* grid_;
};

Grid::Grid(QWidget* parent) : QTableWidget(parent) {
  setItemDelegate(new GridEditDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  verticalHeader()->setDefaultSectionSize(22);
  // A name too long for its cell ends in "…" on its one line, never cut at a word.
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  horizontalHeader()->setHighlightSections(false);
  connect(this, &QTableWidget::itemChanged, this, &Grid::onItemChanged);
  connect(this, &QTableWidget::cellClicked, this, [this](int r, int c) { emit clicked(c + 1, r + 1); });
  // Esc closes a cell's editor without its text: the window hears of it, so that
  // keystrokes taken back leave nothing marked changed.
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
          [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
            if (!currentIndex().isValid()) return;
            if (hint == QAbstractItemDelegate::RevertModelCache) emit editCancel(currentColumn() + 1, currentRow() + 1);
            emit editEnd(currentColumn() + 1, currentRow() + 1);
          });
  ShowElidedTextTips(this);
}

bool Grid::leaveByKeys(const QKeyEvent* key) {
  const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
  if (!tab || !(key->modifiers() & Qt::ControlModifier)) return false;
  const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
  CommitEdit();
  setFocus(Qt::OtherFocusReason);
  // The widget's own chain, not the view's (which moves between cells).
  QWidget::focusNextPrevChild(forward);
  return true;
}

bool Grid::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress && leaveByKeys(static_cast<QKeyEvent*>(event))) return true;
  if (event->type() == QEvent::Show) fitColumnsToHeaders();
  return QTableWidget::event(event);
}

void Grid::fitColumnsToHeaders() {
  // A column is drawn as wide as the window says, but never narrower than its
  // (translated) header, so the header is read whole.
  QHeaderView* header = horizontalHeader();
  for (int c = 0; c < columnCount(); ++c) {
    if (isColumnHidden(c) || columnWidth(c) == 0 || !horizontalHeaderItem(c)) continue;
    const int wanted = header->sectionSizeHint(c);
    if (wanted > columnWidth(c)) setColumnWidth(c, wanted);
  }
}

void Grid::CommitEdit() {
  if (state() != QAbstractItemView::EditingState) return;
  QWidget* editor = indexWidget(currentIndex());
  if (!editor) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void Grid::SetMaxRows(int rows) {
  if (rows < 0) platform::raise(platform::err::kInvalidProcedureCall, kSource, "MaxRows cannot be negative.");
  const int old = rowCount();
  ++quiet_;
  setRowCount(rows);
  for (int r = old + 1; r <= rows; ++r) prepareRow(r);
  --quiet_;
}

void Grid::SetMaxCols(int cols) {
  if (cols < 0) platform::raise(platform::err::kInvalidProcedureCall, kSource, "MaxCols cannot be negative.");
  const int old = columnCount();
  ++quiet_;
  setColumnCount(cols);
  for (int c = old; c < cols; ++c)
    if (!horizontalHeaderItem(c)) setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
  --quiet_;
}

int Grid::ActiveCol() const { return currentColumn() + 1; }
int Grid::ActiveRow() const { return currentRow() + 1; }

void Grid::SetActiveCell(int col, int row) {
  checkCell(col, row, "SetActiveCell");
  setCurrentCell(row - 1, col - 1);
}

void Grid::checkCell(int col, int row, const char* what) const {
  if (col < 1 || col > columnCount() || row < 1 || row > rowCount())
    platform::raise(platform::err::kSubscriptOutOfRange, kSource,
                    std::string(what) + ": no cell at column " + std::to_string(col) + ", row " + std::to_string(row) +
                        " (" + std::to_string(columnCount()) + " columns, " + std::to_string(rowCount()) + " rows).");
}

std::string Grid::HeaderText(int col) const {
  requireColumn(*this, col);
  auto* h = horizontalHeaderItem(col - 1);
  return h ? h->text().toStdString() : std::string();
}

void Grid::SetHeaderText(int col, const std::string& text) {
  requireColumn(*this, col);
  auto* h = horizontalHeaderItem(col - 1);
  if (!h) setHorizontalHeaderItem(col - 1, h = new QTableWidgetItem);
  h->setText(QString::fromStdString(text));
}

QTableWidgetItem* Grid::cell(int col, int row) const {
  if (col < 1 || col > columnCount() || row < 1 || row > rowCount()) return nullptr;
  QTableWidgetItem* it = item(row - 1, col - 1);
  if (!it) {
    auto* self = const_cast<Grid*>(this);
    ++self->quiet_;
    it = new QTableWidgetItem;
    auto* header = horizontalHeaderItem(col - 1);
    it->setData(kTypeRole, header ? header->data(kTypeRole).toInt() : 0);
    it->setData(kLockRole, header ? header->data(kLockRole).toBool() : false);
    self->setItem(row - 1, col - 1, it);
    applyFlags(it, col);
    if (GetCellType(col, row) == CellType::CheckBox) it->setCheckState(Qt::Unchecked);
    --self->quiet_;
  }
  return it;
}

void Grid::applyFlags(QTableWidgetItem* it, int) const {
  const bool locked = it->data(kLockRole).toBool();
  const bool check = it->data(kTypeRole).toInt() == static_cast<int>(CellType::CheckBox);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!locked) flags |= check ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
  auto* self = const_cast<Grid*>(this);
  ++self->quiet_;
  it->setFlags(flags);
  --self->quiet_;
}

void Grid::prepareRow(int row) {
  if (!verticalHeaderItem(row - 1)) setVerticalHeaderItem(row - 1, new QTableWidgetItem(QString::number(row)));
  for (int c = 1; c <= columnCount(); ++c) cell(c, row);
}

void Grid::SetColType(int col, CellType type) {
  requireColumn(*this, col);
  auto* h = horizontalHeaderItem(col - 1);
  if (!h) setHorizontalHeaderItem(col - 1, h = new QTableWidgetItem);
  h->setData(kTypeRole, static_cast<int>(type));
  for (int r = 1; r <= rowCount(); ++r) SetCellType(col, r, type);
}

void Grid::SetCellType(int col, int row, CellType type) {
  checkCell(col, row, "SetCellType");
  QTableWidgetItem* it = cell(col, row);
  ++quiet_;
  const bool wasCheck = it->data(kTypeRole).toInt() == static_cast<int>(CellType::CheckBox);
  it->setData(kTypeRole, static_cast<int>(type));
  if (type == CellType::CheckBox) {
    const bool on = it->text().trimmed() == "1" || (wasCheck && it->checkState() == Qt::Checked);
    it->setText(QString());
    it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  } else if (wasCheck) {
    const bool on = it->checkState() == Qt::Checked;
    it->setData(Qt::CheckStateRole, QVariant());
    it->setText(on ? "1" : "0");
  }
  applyFlags(it, col);
  --quiet_;
}

Grid::CellType Grid::GetCellType(int col, int row) const {
  checkCell(col, row, "GetCellType");
  QTableWidgetItem* it = item(row - 1, col - 1);
  if (it) return static_cast<CellType>(it->data(kTypeRole).toInt());
  auto* h = horizontalHeaderItem(col - 1);
  return h ? static_cast<CellType>(h->data(kTypeRole).toInt()) : CellType::Text;
}

std::string Grid::Text(int col, int row) const {
  checkCell(col, row, "Text");
  QTableWidgetItem* it = cell(col, row);
  if (GetCellType(col, row) == CellType::CheckBox) return it->checkState() == Qt::Checked ? "1" : "0";
  return it->text().toStdString();
}

void Grid::SetText(int col, int row, const std::string& text) {
  checkCell(col, row, "SetText");
  QTableWidgetItem* it = cell(col, row);
  ++quiet_;
  if (GetCellType(col, row) == CellType::CheckBox) {
    const QString t = QString::fromStdString(text).trimmed();
    it->setCheckState(t == "1" || t == "-1" || t.compare("true", Qt::CaseInsensitive) == 0 ? Qt::Checked
                                                                                          : Qt::Unchecked);
  } else {
    it->setText(QString::fromStdString(text));
  }
  --quiet_;
}

int Grid::Value(int col, int row) const {
  checkCell(col, row, "Value");
  QTableWidgetItem* it = cell(col, row);
  if (GetCellType(col, row) == CellType::CheckBox) return it->checkState() == Qt::Checked ? 1 : 0;
  bool ok = false;
  const int v = it->text().trimmed().toInt(&ok);
  return ok ? v : 0;
}

void Grid::SetValue(int col, int row, int value) {
  checkCell(col, row, "SetValue");
  if (GetCellType(col, row) == CellType::CheckBox) {
    QTableWidgetItem* it = cell(col, row);
    ++quiet_;
    it->setCheckState(value != 0 ? Qt::Checked : Qt::Unchecked);
    --quiet_;
  } else {
    SetText(col, row, std::to_string(value));
  }
}

bool Grid::Lock(int col, int row) const {
  checkCell(col, row, "Lock");
  return cell(col, row)->data(kLockRole).toBool();
}

void Grid::SetLock(int col, int row, bool locked) {
  checkCell(col, row, "SetLock");
  QTableWidgetItem* it = cell(col, row);
  ++quiet_;
  it->setData(kLockRole, locked);
  --quiet_;
  applyFlags(it, col);
}

void Grid::SetRowLock(int row, bool locked) {
  for (int c = 1; c <= columnCount(); ++c) SetLock(c, row, locked);
}

void Grid::SetColLock(int col, bool locked) {
  requireColumn(*this, col);
  auto* h = horizontalHeaderItem(col - 1);
  if (!h) setHorizontalHeaderItem(col - 1, h = new QTableWidgetItem);
  h->setData(kLockRole, locked);
  for (int r = 1; r <= rowCount(); ++r) SetLock(col, r, locked);
}

QColor Grid::BackColor(int col, int row) const {
  checkCell(col, row, "BackColor");
  const QVariant v = cell(col, row)->data(Qt::BackgroundRole);
  return v.isValid() ? v.value<QBrush>().color() : palette().color(QPalette::Base);
}

void Grid::SetBackColor(int col, int row, const QColor& color) {
  checkCell(col, row, "SetBackColor");
  ++quiet_;
  cell(col, row)->setBackground(QBrush(color));
  --quiet_;
}

void Grid::SetRowBackColor(int row, const QColor& color) {
  for (int c = 1; c <= columnCount(); ++c) SetBackColor(c, row, color);
}

bool Grid::ColHidden(int col) const {
  requireColumn(*this, col);
  return isColumnHidden(col - 1);
}

void Grid::SetColHidden(int col, bool hidden) {
  requireColumn(*this, col);
  setColumnHidden(col - 1, hidden);
}

int Grid::ColWidth(int col) const {
  requireColumn(*this, col);
  return columnWidth(col - 1);
}

void Grid::SetColWidth(int col, int pixels) {
  requireColumn(*this, col);
  setColumnWidth(col - 1, pixels);
}

void Grid::SetColWidthTwips(int col, int twips) { SetColWidth(col, twipsToPixels(twips)); }

void Grid::SetColMaxLength(int col, int characters) {
  requireColumn(*this, col);
  auto* h = horizontalHeaderItem(col - 1);
  if (!h) setHorizontalHeaderItem(col - 1, h = new QTableWidgetItem);
  h->setData(kMaxLengthRole, characters);
}

int Grid::ColMaxLength(int col) const {
  if (col < 1 || col > columnCount()) return 0;
  auto* h = horizontalHeaderItem(col - 1);
  return h ? h->data(kMaxLengthRole).toInt() : 0;
}

int32_t Grid::RowItemData(int row) const {
  if (row < 1 || row > rowCount()) platform::raise(platform::err::kSubscriptOutOfRange, kSource);
  auto* h = verticalHeaderItem(row - 1);
  return h ? h->data(kItemDataRole).toInt() : 0;
}

void Grid::SetRowItemData(int row, int32_t data) {
  if (row < 1 || row > rowCount()) platform::raise(platform::err::kSubscriptOutOfRange, kSource);
  auto* h = verticalHeaderItem(row - 1);
  if (!h) setVerticalHeaderItem(row - 1, h = new QTableWidgetItem(QString::number(row)));
  h->setData(kItemDataRole, data);
}

int Grid::FindRowByItemData(int32_t data) const {
  for (int r = 1; r <= rowCount(); ++r)
    if (RowItemData(r) == data) return r;
  return 0;
}

void Grid::InsertRows(int row, int count) {
  if (row < 1 || row > rowCount() + 1 || count < 0)
    platform::raise(platform::err::kSubscriptOutOfRange, kSource, "InsertRows: no row " + std::to_string(row) + ".");
  ++quiet_;
  for (int i = 0; i < count; ++i) {
    insertRow(row - 1);
    setVerticalHeaderItem(row - 1, new QTableWidgetItem);
  }
  for (int r = row; r < row + count; ++r) prepareRow(r);
  for (int r = 1; r <= rowCount(); ++r) verticalHeaderItem(r - 1)->setText(QString::number(r));
  --quiet_;
}

void Grid::DeleteRows(int row, int count) {
  if (row < 1 || count < 0 || row + count - 1 > rowCount())
    platform::raise(platform::err::kSubscriptOutOfRange, kSource, "DeleteRows: no row " + std::to_string(row) + ".");
  ++quiet_;
  for (int i = 0; i < count; ++i) removeRow(row - 1);
  for (int r = 1; r <= rowCount(); ++r)
    if (auto* h = verticalHeaderItem(r - 1)) h->setText(QString::number(r));
  --quiet_;
}

void Grid::ClearRows() { SetMaxRows(0); }

void Grid::onItemChanged(QTableWidgetItem* it) {
  if (quiet_ > 0 || !it) return;
  emit change(it->column() + 1, it->row() + 1);
}

bool Grid::userTypeText(int col, int row, const std::string& text) {
  checkCell(col, row, "userTypeText");
  if (Lock(col, row) || GetCellType(col, row) == CellType::CheckBox || isColumnHidden(col - 1)) return false;
  QString t = QString::fromStdString(text);
  if (int max = ColMaxLength(col); max > 0) t = TruncatedToCharacters(t, max);  // the editor stops typing there
  SetActiveCell(col, row);
  emit editChange(col, row);
  cell(col, row)->setText(t);  // not quiet: raises change when the text differs
  return true;
}

bool Grid::userSetValue(int col, int row, int value) {
  checkCell(col, row, "userSetValue");
  if (Lock(col, row) || GetCellType(col, row) != CellType::CheckBox || isColumnHidden(col - 1)) return false;
  SetActiveCell(col, row);
  cell(col, row)->setCheckState(value != 0 ? Qt::Checked : Qt::Unchecked);
  return true;
}

void Grid::userClick(int col, int row) {
  checkCell(col, row, "userClick");
  SetActiveCell(col, row);
  emit clicked(col, row);
}

}  // namespace wayfind::widgets
