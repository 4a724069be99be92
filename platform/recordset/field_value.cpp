// Field type conversion on write and numeric views of stored values.
#include "platform/recordset/field_value.h"

#include <string>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::platform {

namespace {

Variant checkedText(const FieldInfo& field, std::string text) {
  if (field.definedSize > 0) {
    size_t length = charLength(text);
    if (length > static_cast<size_t>(field.definedSize)) {
      raise(err::kDataTooLong, "Recordset",
            "Data value is too long for the field '" + field.name + "': " +
                std::to_string(length) + " characters, defined size " +
                std::to_string(field.definedSize) + ".");
    }
  }
  return Variant(std::move(text));
}

}  // namespace

Variant convertForField(const FieldInfo& field, const Variant& value) {
  if (value.isNull() || value.isEmpty()) return Variant::null();
  switch (field.type) {
    case DataType::SmallInt: return Variant(CInt(value));
    case DataType::Integer: return Variant(CLng(value));
    case DataType::BigInt: return Variant(CLngLng(value));
    case DataType::Double:
    case DataType::Currency: return Variant(CDbl(value));
    case DataType::Date: return Variant(CDate(value));
    case DataType::Boolean: return Variant(CBool(value));
    case DataType::VarWChar:
    case DataType::LongVarWChar: return checkedText(field, CStr(value));
    case DataType::Variant: return value;
  }
  return value;
}

std::optional<double> numericOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Integer: return v.asInteger();
    case VarType::Long: return v.asLong();
    case VarType::LongLong: return static_cast<double>(v.asLongLong());
    case VarType::Double: return v.asDouble();
    case VarType::Date: return v.asDate().serial;
    case VarType::Boolean: return v.asBool() ? -1.0 : 0.0;
    default: return std::nullopt;
  }
}

std::optional<double> numericOf(const Cell& c) {
  switch (c.type) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong: return static_cast<double>(c.integer);
    case VarType::Double:
    case VarType::Date: return c.number;
    case VarType::Boolean: return c.integer != 0 ? -1.0 : 0.0;
    default: return std::nullopt;
  }
}

std::optional<int64_t> integerOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Integer: return v.asInteger();
    case VarType::Long: return v.asLong();
    case VarType::LongLong: return v.asLongLong();
    default: return std::nullopt;
  }
}

}  // namespace wayfind::platform
