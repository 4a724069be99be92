#include "platform/containers/value_codec.h"

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"
#include "platform/automation/conversions.h"
#include "platform/containers/vector.h"
#include "platform/recordset/field_value.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform::fileformat {
namespace {

// ---------------------------------------------------------------- encoding

// Thrown while encoding when a value cannot be saved; each container on the way
// out puts its part of the location in front, so the final message names the
// entry ("DetailFunc", row 12, field "FClassParam").
struct Unsavable {
  std::string where;
  std::string why;
};

void prefixLocation(Unsavable& u, const std::string& part) {
  u.where = u.where.empty() ? part : part + " / " + u.where;
}

void checkDepth(int depth) {
  if (depth > kMaxNesting)
    throw Unsavable{{}, "containers are nested more than " + std::to_string(kMaxNesting) +
                            " levels deep (does a container hold itself?)"};
}

void encodeText(ByteWriter& out, std::string_view s) {
  if (s.size() > std::numeric_limits<uint32_t>::max())
    throw Unsavable{{}, "a text is longer than 4 GB"};
  out.u32(static_cast<uint32_t>(s.size()));
  out.bytes(s);
}

void encodeValue(ByteWriter& out, const Variant& v, int depth);

void encodeCount(ByteWriter& out, size_t n) {
  if (n > std::numeric_limits<uint32_t>::max()) throw Unsavable{{}, "too many entries"};
  out.u32(static_cast<uint32_t>(n));
}

void encodeVector(ByteWriter& out, const Vector& vec, int depth) {
  checkDepth(depth);
  const auto& items = vec.items();
  encodeCount(out, items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    try {
      encodeValue(out, items[i], depth);
    } catch (Unsavable& u) {
      prefixLocation(u, "item " + std::to_string(i + 1));
      throw;
    }
  }
}

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
  for (size_t r = 0; r < rows; ++r) {
    for (int f = 0; f < fields; ++f) {
      try {
        encodeCell(out, rs.storedCell(r, f), depth);
      } catch (Unsavable& u) {
        prefixLocation(u, "row " + std::to_string(r + 1) + ", field \"" + rs.fieldInfo(f).name + "\"");
        throw;
      }
    }
  }
}

void encodeEntries(ByteWriter& out, const Dictionary& dict, int depth) {
  checkDepth(depth);
  const auto keys = dict.Keys();
  encodeCount(out, keys.size());
  for (const auto& key : keys) {
    try {
      encodeText(out, key);
      encodeValue(out, dict.GetValue(key), depth);
    } catch (Unsavable& u) {
      prefixLocation(u, "\"" + key + "\"");
      throw;
    }
  }
}

void encodeObject(ByteWriter& out, const ObjectPtr& obj, int depth) {
  if (!obj) {
    out.u8(static_cast<uint8_t>(Tag::Nothing));
  } else if (auto d = dynamic_cast<const Dictionary*>(obj.get())) {
    out.u8(static_cast<uint8_t>(Tag::Dictionary));
    encodeEntries(out, *d, depth + 1);
  } else if (auto v = dynamic_cast<const Vector*>(obj.get())) {
    out.u8(static_cast<uint8_t>(Tag::Vector));
    encodeVector(out, *v, depth + 1);
  } else if (auto rs = dynamic_cast<const Recordset*>(obj.get())) {
    out.u8(static_cast<uint8_t>(Tag::Recordset));
    encodeRecordset(out, *rs, depth + 1);
  } else {
    throw Unsavable{{}, "an object that is not a record set, dictionary or vector cannot be saved"};
  }
}

