#include "editor/set_prop_model.h"

#include <charconv>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::editor {

using platform::Variant;
namespace outline_col = nav::outline_col;
namespace detail_col = nav::detail_col;

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

PropRow MakeRow(const OutlineRow& row, bool locked) {
  PropRow r;
  r.id = row.id;
  r.name = row.name;
  r.visible = row.visible;
  r.index = std::to_string(row.index);
  r.locked = locked;
  r.read = r.shown();
  return r;
}

PropRow MakeRow(const DetailRow& row, bool locked) {
  PropRow r;
  r.id = row.id;
  r.name = row.name;
  r.helpCode = row.helpCode;
  r.visible = row.visible;
  r.enabled = row.enabled;
  r.index = std::to_string(row.index);
  r.locked = locked;
  r.read = r.shown();
  return r;
}

int32_t OrderNumber(std::string_view text) {
  text = trimBlanks(text);
  // One sign at most; from_chars takes the minus itself.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return 0;
  }
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::vector<std::string> SaveRow::keys() const {
  const bool detail = kind == RowKind::Detail;
  std::vector<std::string> out;
  if (!read || name != read->name) out.push_back("NewName");
  if (detail && (!read || helpCode != read->helpCode)) out.push_back("HelpCode");
  if (!read || visible != read->visible) out.push_back("Visible");
  if (detail && (!read || enabled != read->enabled)) out.push_back("Enable");
  if (!read || index != read->index) out.push_back("Index");
  return out;
}

