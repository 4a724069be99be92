#include "app/json_writer.h"

#include <cmath>
#include <cstdio>

#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"
#include "store/search_text.h"

namespace wayfind::app {

using platform::Variant;
using platform::VarType;

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // JSON is UTF-8: a byte that begins no well-formed sequence (text another tool
      // wrote into the database) becomes U+FFFD, or a strict reader refuses it all.
      const size_t start = i;
      if (store::NextCodePoint(text, i) == 0xFFFD)
        out += "\xef\xbf\xbd";
      else
        out.append(text.substr(start, i - start));
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

namespace {

std::string recordsetJson(platform::Recordset& rs) {
  // Every row of the visible view, in its order; the cursor is put back on the
  // first row afterwards, so printing does not consume the result.
  std::string out = "[";
  bool first = true;
  if (rs.RecordCount() > 0) rs.MoveFirst();
  for (; !rs.isEOF(); rs.MoveNext()) {
    out += first ? "{" : ",{";
    first = false;
    for (int f = 0; f < rs.fieldCount(); ++f) {
      if (f) out += ",";
      out += jsonString(rs.fieldInfo(f).name) + ":" + toJson(rs.value(f));
    }
    out += "}";
  }
  if (rs.RecordCount() > 0) rs.MoveFirst();
  return out + "]";
}

}  // namespace

std::string toJson(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return "null";
    case VarType::Boolean: return v.asBool() ? "true" : "false";
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong: return platform::CStr(v);
    case VarType::Double: {
      double d = v.asDouble();
      if (!std::isfinite(d)) return "null";
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      return buf;
    }
    case VarType::Date:
    case VarType::String: return jsonString(platform::CStr(v));
    case VarType::Object: {
      if (!v.asObject()) return "null";
      if (auto rs = v.objectAs<platform::Recordset>()) return recordsetJson(*rs);
      if (auto d = v.objectAs<platform::Dictionary>()) {
        std::string out = "{";
        bool first = true;
        for (const auto& key : d->Keys()) {
          if (!first) out += ',';
          out += jsonString(key) + ":" + toJson(d->GetValue(key));
          first = false;
        }
        return out + "}";
      }
      if (auto vec = v.objectAs<platform::Vector>()) {
        std::string out = "[";
        for (int32_t i = 1; i <= vec->Count(); ++i) {
          if (i > 1) out += ',';
          out += toJson(vec->Item(i));
        }
        return out + "]";
      }
      return jsonString("<object>");
    }
  }
  return "null";
}

}  // namespace wayfind::app
