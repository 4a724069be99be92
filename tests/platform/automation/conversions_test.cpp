// The host's conversion rules: rounding, overflow, mismatch, Null, Booleans.
#include <gtest/gtest.h>

#include <cmath>

#include "comma_locale.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/function_use.h"

using namespace wayfind::platform;

namespace {
int32_t errorOf(auto&& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}
}  // namespace

TEST(Conversions, CLngRoundsHalfToEven) {
  EXPECT_EQ(CLng(Variant(2.5)), 2);
  EXPECT_EQ(CLng(Variant(3.5)), 4);
  EXPECT_EQ(CLng(Variant(-2.5)), -2);
  EXPECT_EQ(CLng(Variant(-3.5)), -4);
  EXPECT_EQ(CLng(Variant(2.4999)), 2);
  EXPECT_EQ(CLng(Variant("  0.5 ")), 0);
  EXPECT_EQ(CLng(Variant("1.5")), 2);
  EXPECT_EQ(CInt(Variant(int32_t{32767})), 32767);
}

TEST(Conversions, OverflowAndMismatchAndNull) {
  EXPECT_EQ(errorOf([] { CLng(Variant(2147483647.5)); }), err::kOverflow);  // rounds to 2^31
  EXPECT_EQ(errorOf([] { CLng(Variant(-2147483648.6)); }), err::kOverflow);
  EXPECT_EQ(CLng(Variant(-2147483648.4)), INT32_MIN);
  EXPECT_EQ(errorOf([] { CInt(Variant(int32_t{32768})); }), err::kOverflow);
  EXPECT_EQ(errorOf([] { CLng(Variant(int64_t{1} << 40)); }), err::kOverflow);
  EXPECT_EQ(errorOf([] { CLng(Variant("12abc")); }), err::kTypeMismatch);
  EXPECT_EQ(errorOf([] { CLng(Variant("")); }), err::kTypeMismatch);
  EXPECT_EQ(errorOf([] { CDbl(Variant("1e999")); }), err::kOverflow);
  EXPECT_EQ(errorOf([] { CLng(Variant::null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(errorOf([] { CStr(Variant::null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(errorOf([] { CBool(Variant("maybe")); }), err::kTypeMismatch);
  EXPECT_EQ(CLng(Variant()), 0);  // Empty is 0
  EXPECT_EQ(CStr(Variant()), "");
}

TEST(Conversions, BooleansAsNumbersAndTexts) {
  EXPECT_EQ(CLng(Variant(true)), -1);
  EXPECT_EQ(CInt(Variant(false)), 0);
  EXPECT_EQ(CStr(Variant(true)), "True");
  EXPECT_EQ(CStr(Variant(false)), "False");
  EXPECT_TRUE(CBool(Variant("tRUE")));
  EXPECT_FALSE(CBool(Variant(" FALSE ")));
  EXPECT_TRUE(CBool(Variant(int32_t{-1})));
  EXPECT_TRUE(CBool(Variant(0.25)));
  EXPECT_FALSE(CBool(Variant(int16_t{0})));
  EXPECT_TRUE(CBool(Variant("2")));
  EXPECT_EQ(CLng(Variant("True")), -1);
}

TEST(Conversions, NumberTexts) {
  EXPECT_EQ(CStr(Variant(0.5)), "0.5");
  EXPECT_EQ(CStr(Variant(100.0)), "100");
  EXPECT_EQ(CStr(Variant(-3.25)), "-3.25");
  EXPECT_EQ(CStr(Variant(1e20)), "1E+20");
  EXPECT_EQ(CStr(Variant(int32_t{-42})), "-42");
  EXPECT_EQ(CDbl(Variant("&HFF")), 255);
  EXPECT_EQ(CLng(Variant("&HFFFFFFFF")), -1);
  EXPECT_EQ(CDbl(Variant(" -1.5E2 ")), -150);
  EXPECT_FALSE(parseNumber("--1"));
  EXPECT_FALSE(parseNumber("+-1"));
  EXPECT_FALSE(parseNumber("1 2"));
  // Words are no numbers, a number too small to tell from zero is zero, and the
  // ends of a 64-bit whole number hold.
  for (const char* word : {"nan", "NAN", "-nan", "inf", "Infinity", "+inf"}) {
    EXPECT_FALSE(parseNumber(word)) << word;
    EXPECT_EQ(errorOf([=] { CDbl(Variant(word)); }), err::kTypeMismatch) << word;
  }
  EXPECT_EQ(CDbl(Variant("1e-400")), 0.0);
  EXPECT_FALSE(CBool(Variant("-1E-400")));
  EXPECT_EQ(errorOf([] { CDbl(Variant("1e400")); }), err::kOverflow);
  EXPECT_EQ(CDbl(Variant(".5")), 0.5);
  // A text of digits is read exactly, not through a double.
  EXPECT_EQ(CLngLng(Variant(" 9223372036854775807")), INT64_MAX);
  EXPECT_EQ(CLngLng(Variant("9007199254740993")), 9007199254740993);
  EXPECT_EQ(CLngLng(Variant("-9223372036854775808")), INT64_MIN);
  EXPECT_EQ(errorOf([] { CLngLng(Variant("9223372036854775808")); }), err::kOverflow);
  EXPECT_EQ(errorOf([] { CLng(Variant("2147483648")); }), err::kOverflow);
  EXPECT_EQ(errorOf([] { CLngLng(Variant(9223372036854775807.0)); }), err::kOverflow);  // 2^63 as a double
  EXPECT_EQ(CLngLng(Variant(-9223372036854775808.0)), INT64_MIN);
}

TEST(Conversions, DatesRoundTripThroughText) {
  Date d = CDate(Variant("2026-12-08 10:30:15"));
  EXPECT_EQ(CStr(Variant(d)), "2026-12-08 10:30:15");
  EXPECT_EQ(CStr(Variant(CDate(Variant("1899-12-30")))), "1899-12-30");
  EXPECT_DOUBLE_EQ(CDate(Variant("1900-01-01")).serial, 2.0);
  // Days the month does not have are no dates (not the next month's first days).
  for (const char* missing : {"2026-13-01", "2023-02-29", "2024-04-31", "1900-02-29"})
    EXPECT_EQ(errorOf([=] { CDate(Variant(missing)); }), err::kTypeMismatch) << missing;
  EXPECT_EQ(CStr(Variant(CDate(Variant("2024-02-29")))), "2024-02-29");
  EXPECT_EQ(CStr(Variant(CDate(Variant("20000-01-01")))), "20000-01-01");
  // A date too far out for its days to be counted, or none at all, has no text.
  for (double serial : {1e300, -1e300, 1e16, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(errorOf([=] { CStr(Variant(Date{serial})); }), err::kOverflow) << serial;
    EXPECT_EQ(errorOf([=] { CDate(Variant(serial)); }), err::kOverflow) << serial;
    EXPECT_EQ(errorOf([=] { CDate(Variant(Date{serial})); }), err::kOverflow) << serial;
  }
  EXPECT_EQ(errorOf([] { CDate(Variant("5E290880301")); }), err::kOverflow);
}

// A window's process takes its numbers' form from the desktop's locale (Qt sets
// it), and so may any program using the library: numbers written as text, and
// read back, must be the same whatever it is.
TEST(Conversions, NumberTextsIgnoreAProcessLocaleWithADecimalComma) {
  wayfind::testing::CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "localedef could not make a locale with a decimal comma";
  for (double x : {0.5, -3.25, 1e20, 1.25e-7, 123456.789}) {
    EXPECT_EQ(CStr(Variant(x)).find(','), std::string::npos) << x;
    EXPECT_DOUBLE_EQ(CDbl(Variant(CStr(Variant(x)))), x);
    EXPECT_EQ(CDbl(Variant(exactNumberText(x))), x) << "exactly";
  }
  EXPECT_EQ(CStr(Variant(1e20)), "1E+20");
  wayfind::nav::FunctionUse use = wayfind::nav::FunctionUse::parse("7:2.000:100;8:0.500:100");
  EXPECT_DOUBLE_EQ(use.score(8, 100), 0.5) << "a record written elsewhere is read";
  use.recordStart(7, 100);
  EXPECT_EQ(use.text(100), "7:3.000:100;8:0.500:100");
  // What a process with such a locale wrote before is read, not thrown away.
  EXPECT_DOUBLE_EQ(wayfind::nav::FunctionUse::parse("9:1,500:100").score(9, 100), 1.5);
}

TEST(Conversions, CharactersNotBytes) {
  EXPECT_EQ(charLength("凭证录入"), 4u);
  EXPECT_EQ(charLength("ab凭"), 3u);
  EXPECT_EQ(leftChars("凭证录入", 2), "凭证");
  EXPECT_EQ(leftChars("abc", 10), "abc");
  // Invalid bytes count one each and are never split into more than they are.
  EXPECT_EQ(charLength("\xE5\x87"), 2u);
  EXPECT_EQ(leftChars("\xE5\x87" "a", 1), "\xE5");
}

// On valid UTF-8 a character count is the count of the bytes that begin a
// character; the windows' texts (from Qt) are always valid, so either count
// serves them.
TEST(Conversions, OnValidUtf8EveryCharacterIsOneLeadByte) {
  for (const char* text : {"", "abc", "凭证录入", "ab凭", "é", "a\xF0\x9F\x98\x80" "b", "\xC2\xA0 x"}) {
    size_t leadBytes = 0;
    for (unsigned char c : std::string_view(text)) leadBytes += (c & 0xC0) != 0x80;
    EXPECT_EQ(charLength(text), leadBytes) << text;
  }
}

TEST(Conversions, TextOrEmptyReadsNullAsEmptyAndOtherwiseAsCStr) {
  EXPECT_EQ(textOrEmpty(Variant::null()), "");
  EXPECT_EQ(textOrEmpty(Variant()), "");
  EXPECT_EQ(textOrEmpty(Variant(int32_t{42})), "42");
  EXPECT_EQ(textOrEmpty(Variant(true)), "True");
  EXPECT_EQ(textOrEmpty(Variant("凭证")), "凭证");
}

TEST(Conversions, CaseHelpersTouchOnlyAscii) {
  EXPECT_TRUE(iequals("FAcctType", "faccttype"));
  EXPECT_FALSE(iequals("凭证", "凭"));
  EXPECT_EQ(toUpperAscii("language=chs凭"), "LANGUAGE=CHS凭");
  EXPECT_EQ(trimSpaces("  a b  "), "a b");
  EXPECT_EQ(trimSpaces("\t a"), "\t a");  // only spaces, as the host's Trim
}