void SaveRow::writeTo(platform::Dictionary& dict) const {
  dict.Clear();
  auto was = read ? std::make_shared<platform::Dictionary>() : nullptr;
  const auto put = [&](const char* key, Variant now, Variant then) {
    dict.SetValue(key, now);
    if (was) was->SetValue(key, then);
  };
  const Values none;
  const Values& r = read ? *read : none;
  for (const auto& key : keys()) {
    if (key == "NewName") put("NewName", Variant(name), Variant(r.name));
    if (key == "HelpCode") put("HelpCode", Variant(helpCode), Variant(r.helpCode));
    if (key == "Visible") put("Visible", Variant(visible), Variant(r.visible));
    if (key == "Enable") put("Enable", Variant(enabled), Variant(r.enabled));
    if (key == "Index") put("Index", Variant(index), Variant(r.index));
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

int PropRows::columnCount() const {
  return kind_ == RowKind::Outline ? outline_col::kCount : detail_col::kCount;
}

bool PropRows::isCheckColumn(int col) const {
  if (kind_ == RowKind::Outline) return col == outline_col::kVisible;
  return col == detail_col::kVisible || col == detail_col::kEnabled;
}

int PropRows::indexColumn() const { return kind_ == RowKind::Outline ? outline_col::kIndex : detail_col::kIndex; }

std::string PropRows::cellText(int col, int row) const {
  const PropRow& r = at(row);
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  if (col == kNameCol) return r.name;
  if (col == indexColumn()) return r.index;
  if (kind_ == RowKind::Outline) return col == outline_col::kVisible ? flag(r.visible) : std::string();
  switch (col) {
    case detail_col::kHelpCode: return r.helpCode;
    case detail_col::kVisible: return flag(r.visible);
    case detail_col::kEnabled: return flag(r.enabled);
    default: return std::string();
  }
}

void PropRows::setCellText(int col, int row, const std::string& text) {
  PropRow& r = at(row);
  if (col == kNameCol) {
    r.name = text;
  } else if (col == indexColumn()) {
    r.index = text;
  } else if (kind_ == RowKind::Outline) {
    if (col == outline_col::kVisible) r.visible = text == "1";
  } else if (col == detail_col::kHelpCode) {
    r.helpCode = text;
  } else if (col == detail_col::kVisible) {
    r.visible = text == "1";
  } else if (col == detail_col::kEnabled) {
    r.enabled = text == "1";
  }
}

bool PropRows::canMoveUp(int active) const { return editable(active) && active > 1 && !at(active - 1).locked; }

bool PropRows::canMoveDown(int active) const { return editable(active) && active != count(); }

void PropRows::move(int from, int to) {
  PropRow& a = at(from);
  PropRow& b = at(to);
  std::swap(a.id, b.id);
  std::swap(a.name, b.name);
  std::swap(a.helpCode, b.helpCode);
  std::swap(a.visible, b.visible);
  std::swap(a.enabled, b.enabled);
  std::swap(a.read, b.read);
}

bool PropRows::isEdit(CellAction action, int col, int row) const {
  const bool outline = kind_ == RowKind::Outline;
  switch (action) {
    case CellAction::Typing: return outline || (col >= 1 && col <= detail_col::kCount);
    case CellAction::Change: return col == (outline ? outline_col::kVisible : detail_col::kVisible);
    case CellAction::Click:
      return outline ? col == outline_col::kVisible : col == detail_col::kVisible && editable(row);
  }
  return false;
}

std::optional<int> PropRows::duplicateHelpCode(int row) const {
  if (count() <= 1 || !contains(row)) return std::nullopt;
  std::vector<std::string> codes;
  codes.reserve(rows_.size());
  for (const PropRow& r : rows_) codes.push_back(r.helpCode);
  const auto other = FindDuplicateHelpCode(codes, static_cast<size_t>(row - 1));
  if (!other) return std::nullopt;
  return static_cast<int>(*other) + 1;
}

std::vector<SaveRow> PropRows::saveRows(SaveScope scope) const {
  std::vector<SaveRow> out;
  for (const PropRow& r : rows_) {
    if (kind_ == RowKind::Outline && platform::trimSpaces(r.name).empty()) continue;
    SaveRow row{kind_, r.id, r.name, r.helpCode, r.visible ? 1 : 0, r.enabled ? 1 : 0, OrderNumber(r.index), {}};
    if (scope == SaveScope::Changes) {
      row.read = SaveRow::Values{r.read.name, r.read.helpCode, r.read.visible ? 1 : 0, r.read.enabled ? 1 : 0,
                                 OrderNumber(r.read.index)};
      if (row.keys().empty()) continue;
    }
    out.push_back(std::move(row));
  }
  return out;
}

void PropRows::settle() {
  for (PropRow& r : rows_) r.read = r.shown();
}

int PropRows::takeStoredRow(int32_t id, const ReadValues& stored) {
  for (int row = 1; row <= count(); ++row) {
    PropRow& r = at(row);
    if (r.id != id) continue;
    if (r.name == r.read.name) r.name = stored.name;
    if (r.helpCode == r.read.helpCode) r.helpCode = stored.helpCode;
    if (r.visible == r.read.visible) r.visible = stored.visible;
    if (r.enabled == r.read.enabled) r.enabled = stored.enabled;
    if (r.index == r.read.index) r.index = stored.index;
    r.read = stored;
    return row;
  }
  return 0;
}

int PropRows::takeStored(int32_t id, const std::string& key, const Variant& value, bool show) {
  for (int row = 1; row <= count(); ++row) {
    PropRow& r = at(row);
    if (r.id != id) continue;
    const auto flag = [&] { return !value.isNull() && !value.isEmpty() && platform::CBool(value); };
    if (key == "NewName") {
      r.read.name = platform::textOrEmpty(value);
      if (show) r.name = r.read.name;
    } else if (key == "HelpCode") {
      r.read.helpCode = platform::textOrEmpty(value);
      if (show) r.helpCode = r.read.helpCode;
    } else if (key == "Visible") {
      r.read.visible = flag();
      if (show) r.visible = r.read.visible;
    } else if (key == "Enable") {
      r.read.enabled = flag();
      if (show) r.enabled = r.read.enabled;
    } else if (key == "Index") {
      r.read.index = std::to_string(value.isNull() || value.isEmpty() ? 0 : platform::CLng(value));
      if (show) r.index = r.read.index;
    }
    return row;
  }
  return 0;
}

}  // namespace wayfind::editor
