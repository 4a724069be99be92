// Parsing of sort texts and ordering of a view by them.
#include "platform/recordset/sort_order.h"

#include <algorithm>
#include <string>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/value_compare.h"

namespace wayfind::platform {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

[[noreturn]] void malformed(std::string_view text) {
  raise(err::kBadArguments, "Recordset", "Invalid sort text: '" + std::string(text) + "'.");
}

}  // namespace

SortOrder SortOrder::parse(std::string_view text, const std::vector<FieldInfo>& fields) {
  SortOrder order;
  if (trim(text).empty()) return order;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view item = trim(text.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) malformed(text);

    Key key;
    std::string_view name;
    if (item.front() == '[') {
      size_t close = item.find(']');
      if (close == std::string_view::npos) malformed(text);
      name = trim(item.substr(1, close - 1));
      item = trim(item.substr(close + 1));
    } else {
      size_t space = item.find_first_of(" \t\r\n");
      name = item.substr(0, space);
      item = space == std::string_view::npos ? std::string_view{} : trim(item.substr(space));
    }
    if (name.empty()) malformed(text);
    if (iequals(item, "DESC")) {
      key.descending = true;
    } else if (!item.empty() && !iequals(item, "ASC")) {
      malformed(text);
    }
    key.field = -1;
    for (size_t i = 0; i < fields.size(); ++i)
      if (iequals(fields[i].name, name)) { key.field = static_cast<int>(i); break; }
    if (key.field < 0) {
      raise(err::kItemNotFound, "Recordset",
            standardDescription(err::kItemNotFound) + " (field '" + std::string(name) + "' in sort)");
    }
    order.keys_.push_back(key);
    if (comma == text.size()) break;
  }
  return order;
}

bool SortOrder::before(uint32_t a, uint32_t b, const RowStore& rows) const {
  for (const Key& k : keys_) {
    int c = compareForSort(rows.cell(a, static_cast<size_t>(k.field)), rows.cell(b, static_cast<size_t>(k.field)));
    if (c != 0) return k.descending ? c > 0 : c < 0;
  }
  return a < b;
}

void SortOrder::apply(RowList& view, const RowStore& rows) const {
  if (keys_.empty()) {
    std::sort(view.begin(), view.end());
    return;
  }
  std::sort(view.begin(), view.end(), [&](uint32_t a, uint32_t b) { return before(a, b, rows); });
}

}  // namespace wayfind::platform
