// Record sets in the saved-value format: column by column as they lie in memory,
// and row by row as the first files had them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec_parts.h"
#include "platform/recordset/field_value.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform::fileformat::codec {

namespace {

// A stored cell, written as its Variant would be, without copying its text.
void encodeCell(ByteWriter& out, const Cell& c, int depth) {
  if (c.variant) {
    encodeValue(out, *c.variant, depth);
    return;
  }
  if (c.type == VarType::String) {
    out.u8(static_cast<uint8_t>(Tag::String));
    encodeText(out, c.text);
    return;
  }
  encodeValue(out, variantOf(c), depth);
}

bool isNarrow(ColumnStore::Kind k) {
  return k == ColumnStore::Kind::Int16 || k == ColumnStore::Kind::Int32 || k == ColumnStore::Kind::Bool;
}

size_t nullWords(size_t rows) { return (rows + 63) / 64; }

// A Variant field's cells, one tagged value a row.
void encodeVariantColumn(ByteWriter& out, const Recordset& rs, int f, int depth) {
  for (size_t r = 0; r < rs.storedRowCount(); ++r) {
    try {
      encodeCell(out, rs.storedCell(r, f), depth);
    } catch (Unsavable& u) {
      prefixLocation(u, "row " + std::to_string(r + 1) + ", field \"" + rs.fieldInfo(f).name + "\"");
      throw;
    }
  }
}

// A typed field's Null bits and values gathered cell by cell, its texts
// appended to texts (the set's text area being written anew).
void encodeGatheredColumn(ByteWriter& out, const Recordset& rs, int f, std::vector<uint64_t>& nulls,
                          std::string& texts) {
  const ColumnStore::Kind kind = ColumnStore::kindFor(rs.fieldInfo(f).type);
  const size_t rows = rs.storedRowCount();
  std::fill(nulls.begin(), nulls.end(), 0);
  for (size_t r = 0; r < rows; ++r)
    if (rs.storedCell(r, f).isNull()) nulls[r / 64] |= uint64_t{1} << (r % 64);
  out.align8();
  for (uint64_t w : nulls) out.u64(w);
  for (size_t r = 0; r < rows; ++r) {
    const Cell c = rs.storedCell(r, f);
    const bool null = c.isNull();
    switch (kind) {
      case ColumnStore::Kind::Int16:
      case ColumnStore::Kind::Int32:
      case ColumnStore::Kind::Bool: out.u32(null ? 0 : static_cast<uint32_t>(c.integer)); break;
      case ColumnStore::Kind::Int64: out.u64(null ? 0 : static_cast<uint64_t>(c.integer)); break;
      case ColumnStore::Kind::Double:
      case ColumnStore::Kind::Date: out.f64(null ? 0.0 : c.number); break;
      case ColumnStore::Kind::Text:
        if (null) {
          out.u64(0);
        } else {
          if (texts.size() + c.text.size() > std::numeric_limits<uint32_t>::max())
            throw Unsavable{{}, "the texts of one record set are longer than 4 GB"};
          out.u64(uint64_t{texts.size()} << 32 | c.text.size());
          texts.append(c.text);
        }
        break;
      case ColumnStore::Kind::Any: break;
    }
  }
}

// A record set column by column, each column as it lies in memory (see
// decodeRecordsetColumns), so that loading takes the columns where they lie.
// The cells of every field: a typed column's Null bits and values copied whole
// (a value under a Null bit written as 0, text cells pointing into the table's
// own text area), a Variant column cell by cell.
void encodeColumnsAsTheyLie(ByteWriter& out, const Recordset& rs, const ColumnStore& store, int depth) {
  const size_t rows = rs.storedRowCount();
  const size_t words = nullWords(rows);
  const int fields = rs.fieldCount();
  for (int f = 0; f < fields; ++f) {
    const ColumnStore::Kind kind = ColumnStore::kindFor(rs.fieldInfo(f).type);
    if (kind == ColumnStore::Kind::Any) {
      encodeVariantColumn(out, rs, f, depth);
      continue;
    }
    const auto field = static_cast<size_t>(f);
    const uint64_t* nulls = store.columnNulls(field);
    out.align8();
    for (size_t w = 0; w < words; ++w) {
      const size_t used = std::min<size_t>(64, rows - w * 64);
      out.u64(used == 64 ? nulls[w] : nulls[w] & ((uint64_t{1} << used) - 1));
    }
    const size_t width = isNarrow(kind) ? 4 : 8;
    std::string& bytes = out.buffer();
    const size_t at = bytes.size();
    bytes.append(static_cast<const char*>(store.columnValues(field)), rows * width);
    for (size_t w = 0; w < words; ++w) {
      for (uint64_t bits = nulls[w]; bits != 0; bits &= bits - 1) {
        const size_t r = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
        if (r < rows) std::memset(bytes.data() + at + r * width, 0, width);
      }
    }
    out.spill();
  }
}

}  // namespace


