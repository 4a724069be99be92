#include "platform/automation/variant.h"

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::platform {

namespace {
[[noreturn]] void mismatch() { raise(err::kTypeMismatch, "Variant"); }
}  // namespace

VarType Variant::type() const noexcept {
  switch (v_.index()) {
    case 0: return VarType::Empty;
    case 1: return VarType::Null;
    case 2: return VarType::Boolean;
    case 3: return VarType::Integer;
    case 4: return VarType::Long;
    case 5: return VarType::LongLong;
    case 6: return VarType::Double;
    case 7: return VarType::Date;
    case 8: return VarType::String;
    default: return VarType::Object;
  }
}

bool Variant::isNumeric() const noexcept {
  switch (type()) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong:
    case VarType::Double:
    case VarType::Date: return true;
    default: return false;
  }
}

bool Variant::asBool() const {
  if (auto p = std::get_if<bool>(&v_)) return *p;
  mismatch();
}
int16_t Variant::asInteger() const {
  if (auto p = std::get_if<int16_t>(&v_)) return *p;
  mismatch();
}
int32_t Variant::asLong() const {
  if (auto p = std::get_if<int32_t>(&v_)) return *p;
  mismatch();
}
int64_t Variant::asLongLong() const {
  if (auto p = std::get_if<int64_t>(&v_)) return *p;
  mismatch();
}
double Variant::asDouble() const {
  if (auto p = std::get_if<double>(&v_)) return *p;
  mismatch();
}
Date Variant::asDate() const {
  if (auto p = std::get_if<Date>(&v_)) return *p;
  mismatch();
}
const std::string& Variant::asString() const {
  if (auto p = std::get_if<std::string>(&v_)) return *p;
  mismatch();
}
const ObjectPtr& Variant::asObject() const {
  if (auto p = std::get_if<ObjectPtr>(&v_)) return *p;
  mismatch();
}

std::string Variant::debugString() const {
  switch (type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Object: return asObject() ? "Object" : "Nothing";
    case VarType::String: return "\"" + asString() + "\"";
    default: return std::string(typeName(type())) + "(" + CStr(*this) + ")";
  }
}

std::string_view typeName(VarType t) {
  switch (t) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Double: return "Double";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Object: return "Object";
    case VarType::Boolean: return "Boolean";
    case VarType::LongLong: return "LongLong";
  }
  return "Unknown";
}

}  // namespace wayfind::platform
