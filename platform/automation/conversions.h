// The host's conversion rules for automation values: CLng and CInt round half to
// even and raise 6 "Overflow" out of range, a text that is not a number raises
// 13 "Type mismatch", Null where a value is needed raises 94 "Invalid use of Null",
// a Boolean is -1 / 0 as a number and "True" / "False" as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace wayfind::platform {

int16_t CInt(const Variant& v);
int32_t CLng(const Variant& v);
int64_t CLngLng(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);
std::string CStr(const Variant& v);
Date CDate(const Variant& v);

// A value's text as CStr gives it, with Null (and Empty) as the empty text: how
// a field that may hold Null is read as text.
std::string textOrEmpty(const Variant& v);

// Text of a number as the host writes it: integers in decimal, doubles with up to
// 15 significant digits and no trailing zeros ("0.5", "1E+20").
std::string formatNumber(double d);

// Parses a numeric text as the host does (spaces around, sign, decimals, exponent,
// &H hex); nullopt when the text is not a number.
std::optional<double> parseNumber(std::string_view text);
// A text that is a whole 32-bit number and nothing else ("16385", "-3"); nullopt
// for anything else (blanks, a sign "+", a fraction, a number out of range).
std::optional<int32_t> wholeInt32(std::string_view text);
// The shortest text that reads back as exactly d ("2.5", "1e+20", "inf", "nan"),
// for a database: with a full stop whatever the process's locale.
std::string exactNumberText(double d);

// Banker's rounding as CLng uses it.
double roundHalfEven(double d);

// Number of Unicode characters of a UTF-8 text (invalid bytes count one each), and
// the first n characters of it. On valid UTF-8 the count is the number of bytes
// that begin a character; texts from the windows are always valid.
size_t charLength(std::string_view utf8);
std::string leftChars(std::string_view utf8, size_t n);

// Letter-case helpers for ASCII letters (Chinese text has no case).
std::string toUpperAscii(std::string_view s);
std::string toLowerAscii(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
std::string trimSpaces(std::string_view s);  // VB Trim: spaces only
// Whether a text shows nothing: only blanks (ASCII, no-break and ideographic
// spaces, as a Chinese input method types them), tabs and line breaks.
bool isBlankText(std::string_view s);

}  // namespace wayfind::platform
