// Variant: the automation value that crosses every interface of the system. It holds
// one of Empty, Null, Boolean, Integer (16-bit), Long (32-bit), LongLong (64-bit, for
// big-integer fields), Double, Date, String (UTF-8) or Object. Conversions that follow
// the host's rules (CLng, CStr, ...) live in conversions.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "platform/automation/object.h"

namespace wayfind::platform {

enum class VarType : uint8_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  Date = 7,
  String = 8,
  Object = 9,
  Boolean = 11,
  LongLong = 20,
};

// An automation date: days since 1899-12-30, the fraction being the time of day.
struct Date {
  double serial = 0.0;
  friend bool operator==(const Date&, const Date&) = default;
};

struct NullValue {
  friend bool operator==(const NullValue&, const NullValue&) = default;
};

class Variant {
 public:
  Variant() = default;
  Variant(bool b) : v_(b) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t l) : v_(l) {}
  Variant(int64_t ll) : v_(ll) {}
  Variant(double d) : v_(d) {}
  Variant(Date d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(NullValue n) : v_(n) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  Variant(std::shared_ptr<T> o) : v_(std::static_pointer_cast<Object>(std::move(o))) {}

  static Variant null() { return Variant(NullValue{}); }

  VarType type() const noexcept;
  bool isEmpty() const noexcept { return v_.index() == 0; }
  bool isNull() const noexcept { return std::holds_alternative<NullValue>(v_); }
  bool isObject() const noexcept { return std::holds_alternative<ObjectPtr>(v_); }
  bool isString() const noexcept { return std::holds_alternative<std::string>(v_); }
  bool isNumeric() const noexcept;  // Boolean, Integer, Long, LongLong, Double, Date

  // Direct access; throws 13 "Type mismatch" when the variant holds another type.
  bool asBool() const;
  int16_t asInteger() const;
  int32_t asLong() const;
  int64_t asLongLong() const;
  double asDouble() const;
  Date asDate() const;
  const std::string& asString() const;
  const ObjectPtr& asObject() const;

  // The object cast to T, or nullptr when empty, not an object or of another class.
  template <class T>
  std::shared_ptr<T> objectAs() const {
    if (auto p = std::get_if<ObjectPtr>(&v_)) return std::dynamic_pointer_cast<T>(*p);
    return nullptr;
  }

  // Same type and same value (objects: same object). Used by tests and containers.
  friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

  // A short readable form for messages and test output.
  std::string debugString() const;

 private:
  std::variant<std::monostate, NullValue, bool, int16_t, int32_t, int64_t, double, Date,
               std::string, ObjectPtr>
      v_;
};

std::string_view typeName(VarType t);

}  // namespace wayfind::platform
