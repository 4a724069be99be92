#include "editor/set_prop_model.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::editor {

using platform::Variant;

namespace {

constexpr const char* kSource = "PropRows";

// The name leads both grids.
constexpr int kNameCol = outline_col::kName;
static_assert(detail_col::kName == kNameCol);

// The length of the blank (a space, a control blank or a Unicode separator, as the
// grid trims them) that starts text at pos, in bytes; 0 when none does.
size_t blankAt(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const size_t left = text.size() - pos;
  const unsigned char c = byte(pos);
  if (c == ' ' || (c >= '\t' && c <= '\r')) return 1;
  if (left >= 2 && c == 0xC2 && (byte(pos + 1) == 0x85 || byte(pos + 1) == 0xA0)) return 2;
  if (left < 3) return 0;
  const unsigned char c1 = byte(pos + 1), c2 = byte(pos + 2);
  if (c == 0xE1 && c1 == 0x9A && c2 == 0x80) return 3;                 // U+1680
  if (c == 0xE2 && c1 == 0x80 && (c2 <= 0x8A || c2 == 0xA8 || c2 == 0xA9 || c2 == 0xAF))
    return 3;                                                           // U+2000..200A, 2028, 2029, 202F
  if (c == 0xE2 && c1 == 0x81 && c2 == 0x9F) return 3;                  // U+205F
  if (c == 0xE3 && c1 == 0x80 && c2 == 0x80) return 3;                  // U+3000, the ideographic space
  return 0;
}

std::string_view trimBlanks(std::string_view text) {
  for (size_t n; !text.empty() && (n = blankAt(text, 0)) > 0;) text.remove_prefix(n);
  // From the end: the last blank that reaches exactly to the end of the text.
  for (bool trimmed = true; trimmed && !text.empty();) {
    trimmed = false;
    for (size_t len = 1; len <= 3 && len <= text.size(); ++len) {
      if (blankAt(text, text.size() - len) == len) {
        text.remove_suffix(len);
        trimmed = true;
        break;
      }
    }
  }
  return text;
}

}  // namespace

const std::vector<const nav::ColumnInfo*>& GridColumns(RowKind kind) {
  static const auto outline = EditorColumns(nav::Level::SubFunc);
  static const auto detail = EditorColumns(nav::Level::DetailFunc);
  return kind == RowKind::Outline ? outline : detail;
}

const std::string& PropRow::cell(int col) const {
  static const std::string none;
  return col >= 1 && static_cast<size_t>(col) <= cells.size() ? cells[static_cast<size_t>(col - 1)] : none;
}

std::string& PropRow::cell(int col) {
  if (col < 1) platform::raise(platform::err::kSubscriptOutOfRange, kSource);
  if (static_cast<size_t>(col) > cells.size()) cells.resize(static_cast<size_t>(col));
  return cells[static_cast<size_t>(col - 1)];
}

PropRow MakeRow(const GridRow& row, bool locked) {
  PropRow r;
  r.id = row.id;
  r.cells = row.cells;
  r.locked = locked;
  r.read = r.shown();
  return r;
}

std::optional<int32_t> ReadOrderNumber(std::string_view text) {
  // Full-width digits and signs (a Chinese input method in full-width mode) read
  // as their ASCII forms.
  std::string ascii;
  for (std::string_view rest = trimBlanks(text); !rest.empty();) {
    const auto c = static_cast<unsigned char>(rest[0]);
    if (rest.size() >= 3 && c == 0xEF && static_cast<unsigned char>(rest[1]) == 0xBC) {
      const auto c2 = static_cast<unsigned char>(rest[2]);
      if (c2 >= 0x90 && c2 <= 0x99) ascii += static_cast<char>('0' + (c2 - 0x90));
      else if (c2 == 0x8B) ascii += '+';
      else if (c2 == 0x8D) ascii += '-';
      else return std::nullopt;
      rest.remove_prefix(3);
      continue;
    }
    ascii += rest[0];
    rest.remove_prefix(1);
  }
  std::string_view digits = ascii;
  // One sign at most; from_chars takes the minus itself.
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) return std::nullopt;
  }
  int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

int32_t OrderNumber(std::string_view text) { return ReadOrderNumber(text).value_or(0); }

bool IsBlankName(std::string_view name) { return trimBlanks(name).empty(); }

