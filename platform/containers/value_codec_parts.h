// The pieces the codec of saved values (value_codec.cpp) and the codec of saved
// record sets (recordset_codec.cpp) share; the codecs' own, not a public header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/containers/byte_io.h"
#include "platform/containers/value_codec.h"
#include "platform/automation/variant.h"

namespace wayfind::platform {
class Recordset;
}

namespace wayfind::platform::fileformat::codec {

// Thrown while encoding when a value cannot be saved; each container on the way
// out puts its part of the location in front, so the final message names the
// entry ("DetailFunc", row 12, field "FClassParam").
struct Unsavable {
  std::string where;
  std::string why;
};

// Puts part in front of the location an Unsavable names.
void prefixLocation(Unsavable& u, const std::string& part);
// Refuses (Unsavable) containers nested deeper than kMaxNesting.
void checkDepth(int depth);
void encodeText(ByteWriter& out, std::string_view s);
// A count as u32; refuses (Unsavable) one that does not fit.
void encodeCount(ByteWriter& out, size_t n);
void encodeValue(ByteWriter& out, const Variant& v, int depth);
// A record set column by column (Tag::RecordsetColumns).
void encodeRecordset(ByteWriter& out, const Recordset& rs, int depth);

// Smallest encoded sizes, used to refuse a count that the bytes left cannot hold
// before anything is allocated for it.
constexpr size_t kMinEntryBytes = 4 + 1;             // empty key, one-byte value
constexpr size_t kMinFieldBytes = 4 + 4 + 4 + 4 + 2;  // empty name, type, size, attributes, precision, scale

bool decodeText(ByteReader& in, std::string_view& s);
bool decodeValue(ByteReader& in, const ContentMemory& mem, Variant& v, int depth);
bool decodeTagged(ByteReader& in, const ContentMemory& mem, uint8_t tag, Variant& v, int depth);
// A record set saved row by row (files of version 1), and column by column.
bool decodeRecordset(ByteReader& in, const ContentMemory& mem, Recordset& rs, int depth);
bool decodeRecordsetColumns(ByteReader& in, const ContentMemory& mem, Recordset& rs, int depth);

}  // namespace wayfind::platform::fileformat::codec
