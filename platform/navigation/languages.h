// The languages the component speaks, described once: the login's code, the
// ERP's number for it, the suffix of the database's name columns, Qt's locale,
// the fonts with its glyphs, the quotation marks around a name in a message and
// the name the language menu lists it by. Every place that tells languages
// apart reads this table; the first entry is the language the texts are written
// in, which also answers for any code the table does not know.
//
//   const LanguageInfo& lang = LanguageOfCode(code);   // simplified Chinese when unknown
//   std::string column = std::string("FFuncName") + lang.columnSuffix;
//
// The database keeps a name column per language ("FFuncName", "FFuncName_en",
// "FFuncName_cht"): another language needs columns of its own (columnSuffix)
// in the schema's description and a translation of each resource file.
//
// An entry marked testOnly (the pseudo-language "qps", whose texts are the
// Chinese ones in markers and longer, made at build time for the window tests)
// is known only while the environment variable WAYFIND_TEST_LANGUAGES is set:
// otherwise no lookup finds it and no list offers it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace wayfind::nav {

struct LanguageInfo {
  const char* code;          // as a login names it: "chs", "en", "cht"
  int32_t number;            // the ERP language component's number (GetLanguage)
  const char* columnSuffix;  // of the database's name columns: "" (the written one), "_en", "_cht"
  const char* qtLocale;      // Qt's own translations; "" where Qt's texts are already right
  const char* script;        // ISO 15924: "Hans", "Latn", "Hant"
  const char* fonts[4];      // families with the glyphs, preferred first; none: the system's UI font
  const char* openQuote;     // around a name in a message
  const char* closeQuote;
  const char* nativeName;    // as the language menu lists it
  const char* listSeparator; // between the names of a list in a message
  bool testOnly = false;     // for tests only, see above
};

inline constexpr LanguageInfo kLanguages[] = {
    {"chs", 1, "", "zh_CN", "Hans", {"Noto Sans CJK SC", "Noto Sans SC", "Source Han Sans SC", "WenQuanYi Micro Hei"},
     "“", "”", "简体中文", "、"},  // lang:data
    {"en", 2, "_en", "", "Latn", {}, " \"", "\"", "English", ", "},
    {"cht", 3, "_cht", "zh_TW", "Hant", {"Noto Sans CJK TC", "Noto Sans TC", "Source Han Sans TC", "Noto Sans CJK HK"},
     "「", "」", "繁體中文", "、"},  // lang:data
    {"qps", 99, "", "", "Hans", {"Noto Sans CJK SC", "Noto Sans SC", "Source Han Sans SC", "WenQuanYi Micro Hei"},
     "“", "”", "qps", "、", true},  // lang:data
};

// Whether the languages for tests are offered (WAYFIND_TEST_LANGUAGES set, not "0").
inline bool TestLanguagesOffered() {
  const char* value = std::getenv("WAYFIND_TEST_LANGUAGES");
  return value && *value && std::string_view(value) != "0";
}

// Whether info is a language this process offers: every real one, a test one on request.
inline bool IsOffered(const LanguageInfo& info) { return !info.testOnly || TestLanguagesOffered(); }

// The language the texts are written in (simplified Chinese).
constexpr const LanguageInfo& WrittenLanguage() { return kLanguages[0]; }

// The language of code (compared exactly, as logins and files give it);
// nothing for a code the table does not know.
inline std::optional<LanguageInfo> FindLanguage(std::string_view code) {
  for (const LanguageInfo& info : kLanguages)
    if (code == info.code && IsOffered(info)) return info;
  return std::nullopt;
}

// The language of code, the written one for any other code.
inline const LanguageInfo& LanguageOfCode(std::string_view code) {
  for (const LanguageInfo& info : kLanguages)
    if (code == info.code && IsOffered(info)) return info;
  return WrittenLanguage();
}

// The language of the ERP's number, the written one for any other number.
inline const LanguageInfo& LanguageOfNumber(int32_t number) {
  for (const LanguageInfo& info : kLanguages)
    if (number == info.number && IsOffered(info)) return info;
  return WrittenLanguage();
}

// Whether code names the language the texts are written in (or no language
// the table knows): nothing to translate.
inline bool IsWrittenLanguage(std::string_view code) { return &LanguageOfCode(code) == &WrittenLanguage(); }

}  // namespace wayfind::nav
