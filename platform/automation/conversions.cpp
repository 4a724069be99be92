#include "platform/automation/conversions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/automation/automation_error.h"

namespace wayfind::platform {

namespace {

constexpr const char* kSource = "Conversion";

[[noreturn]] void overflow() { raise(err::kOverflow, kSource); }
[[noreturn]] void mismatch() { raise(err::kTypeMismatch, kSource); }
[[noreturn]] void nullUse() { raise(err::kInvalidUseOfNull, kSource); }

// Days from 1970-01-01 for a civil date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

// 1899-12-30 is day 0 of an automation date.
constexpr int64_t kEpochOffset = -25569;  // daysFromCivil(1899, 12, 30)

std::optional<Date> parseDateText(std::string_view s) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  std::string text(trimSpaces(s));
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se);
  if (n < 3) {
    n = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se);
    if (n < 3) return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
    return std::nullopt;
  // A day the month does not have (2023-02-29, 2024-04-31) is no date, not the
  // first days of the next month.
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kMonthDays[mo - 1] + (mo == 2 && leap ? 1 : 0)) return std::nullopt;
  const int64_t days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kEpochOffset;
  return Date{static_cast<double>(days) + (h * 3600 + mi * 60 + se) / 86400.0};
}

// A serial as a date whose days can be counted: one beyond 2^53 days, where a
// serial holds no time of day, or none at all (NaN, infinity), whether read
// from a file or made from a number, overflows.
Date countableDate(double serial) {
  if (!(std::fabs(serial) < 9007199254740992.0)) overflow();
  return Date{serial};
}

std::string formatDate(Date dt) {
  countableDate(dt.serial);
  double whole = std::floor(dt.serial);
  int64_t secs = std::llround((dt.serial - whole) * 86400.0);
  int64_t days = static_cast<int64_t>(whole);
  if (secs >= 86400) { secs -= 86400; ++days; }
  int64_t y; unsigned m, d;
  civilFromDays(days + kEpochOffset, y, m, d);
  char buf[64];
  if (secs == 0) {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  } else {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                  static_cast<long long>(secs % 60));
  }
  return buf;
}

// The numeric value of a variant for integer and double conversions.
double numericValue(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: nullUse();
    case VarType::Boolean: return v.asBool() ? -1 : 0;
    case VarType::Integer: return v.asInteger();
    case VarType::Long: return v.asLong();
    case VarType::LongLong: return static_cast<double>(v.asLongLong());
    case VarType::Double: return v.asDouble();
    case VarType::Date: return v.asDate().serial;
    case VarType::String: {
      auto n = parseNumber(v.asString());
      if (!n) {
        // The host accepts the Boolean words where a number is asked for.
        if (iequals(trimSpaces(v.asString()), "True")) return -1;
        if (iequals(trimSpaces(v.asString()), "False")) return 0;
        mismatch();
      }
      return *n;
    }
    case VarType::Object: mismatch();
  }
  mismatch();
}

template <class T>
T toInteger(const Variant& v) {
  if (v.type() == VarType::LongLong) {
    int64_t x = v.asLongLong();
    if (x < std::numeric_limits<T>::min() || x > std::numeric_limits<T>::max()) overflow();
    return static_cast<T>(x);
  }
  if (v.type() == VarType::String) {
    // A text of digits alone is read exactly: through a double, digits beyond
    // the 53rd bit would be lost without a word.
    const std::string text = trimSpaces(v.asString());
    const size_t digitsFrom = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (text.size() > digitsFrom &&
        std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digitsFrom), text.end(),
                    [](char c) { return c >= '0' && c <= '9'; })) {
      int64_t x = 0;
      const char* from = text.data() + (text[0] == '+' ? 1 : 0);
      auto [end, ec] = std::from_chars(from, text.data() + text.size(), x);
      if (ec == std::errc::result_out_of_range) overflow();
      if (ec == std::errc() && end == text.data() + text.size()) {
        if (x < std::numeric_limits<T>::min() || x > std::numeric_limits<T>::max()) overflow();
        return static_cast<T>(x);
      }
    }
  }
  double d = numericValue(v);
  if (std::isnan(d)) overflow();
  d = roundHalfEven(d);
  // The range is [min, -min): the largest value of a 64-bit type is no double,
  // and turns into 2^63 as one, which no 64-bit integer holds.
  const double lowest = static_cast<double>(std::numeric_limits<T>::min());
  if (!(d >= lowest && d < -lowest)) overflow();
  return static_cast<T>(d);
}

}  // namespace

double roundHalfEven(double d) {
  double r = std::nearbyint(d);  // the default rounding mode is to nearest, ties to even
  return r;
}