void encodeRecordset(ByteWriter& out, const Recordset& rs, int depth) {
  checkDepth(depth);
  out.u8(rs.isOpen() ? 1 : 0);
  const int fields = rs.fieldCount();
  encodeCount(out, static_cast<size_t>(fields));
  for (int f = 0; f < fields; ++f) {
    const FieldInfo& info = rs.fieldInfo(f);
    encodeText(out, info.name);
    out.u32(static_cast<uint32_t>(info.type));
    out.u32(static_cast<uint32_t>(info.definedSize));
    out.u32(static_cast<uint32_t>(info.attributes));
    out.u8(info.precision);
    out.u8(info.numericScale);
  }
  const size_t rows = rs.storedRowCount();
  encodeCount(out, rows);
  if (rows == 0) return;
  // The typed columns lie in memory as the file has them: they are written as
  // they lie, with the table's text area, unless overwritten texts fill much of
  // that area (then the texts are gathered anew below).
  const ColumnStore& store = rs.storedColumns();
  const std::string_view area = store.textArea();
  if (store.textGarbage() <= area.size() / 4) {
    encodeColumnsAsTheyLie(out, rs, store, depth);
    out.u64(area.size());
    out.bytes(area);
    return;
  }
  // The texts of every text column, one after the other, in column and row order.
  std::string texts;
  std::vector<uint64_t> nulls(nullWords(rows));
  for (int f = 0; f < fields; ++f) {
    const ColumnStore::Kind kind = ColumnStore::kindFor(rs.fieldInfo(f).type);
    if (kind == ColumnStore::Kind::Any) {
      encodeVariantColumn(out, rs, f, depth);
      continue;
    }
    try {
      encodeGatheredColumn(out, rs, f, nulls, texts);
    } catch (Unsavable& u) {
      prefixLocation(u, "field \"" + rs.fieldInfo(f).name + "\"");
      throw;
    }
  }
  out.u64(texts.size());
  out.bytes(texts);
}

namespace {

// One value of a loaded record set written straight into its column. A value
// whose tag is the field's own type (or Null) is stored as it lies in the file;
// any other value goes through the field's conversion, exactly as a value
// written into the field would, and is refused when the field refuses it.
bool decodeCell(ByteReader& in, const ContentMemory& mem, ColumnStore& store, const FieldInfo& field,
                size_t row, size_t f, int depth) {
  uint8_t tag;
  if (!in.u8(tag)) return false;
  const ColumnStore::Kind kind = store.kind(f);
  switch (static_cast<Tag>(tag)) {
    case Tag::Null:
    case Tag::Empty:
      if (kind == ColumnStore::Kind::Any) break;  // Variant fields keep their Variants
      store.putNull(row, f);
      return true;
    case Tag::Long:
      if (kind != ColumnStore::Kind::Int32) break;
      {
        uint32_t l;
        if (!in.u32(l)) return false;
        store.putNarrow(row, f, l);
        return true;
      }
    case Tag::Integer:
      if (kind != ColumnStore::Kind::Int16) break;
      {
        uint16_t i;
        if (!in.u16(i)) return false;
        store.putNarrow(row, f, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(i))));
        return true;
      }
    case Tag::String:
      if (kind != ColumnStore::Kind::Text) break;
      {
        std::string_view s;
        if (!decodeText(in, s)) return false;
        // A text no longer in bytes than the defined size cannot be longer in
        // characters; only longer ones need counting.
        if (field.definedSize > 0 && s.size() > static_cast<size_t>(field.definedSize) &&
            charLength(s) > static_cast<size_t>(field.definedSize))
          return false;
        store.putText(row, f, s);
        return true;
      }
    case Tag::Boolean:
      if (kind != ColumnStore::Kind::Bool) break;
      {
        uint8_t b;
        if (!in.u8(b) || b > 1) return false;
        store.putNarrow(row, f, b);
        return true;
      }
    case Tag::LongLong:
    case Tag::Double:
    case Tag::Date: {
      // Eight bytes stored as they lie, when the column holds this tag's type.
      const ColumnStore::Kind own = tag == static_cast<uint8_t>(Tag::LongLong) ? ColumnStore::Kind::Int64
                                    : tag == static_cast<uint8_t>(Tag::Double) ? ColumnStore::Kind::Double
                                                                               : ColumnStore::Kind::Date;
      if (kind != own) break;
      uint64_t bits;
      if (!in.u64(bits)) return false;
      store.putWide(row, f, bits);
      return true;
    }
    default: break;
  }
  Variant v;
  if (!decodeTagged(in, mem, tag, v, depth)) return false;
  Variant converted = convertForField(field, v);  // raises when the field refuses it
  if (kind == ColumnStore::Kind::Any)
    store.putAny(row, f, std::move(converted));
  else
    store.set(row, f, converted);
  return true;
}

