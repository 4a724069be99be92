#include "app/text_output.h"

#include <vector>

#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::app {

using platform::Variant;

namespace {

uint32_t decodeAt(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (i + len > s.size()) len = 1;
  uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      len = 1;
      cp = c;
      break;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

bool isWide(uint32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

std::string pad(const std::string& text, size_t width) {
  size_t w = displayWidth(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

std::string cellText(const Variant& v) {
  if (v.isNull()) return "Null";
  return valueText(v);
}

std::string recordsetTable(platform::Recordset& rs) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header;
  for (int f = 0; f < rs.fieldCount(); ++f) header.push_back(rs.fieldInfo(f).name);
  if (rs.RecordCount() > 0) rs.MoveFirst();
  for (; !rs.isEOF(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (int f = 0; f < rs.fieldCount(); ++f) row.push_back(cellText(rs.value(f)));
    rows.push_back(std::move(row));
  }
  if (rs.RecordCount() > 0) rs.MoveFirst();
  std::vector<size_t> widths;
  for (auto& h : header) widths.push_back(displayWidth(h));
  for (auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t c = 0; c < cells.size(); ++c) out += (c ? "  " : "") + (c + 1 < cells.size() ? pad(cells[c], widths[c]) : cells[c]);
    return out + "\n";
  };
  std::string out = line(header);
  std::vector<std::string> rule;
  for (auto w : widths) rule.push_back(std::string(w, '-'));
  out += line(rule);
  for (auto& row : rows) out += line(row);
  out.append("(").append(std::to_string(rows.size())).append(rows.size() == 1 ? " row)\n" : " rows)\n");
  return out;
}

}  // namespace

size_t displayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) width += isWide(decodeAt(text, i)) ? 2 : 1;
  return width;
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      out += "\xef\xbf\xbd";
      if (c1) ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string valueText(const Variant& v) {
  switch (v.type()) {
    case platform::VarType::Empty: return "";
    case platform::VarType::Null: return "Null";
    case platform::VarType::Object: {
      if (!v.asObject()) return "Nothing";
      if (auto rs = v.objectAs<platform::Recordset>()) return "<record set, " + std::to_string(rs->RecordCount()) + " rows>";
      if (auto d = v.objectAs<platform::Dictionary>()) return "<dictionary, " + std::to_string(d->Count()) + " keys>";
      if (auto vec = v.objectAs<platform::Vector>()) return "<vector, " + std::to_string(vec->Count()) + " items>";
      return "<object>";
    }
    default: return printable(platform::CStr(v));
  }
}

std::string formatValue(const Variant& v) {
  if (auto rs = v.objectAs<platform::Recordset>()) return recordsetTable(*rs);
  if (auto d = v.objectAs<platform::Dictionary>()) {
    if (d->Count() == 0) return "(empty dictionary)\n";
    std::string out;
    for (const auto& key : d->Keys()) {
      Variant value = d->GetValue(key);
      if (value.isObject() && value.asObject())
        out += printable(key) + ":\n" + formatValue(value);
      else
        out += printable(key) + " = " + valueText(value) + "\n";
    }
    return out;
  }
  if (auto vec = v.objectAs<platform::Vector>()) {
    if (vec->Count() == 0) return "(empty vector)\n";
    std::string out;
    for (int32_t i = 1; i <= vec->Count(); ++i) out += std::to_string(i) + ": " + valueText(vec->Item(i)) + "\n";
    return out;
  }
  return valueText(v) + "\n";
}

}  // namespace wayfind::app