std::optional<double> parseNumber(std::string_view text) {
  std::string s = trimSpaces(text);
  if (s.empty()) return std::nullopt;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
    uint32_t x = 0;
    auto [p, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), x, 16);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    // &H literals are 32-bit: &HFFFFFFFF is -1.
    return static_cast<double>(static_cast<int32_t>(x));
  }
  size_t start = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    start = 1;
  }
  std::string_view body(s.data() + start, s.size() - start);
  // Digits, or a point and digits: "nan", "inf" and "infinity" are words, not
  // numbers (a help code "NAN" is no number equal to every other).
  if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body[0])) || body[0] == '.')) return std::nullopt;
  double value = 0;
  auto [p, ec] = std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range && p == body.data() + body.size()) {
    // Too big, or too small to be told from zero (1e-400).
    const size_t e = body.find_first_of("eE");
    const std::string_view mantissa = body.substr(0, e);
    const bool tiny = mantissa.find_first_not_of("0.") == std::string_view::npos ||
                      (e != std::string_view::npos && e + 1 < body.size() && body[e + 1] == '-');
    if (tiny) return negative ? -0.0 : 0.0;
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  if (ec != std::errc() || p != body.data() + body.size()) return std::nullopt;
  return negative ? -value : value;
}

int16_t CInt(const Variant& v) { return toInteger<int16_t>(v); }
int32_t CLng(const Variant& v) { return toInteger<int32_t>(v); }
int64_t CLngLng(const Variant& v) { return toInteger<int64_t>(v); }

double CDbl(const Variant& v) {
  if (v.type() == VarType::String) {
    auto n = parseNumber(v.asString());
    if (!n) mismatch();
    if (std::isinf(*n)) overflow();
    return *n;
  }
  return numericValue(v);
}

bool CBool(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean: return v.asBool();
    case VarType::String: {
      std::string s = trimSpaces(v.asString());
      if (iequals(s, "True")) return true;
      if (iequals(s, "False")) return false;
      auto n = parseNumber(s);
      if (!n) mismatch();
      return *n != 0;
    }
    default: return numericValue(v) != 0;
  }
}

std::optional<int32_t> wholeInt32(std::string_view text) {
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string exactNumberText(double d) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

std::string formatNumber(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  if (d == 0) return "0";
  if (std::fabs(d) < 1e15 && d == std::trunc(d)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return buf;
  }
  // As printf's "%.15G" in the C locale, whatever locale the process has: a
  // window's process takes the desktop's, where the decimal point may be a comma.
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15).ptr;
  std::string s(buf, written);
  if (auto e = s.find('e'); e != std::string::npos) s[e] = 'E';
  // Drop trailing zeros of the mantissa: 0.500000000000000 -> 0.5, 1.50000E+20 -> 1.5E+20.
  auto e = s.find('E');
  std::string mant = s.substr(0, e), exp = e == std::string::npos ? "" : s.substr(e);
  if (mant.find('.') != std::string::npos) {
    while (!mant.empty() && mant.back() == '0') mant.pop_back();
    if (!mant.empty() && mant.back() == '.') mant.pop_back();
  }
  if (!exp.empty()) {
    // E+020 -> E+20
    char sign = exp[1];
    std::string digits = exp.substr(2);
    while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
    exp = std::string("E") + sign + digits;
  }
  return mant + exp;
}

std::string CStr(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::Null: nullUse();
    case VarType::Boolean: return v.asBool() ? "True" : "False";
    case VarType::Integer: return std::to_string(v.asInteger());
    case VarType::Long: return std::to_string(v.asLong());
    case VarType::LongLong: return std::to_string(v.asLongLong());
    case VarType::Double: return formatNumber(v.asDouble());
    case VarType::Date: return formatDate(v.asDate());
    case VarType::String: return v.asString();
    case VarType::Object: mismatch();
  }
  mismatch();
}

Date CDate(const Variant& v) {
  switch (v.type()) {
    case VarType::Date: return countableDate(v.asDate().serial);
    case VarType::Null: nullUse();
    case VarType::String: {
      if (auto d = parseDateText(v.asString())) return *d;
      if (auto n = parseNumber(v.asString())) return countableDate(*n);
      mismatch();
    }
    default: return countableDate(numericValue(v));
  }
}

std::string textOrEmpty(const Variant& v) { return v.isNull() ? std::string() : CStr(v); }

namespace {

// The bytes of the character that begins at i: a well-formed UTF-8 sequence, or
// one byte of anything else.
size_t charBytesAt(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (i + len > s.size()) return 1;
  for (size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  return len;
}

}  // namespace

size_t charLength(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); i += charBytesAt(s, i)) ++count;
  return count;
}

std::string leftChars(std::string_view s, size_t n) {
  size_t count = 0, i = 0;
  for (; i < s.size() && count < n; i += charBytesAt(s, i)) ++count;
  return std::string(s.substr(0, i));
}

std::string toUpperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string toLowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool isBlankText(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')) {
      ++i;
    } else if (s.substr(i, 2) == "\xC2\xA0") {
      i += 2;
    } else if (s.substr(i, 3) == "\xE3\x80\x80") {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

std::string trimSpaces(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace wayfind::platform
