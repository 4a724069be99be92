#include "platform/containers/structure_check.h"

#include <algorithm>

#include "platform/automation/conversions.h"
#include "platform/containers/byte_io.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec.h"
#include "platform/containers/value_codec_parts.h"
#include "platform/recordset/column_store.h"
#include "platform/recordset/field.h"

namespace wayfind::platform::fileformat {
namespace {

// Every step below takes the same bounds as the decoder in value_codec.cpp and
// recordset_codec.cpp, at the same nesting depths, so that the walk refuses a
// subset of what decoding refuses.
class Walk {
 public:
  Walk(std::string_view content, uint32_t version) : in_(content), version_(version) {}

  bool dictionary(const Expected* expected) {
    uint32_t n;
    if (!in_.u32(n) || n > in_.remaining() / codec::kMinEntryBytes) return false;
    std::vector<bool> found(expected ? expected->recordSets.size() : 0, false);
    for (uint32_t i = 0; i < n; ++i) {
      std::string_view key;
      uint8_t tag;
      if (!codec::decodeText(in_, key) || !in_.u8(tag)) return false;
      if (expected) {
        for (size_t k = 0; k < found.size(); ++k) {
          if (!iequals(key, expected->recordSets[k])) continue;
          if (tag != static_cast<uint8_t>(Tag::Recordset) && tag != static_cast<uint8_t>(Tag::RecordsetColumns))
            return false;
          found[k] = true;
        }
      }
      if (!tagged(tag, 0)) return false;
    }
    return std::all_of(found.begin(), found.end(), [](bool f) { return f; }) && in_.atEnd();
  }

 private:
  bool skip(size_t n) {
    std::string_view skipped;
    return in_.bytes(n, skipped);
  }

  bool entries(int depth) {
    if (depth > kMaxNesting) return false;
    uint32_t n;
    if (!in_.u32(n) || n > in_.remaining() / codec::kMinEntryBytes) return false;
    for (uint32_t i = 0; i < n; ++i) {
      std::string_view key;
      if (!codec::decodeText(in_, key) || !value(depth)) return false;
    }
    return true;
  }

  bool vector(int depth) {
    if (depth > kMaxNesting) return false;
    uint32_t n;
    if (!in_.u32(n) || n > in_.remaining()) return false;
    for (uint32_t i = 0; i < n; ++i)
      if (!value(depth)) return false;
    return true;
  }

  bool value(int depth) {
    uint8_t tag;
    return in_.u8(tag) && tagged(tag, depth);
  }

  bool tagged(uint8_t tag, int depth) {
    switch (static_cast<Tag>(tag)) {
      case Tag::Empty:
      case Tag::Null:
      case Tag::Nothing: return true;
      case Tag::Boolean: {
        uint8_t b;
        return in_.u8(b) && b <= 1;
      }
      case Tag::Integer: return skip(2);
      case Tag::Long: return skip(4);
      case Tag::LongLong:
      case Tag::Double:
      case Tag::Date: return skip(8);
      case Tag::String: {
        std::string_view s;
        return codec::decodeText(in_, s);
      }
      case Tag::Dictionary: return entries(depth + 1);
      case Tag::Vector: return vector(depth + 1);
      case Tag::Recordset: return rowsOfRecordset(depth + 1);
      case Tag::RecordsetColumns: return columnsOfRecordset(depth + 1);
    }
    return false;
  }

  // The flags, fields and row count both forms of a record set begin with;
  // kinds gets each field's column kind.
  bool structure(uint8_t& flags, std::vector<ColumnStore::Kind>& kinds, uint32_t& rows) {
    uint32_t fields;
    if (!in_.u8(flags) || flags > 1) return false;
    if (!in_.u32(fields) || fields > in_.remaining() / codec::kMinFieldBytes) return false;
    kinds.reserve(fields);
    for (uint32_t f = 0; f < fields; ++f) {
      std::string_view name;
      uint32_t type;
      if (!codec::decodeText(in_, name) || !in_.u32(type) || !skip(4 + 4 + 1 + 1)) return false;
      if (!isKnownDataType(static_cast<int32_t>(type))) return false;
      kinds.push_back(ColumnStore::kindFor(static_cast<DataType>(type)));
    }
    return in_.u32(rows) && rows <= in_.remaining();
  }

  bool rowsOfRecordset(int depth) {
    if (depth > kMaxNesting) return false;
    uint8_t flags;
    std::vector<ColumnStore::Kind> kinds;
    uint32_t rows;
    if (!structure(flags, kinds, rows)) return false;
    if (uint64_t(rows) * kinds.size() > in_.remaining()) return false;
    if (flags == 0) return rows == 0;
    for (uint64_t cells = uint64_t(rows) * kinds.size(); cells > 0; --cells)
      if (!value(depth)) return false;
    return true;
  }

  bool columnsOfRecordset(int depth) {
    if (depth > kMaxNesting || version_ < 2) return false;
    uint8_t flags;
    std::vector<ColumnStore::Kind> kinds;
    uint32_t rows;
    if (!structure(flags, kinds, rows)) return false;
    if (flags == 0) return rows == 0;
    if (rows == 0) return true;
    const size_t words = (size_t{rows} + 63) / 64;
    for (ColumnStore::Kind kind : kinds) {
      if (kind == ColumnStore::Kind::Any) {
        for (uint32_t r = 0; r < rows; ++r)
          if (!value(depth)) return false;
        continue;
      }
      const bool narrow = kind == ColumnStore::Kind::Int16 || kind == ColumnStore::Kind::Int32 ||
                          kind == ColumnStore::Kind::Bool;
      const size_t width = narrow ? 4 : 8;
      if (!in_.align8() || in_.remaining() / 8 < words || (in_.remaining() - words * 8) / width < rows) return false;
      skip(words * 8 + rows * width);
    }
    uint64_t textSize;
    return in_.u64(textSize) && textSize <= in_.remaining() && skip(static_cast<size_t>(textSize));
  }

  ByteReader in_;
  uint32_t version_;
};

}  // namespace

bool structureFits(std::string_view content, uint32_t version, const Expected* expected) {
  return Walk(content, version).dictionary(expected);
}

}  // namespace wayfind::platform::fileformat
