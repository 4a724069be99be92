// The user's language and the translation of the component's texts. Every text the
// component shows is written in simplified Chinese and looked up by that text; when
// a lookup fails the Chinese text is shown. Nothing here ever throws, so a caller
// may look a message up while it holds an error of its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/automation/variant.h"

namespace wayfind::context {

inline constexpr int32_t kLangChs = 1;  // simplified Chinese, the component's own texts
inline constexpr int32_t kLangEn = 2;
inline constexpr int32_t kLangCht = 3;

// Asks the language component afresh: "cht" gives 3, "en" gives 2, anything else
// (also a failure) gives 1.
int32_t DetectLanguage();
// The language of the process: detected on first use and kept until the process ends.
int32_t GetLanguage();
// "en" for 2, "cht" for 3, "chs" otherwise, from GetLanguage.
std::string GetLanguageCode();
// The code of a language number, by the same rule.
std::string LanguageCodeOf(int32_t language);
// The language text of a Chinese text; leading and trailing spaces are kept
// around the translation.
std::string GetLangText(const std::string& text);
// The language text of a template with %1..%9 replaced by the values in order.
std::string FormatLangText(const std::string& templ, const std::vector<platform::Variant>& values);

// Sets the language's font on a window (the window as an automation object, see
// erp/api/window_object.h) through the window resource loader; answers the
// loader's answer, or the description of whatever failed.
std::string SetFormFont(platform::ObjectPtr window);
// Font and translated captions of a window while it loads: answers the captions
// that have no translation, each followed by a carriage return and line feed, or
// the description of whatever failed. Never throws.
std::string ApplyFormResources(platform::ObjectPtr window);

// The process-wide state behind these functions (cached language, resource loader,
// formatting object). reset() is for tests. The windows' database thread looks
// texts up too: the functions hold mutex while they use the state (the one
// loader's language is set for each lookup).
class LanguageState {
 public:
  static LanguageState& instance();
  void reset();

  std::recursive_mutex mutex;

  int32_t cachedLanguage = 0;  // 0 until first asked
  platform::ObjectPtr resourceLoader;
  platform::ObjectPtr formatter;
  platform::ObjectPtr formResourceLoader;  // "FrmRes.FrmResLoader", created on first use
};

}  // namespace wayfind::context