std::vector<std::string> SaveRow::keys() const {
  std::vector<std::string> out;
  const auto& columns = GridColumns(kind);
  for (size_t i = 0; i < columns.size() && i < values.size(); ++i)
    if (!read || i >= read->size() || values[i] != (*read)[i]) out.push_back(columns[i]->keys[0]);
  return out;
}

void SaveRow::writeTo(platform::Dictionary& dict) const {
  dict.Clear();
  auto was = read ? std::make_shared<platform::Dictionary>() : nullptr;
  const auto& columns = GridColumns(kind);
  // A text goes as text, a check box and the order number as numbers.
  const auto valueOf = [&](size_t i, const std::string& text) {
    return columns[i]->editor.cell == nav::EditorCell::Text ? Variant(text) : Variant(OrderNumber(text));
  };
  const auto keys = this->keys();
  for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
    const char* key = columns[i]->keys[0];
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) continue;
    dict.SetValue(key, valueOf(i, values[i]));
    if (was) was->SetValue(key, valueOf(i, i < read->size() ? (*read)[i] : std::string()));
  }
  if (was) dict.SetValue("Read", Variant(was));
}

const PropRow& PropRows::at(int row) const {
  if (!contains(row)) platform::raise(platform::err::kSubscriptOutOfRange, kSource);
  return rows_[static_cast<size_t>(row - 1)];
}

PropRow& PropRows::at(int row) { return const_cast<PropRow&>(static_cast<const PropRows&>(*this).at(row)); }

int PropRows::append(PropRow row) {
  rows_.push_back(std::move(row));
  return count();
}

int PropRows::columnCount() const { return static_cast<int>(GridColumns(kind_).size()); }

nav::EditorCell PropRows::cellKind(int col) const {
  const auto& columns = GridColumns(kind_);
  if (col < 1 || col > static_cast<int>(columns.size())) return nav::EditorCell::None;
  return columns[static_cast<size_t>(col - 1)]->editor.cell;
}

bool PropRows::isCheckColumn(int col) const { return cellKind(col) == nav::EditorCell::Check; }

int PropRows::indexColumn() const { return kind_ == RowKind::Outline ? outline_col::kIndex : detail_col::kIndex; }

std::string PropRows::cellText(int col, int row) const {
  const PropRow& r = at(row);
  return cellKind(col) == nav::EditorCell::None ? std::string() : r.cell(col);
}

void PropRows::setCellText(int col, int row, const std::string& text) {
  PropRow& r = at(row);
  const nav::EditorCell kind = cellKind(col);
  if (kind == nav::EditorCell::None) return;
  static const std::string kOn = "1", kOff = "0";
  r.cell(col) = kind == nav::EditorCell::Check ? (text == kOn ? kOn : kOff) : text;
}

bool PropRows::canMoveUp(int active) const { return editable(active) && active > 1 && !at(active - 1).locked; }

bool PropRows::canMoveDown(int active) const { return editable(active) && active != count(); }

void PropRows::move(int from, int to) {
  PropRow& a = at(from);
  PropRow& b = at(to);
  std::swap(a.id, b.id);
  for (int col = 1; col <= columnCount(); ++col)
    if (cellKind(col) != nav::EditorCell::Order) std::swap(a.cell(col), b.cell(col));
  std::swap(a.read, b.read);
  // Two places with the same number (left by two windows that reordered the
  // level at once) would keep the items' order as stored whatever the user
  // moves: from the upper of them down, each place takes a number above the
  // one before it, as far as needed (a locked row keeps its own).
  for (int col = 1; col <= columnCount(); ++col) {
    if (cellKind(col) != nav::EditorCell::Order) continue;
    for (int row = std::min(from, to) + 1; row <= count() && !at(row).locked; ++row) {
      const int64_t before = OrderNumber(at(row - 1).cell(col)), here = OrderNumber(at(row).cell(col));
      if (here > before || before >= std::numeric_limits<int32_t>::max()) break;
      at(row).cell(col) = std::to_string(before + 1);
    }
  }
}

