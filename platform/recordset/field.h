// Field metadata of a record set, in the shape of an ADO field: name, type code,
// defined size, attributes, precision and numeric scale.
#pragma once

#include <cstdint>
#include <string>

namespace wayfind::platform {

// ADO DataTypeEnum codes used by the system.
enum class DataType : int32_t {
  SmallInt = 2,      // adSmallInt: 16-bit integer
  Integer = 3,       // adInteger: 32-bit integer
  Double = 5,        // adDouble
  Currency = 6,      // adCurrency (kept as a double here)
  Date = 7,          // adDate
  Boolean = 11,      // adBoolean
  Variant = 12,      // adVariant: any value, stored unconverted
  BigInt = 20,       // adBigInt: 64-bit integer
  VarWChar = 202,    // adVarWChar: text with a defined size
  LongVarWChar = 203 // adLongVarWChar: long text
};

// ADO FieldAttributeEnum bits the system uses.
namespace fieldattr {
inline constexpr int32_t kUpdatable = 0x4;     // adFldUpdatable
inline constexpr int32_t kMayBeNull = 0x40;    // adFldMayBeNull
inline constexpr int32_t kIsNullable = 0x20;   // adFldIsNullable
inline constexpr int32_t kFixed = 0x10;        // adFldFixed
inline constexpr int32_t kLong = 0x80;         // adFldLong
}  // namespace fieldattr

bool isKnownDataType(int32_t code);
bool isTextType(DataType t);
bool isIntegerType(DataType t);

struct FieldInfo {
  std::string name;
  DataType type = DataType::Variant;
  int32_t definedSize = 0;  // characters for text fields; 0 = no limit
  int32_t attributes = 0;
  uint8_t precision = 0;
  uint8_t numericScale = 0;

  friend bool operator==(const FieldInfo&, const FieldInfo&) = default;
};

}  // namespace wayfind::platform