void encodeValue(ByteWriter& out, const Variant& v, int depth) {
  switch (v.type()) {
    case VarType::Empty: out.u8(static_cast<uint8_t>(Tag::Empty)); return;
    case VarType::Null: out.u8(static_cast<uint8_t>(Tag::Null)); return;
    case VarType::Boolean:
      out.u8(static_cast<uint8_t>(Tag::Boolean));
      out.u8(v.asBool() ? 1 : 0);
      return;
    case VarType::Integer:
      out.u8(static_cast<uint8_t>(Tag::Integer));
      out.u16(static_cast<uint16_t>(v.asInteger()));
      return;
    case VarType::Long:
      out.u8(static_cast<uint8_t>(Tag::Long));
      out.u32(static_cast<uint32_t>(v.asLong()));
      return;
    case VarType::LongLong:
      out.u8(static_cast<uint8_t>(Tag::LongLong));
      out.u64(static_cast<uint64_t>(v.asLongLong()));
      return;
    case VarType::Double:
      out.u8(static_cast<uint8_t>(Tag::Double));
      out.f64(v.asDouble());
      return;
    case VarType::Date:
      out.u8(static_cast<uint8_t>(Tag::Date));
      out.f64(v.asDate().serial);
      return;
    case VarType::String:
      out.u8(static_cast<uint8_t>(Tag::String));
      encodeText(out, v.asString());
      return;
    case VarType::Object: encodeObject(out, v.asObject(), depth); return;
  }
  throw Unsavable{{}, "a value of an unknown type cannot be saved"};
}

// ---------------------------------------------------------------- decoding

// Smallest encoded sizes, used to refuse a count that the bytes left cannot hold
// before anything is allocated for it.
constexpr size_t kMinEntryBytes = 4 + 1;             // empty key, one-byte value
constexpr size_t kMinFieldBytes = 4 + 4 + 4 + 4 + 2;  // empty name, type, size, attributes, precision, scale

bool decodeText(ByteReader& in, std::string_view& s) {
  uint32_t n;
  return in.u32(n) && in.bytes(n, s);
}

bool decodeValue(ByteReader& in, Variant& v, int depth);
bool decodeTagged(ByteReader& in, uint8_t tag, Variant& v, int depth);
bool decodeRecordset(ByteReader& in, Recordset& rs, int depth);
bool decodeEntries(ByteReader& in, Dictionary& into, int depth);

bool decodeVector(ByteReader& in, Vector& into, int depth) {
  if (depth > kMaxNesting) return false;
  uint32_t n;
  if (!in.u32(n) || n > in.remaining()) return false;
  for (uint32_t i = 0; i < n; ++i) {
    Variant item;
    if (!decodeValue(in, item, depth)) return false;
    into.Append(item);
  }
  return true;
}

bool decodeTagged(ByteReader& in, uint8_t tag, Variant& v, int depth) {
  switch (static_cast<Tag>(tag)) {
    case Tag::Empty: v = Variant(); return true;
    case Tag::Null: v = Variant::null(); return true;
    case Tag::Boolean: {
      uint8_t b;
      if (!in.u8(b) || b > 1) return false;
      v = Variant(b == 1);
      return true;
    }
    case Tag::Integer: {
      uint16_t i;
      if (!in.u16(i)) return false;
      v = Variant(static_cast<int16_t>(i));
      return true;
    }
    case Tag::Long: {
      uint32_t l;
      if (!in.u32(l)) return false;
      v = Variant(static_cast<int32_t>(l));
      return true;
    }
    case Tag::LongLong: {
      uint64_t ll;
      if (!in.u64(ll)) return false;
      v = Variant(static_cast<int64_t>(ll));
      return true;
    }
    case Tag::Double: {
      double d;
      if (!in.f64(d)) return false;
      v = Variant(d);
      return true;
    }
    case Tag::Date: {
      double d;
      if (!in.f64(d)) return false;
      v = Variant(Date{d});
      return true;
    }
    case Tag::String: {
      std::string_view s;
      if (!decodeText(in, s)) return false;
      v = Variant(s);
      return true;
    }
    case Tag::Nothing: v = Variant(ObjectPtr()); return true;
    case Tag::Dictionary: {
      auto d = std::make_shared<Dictionary>();
      if (!decodeEntries(in, *d, depth + 1)) return false;
      v = Variant(std::move(d));
      return true;
    }
    case Tag::Vector: {
      auto vec = std::make_shared<Vector>();
      if (!decodeVector(in, *vec, depth + 1)) return false;
      v = Variant(std::move(vec));
      return true;
    }
    case Tag::Recordset: {
      auto rs = std::make_shared<Recordset>();
      if (!decodeRecordset(in, *rs, depth + 1)) return false;
      v = Variant(std::move(rs));
      return true;
    }
  }
  return false;  // an unknown tag
}

