#include "platform/containers/value_codec.h"

#include "platform/containers/value_codec_parts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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
namespace codec {

// ---------------------------------------------------------------- encoding

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
    out.spill();
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
    out.u8(static_cast<uint8_t>(Tag::RecordsetColumns));
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

bool decodeText(ByteReader& in, std::string_view& s) {
  uint32_t n;
  return in.u32(n) && in.bytes(n, s);
}

bool decodeEntries(ByteReader& in, const ContentMemory& mem, Dictionary& into, int depth);

bool decodeVector(ByteReader& in, const ContentMemory& mem, Vector& into, int depth) {
  if (depth > kMaxNesting) return false;
  uint32_t n;
  if (!in.u32(n) || n > in.remaining()) return false;
  for (uint32_t i = 0; i < n; ++i) {
    Variant item;
    if (!decodeValue(in, mem, item, depth)) return false;
    into.Append(item);
  }
  return true;
}

bool decodeTagged(ByteReader& in, const ContentMemory& mem, uint8_t tag, Variant& v, int depth) {
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
      if (!decodeEntries(in, mem, *d, depth + 1)) return false;
      v = Variant(std::move(d));
      return true;
    }
    case Tag::Vector: {
      auto vec = std::make_shared<Vector>();
      if (!decodeVector(in, mem, *vec, depth + 1)) return false;
      v = Variant(std::move(vec));
      return true;
    }
    case Tag::Recordset: {
      auto rs = std::make_shared<Recordset>();
      if (!decodeRecordset(in, mem, *rs, depth + 1)) return false;
      v = Variant(std::move(rs));
      return true;
    }
    case Tag::RecordsetColumns: {
      auto rs = std::make_shared<Recordset>();
      if (!decodeRecordsetColumns(in, mem, *rs, depth + 1)) return false;
      v = Variant(std::move(rs));
      return true;
    }
  }
  return false;  // an unknown tag
}

bool decodeValue(ByteReader& in, const ContentMemory& mem, Variant& v, int depth) {
  uint8_t tag;
  return in.u8(tag) && decodeTagged(in, mem, tag, v, depth);
}

bool decodeEntries(ByteReader& in, const ContentMemory& mem, Dictionary& into, int depth) {
  if (depth > kMaxNesting) return false;
  uint32_t n;
  if (!in.u32(n) || n > in.remaining() / kMinEntryBytes) return false;
  for (uint32_t i = 0; i < n; ++i) {
    std::string_view key;
    Variant value;
    if (!decodeText(in, key) || !decodeValue(in, mem, value, depth)) return false;
    if (into.Lookup(key)) return false;  // the same key twice is not a saved dictionary
    into.SetValue(key, value);
  }
  return true;
}

}  // namespace codec

using namespace codec;

void encodeDictionaryBody(ByteWriter& out, const Dictionary& dict, int depth) {
  try {
    encodeEntries(out, dict, depth);
  } catch (const Unsavable& u) {
    std::string where = u.where.empty() ? std::string() : " (at " + u.where + ")";
    throw AutomationError(err::kFileError, "WayfindInfo.Dictionary",
                          "The dictionary cannot be saved: " + u.why + where + ".");
  }
}

bool decodeDictionaryBody(ByteReader& in, const ContentMemory& memory, Dictionary& into, int depth) {
  return decodeEntries(in, memory, into, depth);
}

}  // namespace wayfind::platform::fileformat