// The flags, fields and row count that both forms of a record set begin with;
// the fields are appended to rs. The row count is bounded by the bytes left
// (a set without fields may still have rows). Raises AutomationError for a
// duplicate field name.
bool decodeStructure(ByteReader& in, Recordset& rs, uint8_t& flags, uint32_t& fields, uint32_t& rows) {
  if (!in.u8(flags) || flags > 1) return false;
  if (!in.u32(fields) || fields > in.remaining() / kMinFieldBytes) return false;
  for (uint32_t f = 0; f < fields; ++f) {
    std::string_view name;
    uint32_t type, definedSize, attributes;
    uint8_t precision, scale;
    if (!decodeText(in, name) || !in.u32(type) || !in.u32(definedSize) || !in.u32(attributes) ||
        !in.u8(precision) || !in.u8(scale))
      return false;
    if (!isKnownDataType(static_cast<int32_t>(type))) return false;
    rs.appendField(name, static_cast<DataType>(type), static_cast<int32_t>(definedSize),
                   static_cast<int32_t>(attributes));
    rs.setPrecision(static_cast<int>(f), precision, scale);
  }
  return in.u32(rows) && rows <= in.remaining();
}

// Whether a loaded Boolean column holds only 0 and 1, and a SmallInt column
// only values sign-extended from 16 bits (the top 17 bits all equal).
bool narrowValuesFit(ColumnStore::Kind kind, const uint32_t* values, uint32_t rows) {
  uint32_t bad = 0;
  if (kind == ColumnStore::Kind::Bool)
    for (uint32_t r = 0; r < rows; ++r) bad |= values[r] >> 1;
  else if (kind == ColumnStore::Kind::Int16)
    for (uint32_t r = 0; r < rows; ++r) bad |= (values[r] + 0x8000u) >> 16;
  return bad == 0;
}

// Whether every text of the loaded text columns lies inside the text area and
// is no longer than its field allows.
bool textsFit(const Recordset& rs, const std::vector<ColumnStore::LoadedColumn>& columns, uint32_t rows,
              std::string_view texts) {
  for (size_t f = 0; f < columns.size(); ++f) {
    const FieldInfo& field = rs.fieldInfo(static_cast<int>(f));
    if (ColumnStore::kindFor(field.type) != ColumnStore::Kind::Text) continue;
    const auto* refs = static_cast<const uint64_t*>(columns[f].values);
    const uint64_t* nulls = columns[f].nulls;
    // A text no longer in bytes than the defined size cannot be longer in
    // characters; only longer ones need counting.
    const uint64_t limit = field.definedSize > 0 ? static_cast<uint64_t>(field.definedSize) : UINT64_MAX;
    for (uint32_t r = 0; r < rows; ++r) {
      if ((nulls[r >> 6] >> (r & 63)) & 1) continue;
      const uint64_t offset = refs[r] >> 32, length = refs[r] & 0xFFFFFFFFu;
      if (offset + length > texts.size()) return false;
      if (length > limit && charLength(texts.substr(offset, length)) > limit) return false;
    }
  }
  return true;
}

// Each field's defined size, 0 for none.
std::vector<size_t> definedSizes(const Recordset& rs) {
  std::vector<size_t> sizes(static_cast<size_t>(rs.fieldCount()), 0);
  for (int f = 0; f < rs.fieldCount(); ++f) {
    const int32_t size = rs.fieldInfo(f).definedSize;
    sizes[static_cast<size_t>(f)] = size > 0 ? static_cast<size_t>(size) : 0;
  }
  return sizes;
}

}  // namespace