bool PropRows::isEdit(CellAction action, int col, int row) const {
  const bool outline = kind_ == RowKind::Outline;
  switch (action) {
    case CellAction::Typing: return outline || (col >= 1 && col <= detail_col::kCount);
    case CellAction::Change: return col == (outline ? outline_col::kVisible : detail_col::kVisible);
    case CellAction::Click:
      // A locked row's box does not change: a click there edits nothing.
      return col == (outline ? outline_col::kVisible : detail_col::kVisible) && editable(row);
  }
  return false;
}

std::optional<int> PropRows::duplicateHelpCode(int row) const {
  if (count() <= 1 || !contains(row)) return std::nullopt;
  std::vector<std::string> codes;
  codes.reserve(rows_.size());
  for (const PropRow& r : rows_) codes.push_back(r.cell(detail_col::kHelpCode));
  const auto other = FindDuplicateHelpCode(codes, static_cast<size_t>(row - 1));
  if (!other) return std::nullopt;
  return static_cast<int>(*other) + 1;
}

// A row's cells as a save compares and sends them: the order number as the
// number it stands for.
std::vector<std::string> PropRows::saved(const std::vector<std::string>& cells) const {
  std::vector<std::string> out;
  for (int col = 1; col <= columnCount(); ++col) {
    const auto at = static_cast<size_t>(col - 1);
    const std::string text = at < cells.size() ? cells[at] : std::string();
    out.push_back(cellKind(col) == nav::EditorCell::Order ? std::to_string(OrderNumber(text)) : text);
  }
  return out;
}

std::vector<SaveRow> PropRows::saveRows(SaveScope scope) const {
  std::vector<SaveRow> out;
  for (const PropRow& r : rows_) {
    const bool blankName = kind_ == RowKind::Outline && IsBlankName(r.cell(kNameCol));
    // Applied to other users, a row goes whole: one without a name stays out.
    if (blankName && scope == SaveScope::WholeLevel) continue;
    SaveRow row{kind_, r.id, saved(r.cells), {}};
    if (scope == SaveScope::Changes) {
      row.read = saved(r.read);
      // A cleared name leaves the stored one; the row's other edits still go.
      if (blankName && !row.read->empty()) row.values[kNameCol - 1] = (*row.read)[kNameCol - 1];
      if (row.keys().empty()) continue;
    }
    out.push_back(std::move(row));
  }
  return out;
}

void PropRows::settle() {
  for (PropRow& r : rows_) r.read = r.shown();
}

std::vector<std::string> PropRows::dropEditsOfItemsNotIn(const std::vector<int32_t>& present) {
  std::vector<std::string> names;
  for (PropRow& r : rows_) {
    if (std::find(present.begin(), present.end(), r.id) != present.end() || r.cells == r.read) continue;
    names.push_back(r.read.empty() ? r.cell(kNameCol) : r.read[kNameCol - 1]);
    r.cells = r.read;
  }
  return names;
}

int PropRows::takeStoredRow(int32_t id, const ReadValues& stored) {
  for (int row = 1; row <= count(); ++row) {
    PropRow& r = at(row);
    if (r.id != id) continue;
    for (int col = 1; col <= columnCount(); ++col) {
      const auto at = static_cast<size_t>(col - 1);
      const std::string was = at < r.read.size() ? r.read[at] : std::string();
      const std::string now = at < stored.size() ? stored[at] : std::string();
      if (r.cell(col) == was) r.cell(col) = now;
    }
    r.read = stored;
    return row;
  }
  return 0;
}

int PropRows::takeStored(int32_t id, const std::string& key, const Variant& value, bool show) {
  const auto& columns = GridColumns(kind_);
  for (int row = 1; row <= count(); ++row) {
    PropRow& r = at(row);
    if (r.id != id) continue;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (key != columns[i]->keys[0]) continue;
      std::string text;
      switch (columns[i]->editor.cell) {
        case nav::EditorCell::Check:
          text = std::string(!value.isNull() && !value.isEmpty() && platform::CBool(value) ? "1" : "0");
          break;
        case nav::EditorCell::Order:
          text = std::to_string(value.isNull() || value.isEmpty() ? 0 : platform::CLng(value));
          break;
        default: text = platform::textOrEmpty(value);
      }
      if (r.read.size() <= i) r.read.resize(i + 1);
      r.read[i] = text;
      if (show) r.cell(static_cast<int>(i) + 1) = text;
    }
    return row;
  }
  return 0;
}

}  // namespace wayfind::editor