// One value of a loaded record set written straight into its column. A value
// whose tag is the field's own type (or Null) is stored as it lies in the file;
// any other value goes through the field's conversion, exactly as a value
// written into the field would, and is refused when the field refuses it.
bool decodeCell(ByteReader& in, ColumnStore& store, const FieldInfo& field, size_t row, size_t f,
                int depth) {
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
      if (kind != ColumnStore::Kind::Int64) break;
      {
        uint64_t ll;
        if (!in.u64(ll)) return false;
        store.putWide(row, f, ll);
        return true;
      }
    case Tag::Double:
      if (kind != ColumnStore::Kind::Double) break;
      {
        uint64_t bits;
        if (!in.u64(bits)) return false;
        store.putWide(row, f, bits);
        return true;
      }
    case Tag::Date:
      if (kind != ColumnStore::Kind::Date) break;
      {
        uint64_t bits;
        if (!in.u64(bits)) return false;
        store.putWide(row, f, bits);
        return true;
      }
    default: break;
  }
  Variant v;
  if (!decodeTagged(in, tag, v, depth)) return false;
  Variant converted = convertForField(field, v);  // raises when the field refuses it
  if (kind == ColumnStore::Kind::Any)
    store.putAny(row, f, std::move(converted));
  else
    store.set(row, f, converted);
  return true;
}

bool decodeRecordset(ByteReader& in, Recordset& rs, int depth) {
  if (depth > kMaxNesting) return false;
  uint8_t flags;
  uint32_t fields;
  if (!in.u8(flags) || flags > 1) return false;
  if (!in.u32(fields) || fields > in.remaining() / kMinFieldBytes) return false;
  try {
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
    uint32_t rows;
    if (!in.u32(rows)) return false;
    // Every value takes at least one byte; a set without fields may still have
    // rows, so the row count is bounded by the bytes left on its own too.
    if (rows > in.remaining() || uint64_t(rows) * fields > in.remaining()) return false;
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
        if (!decodeCell(in, store, info[f], r, f, depth)) return false;
    // A loaded set shows every row in stored order and starts on its first row.
    rs.endBulkLoad();
  } catch (const AutomationError&) {
    return false;  // e.g. a duplicate field name or a value the field refuses
  }
  return true;
}

bool decodeValue(ByteReader& in, Variant& v, int depth) {
  uint8_t tag;
  return in.u8(tag) && decodeTagged(in, tag, v, depth);
}

bool decodeEntries(ByteReader& in, Dictionary& into, int depth) {
  if (depth > kMaxNesting) return false;
  uint32_t n;
  if (!in.u32(n) || n > in.remaining() / kMinEntryBytes) return false;
  for (uint32_t i = 0; i < n; ++i) {
    std::string_view key;
    Variant value;
    if (!decodeText(in, key) || !decodeValue(in, value, depth)) return false;
    if (into.Lookup(key)) return false;  // the same key twice is not a saved dictionary
    into.SetValue(key, value);
  }
  return true;
}

}  // namespace

void encodeDictionaryBody(ByteWriter& out, const Dictionary& dict, int depth) {
  try {
    encodeEntries(out, dict, depth);
  } catch (const Unsavable& u) {
    std::string where = u.where.empty() ? std::string() : " (at " + u.where + ")";
    throw AutomationError(err::kFileError, "WayfindInfo.Dictionary",
                          "The dictionary cannot be saved: " + u.why + where + ".");
  }
}

bool decodeDictionaryBody(ByteReader& in, Dictionary& into, int depth) {
  return decodeEntries(in, into, depth);
}

}  // namespace wayfind::platform::fileformat