// A record set saved column by column. After the structure, for each field in
// order: a Variant field's values tagged, row by row; any other field, from the
// next multiple of eight bytes, its Null bits (one u64 per 64 rows) and its
// values (u32 for SmallInt, Integer and Boolean, the SmallInt sign-extended;
// u64 for the others, a text's being its place in the set's text area shifted
// left by 32 bits, or'ed with its length). Then the text area: u64 length and
// the bytes. The typed columns and the texts stay where they lie in the loaded
// file's memory; they are only checked: a Boolean must be 0 or 1, a SmallInt
// within its range, a text inside the area and no longer than its field allows.
bool decodeRecordsetColumns(ByteReader& in, const ContentMemory& mem, Recordset& rs, int depth) {
  if (depth > kMaxNesting || !mem.start || mem.version < 2) return false;
  uint8_t flags;
  uint32_t fields, rows;
  try {
    if (!decodeStructure(in, rs, flags, fields, rows)) return false;
    if (flags == 0) return rows == 0;  // a closed set holds no rows
    rs.open();
    if (rows == 0) return true;
    const size_t words = nullWords(rows);
    std::vector<ColumnStore::LoadedColumn> columns(fields);
    std::vector<std::pair<uint32_t, std::vector<Variant>>> variants;  // Variant fields' values
    for (uint32_t f = 0; f < fields; ++f) {
      const FieldInfo& field = rs.fieldInfo(static_cast<int>(f));
      const ColumnStore::Kind kind = ColumnStore::kindFor(field.type);
      if (kind == ColumnStore::Kind::Any) {
        std::vector<Variant> values(rows);
        for (Variant& v : values) {
          Variant read;
          if (!decodeValue(in, mem, read, depth)) return false;
          v = convertForField(field, read);  // raises when the field refuses it
        }
        variants.emplace_back(f, std::move(values));
        continue;
      }
      const size_t width = isNarrow(kind) ? sizeof(uint32_t) : sizeof(uint64_t);
      if (!in.align8() || in.remaining() / 8 < words || (in.remaining() - words * 8) / width < rows) return false;
      char* at = mem.start + in.offset();
      columns[f].nulls = reinterpret_cast<uint64_t*>(at);
      columns[f].values = at + words * 8;
      std::string_view skipped;
      in.bytes(words * 8 + rows * width, skipped);
      if (mem.lateCheck) {
        mem.lateRanges->emplace_back(at - mem.start, in.offset());
        continue;
      }
      if (!narrowValuesFit(kind, static_cast<const uint32_t*>(columns[f].values), rows)) return false;
    }
    uint64_t textSize;
    if (!in.u64(textSize) || textSize > in.remaining()) return false;
    char* text = mem.start + in.offset();
    std::string_view texts;
    in.bytes(static_cast<size_t>(textSize), texts);
    if (mem.lateCheck) mem.lateRanges->emplace_back(text - mem.start, in.offset());
    if (!mem.lateCheck && !textsFit(rs, columns, rows, texts)) return false;
    ColumnStore& store = rs.beginBulkLoad(0, 0);
    store.adoptLoaded(rows, columns, text, static_cast<size_t>(textSize), mem.keeper);
    if (mem.lateCheck) store.checkWhenRead(mem.lateCheck, definedSizes(rs));
    for (auto& [f, values] : variants)
      for (uint32_t r = 0; r < rows; ++r) store.putAny(r, f, std::move(values[r]));
    // A loaded set shows every row in stored order and starts on its first row.
    rs.endBulkLoad();
  } catch (const AutomationError&) {
    return false;  // e.g. a duplicate field name or a value the field refuses
  }
  return true;
}

// A record set saved row by row, every value tagged (files of version 1).
bool decodeRecordset(ByteReader& in, const ContentMemory& mem, Recordset& rs, int depth) {
  if (depth > kMaxNesting) return false;
  uint8_t flags;
  uint32_t fields, rows;
  try {
    if (!decodeStructure(in, rs, flags, fields, rows)) return false;
    // Every value takes at least one byte.
    if (uint64_t(rows) * fields > in.remaining()) return false;
    if (flags == 0) return rows == 0;  // a closed set holds no rows
    rs.open();
    if (rows == 0) return true;
    std::vector<FieldInfo> info;
    info.reserve(fields);
    bool hasText = false;
    for (uint32_t f = 0; f < fields; ++f) {
      info.push_back(rs.fieldInfo(static_cast<int>(f)));
      hasText = hasText || isTextType(info.back().type);
    }
    // The texts of the set cannot take more than the bytes left; what is not
    // used is given back when the set is complete.
    ColumnStore& store = rs.beginBulkLoad(rows, hasText ? in.remaining() : 0);
    for (uint32_t r = 0; r < rows; ++r)
      for (uint32_t f = 0; f < fields; ++f)
        if (!decodeCell(in, mem, store, info[f], r, f, depth)) return false;
    // A loaded set shows every row in stored order and starts on its first row.
    rs.endBulkLoad();
  } catch (const AutomationError&) {
    return false;  // e.g. a duplicate field name or a value the field refuses
  }
  return true;
}

}  // namespace wayfind::platform::fileformat::codec
