// The login properties the host publishes for this process, context help, and two
// text helpers for names and help codes the user types.
#include "context/login_props.h"

#include <algorithm>

#include <unistd.h>

#include "context/language.h"
#include "erp/api/help.h"
#include "erp/api/progids.h"
#include "erp/api/share_props.h"
#include "platform/automation/conversions.h"
#include "platform/automation/props_entries.h"
#include "platform/automation/registry.h"

namespace wayfind::context {

namespace {

using platform::Registry;
using platform::Variant;

constexpr int16_t kKeyF1 = 112;
// Characters not accepted in names and help codes: an apostrophe would end the
// text in the filters the store builds by concatenation.
constexpr const char* kInvalidChars[] = {"'"};

std::string languageEntry(int32_t language) { return ";Language=" + LanguageCodeOf(language); }

// True when an entry of the text is named Language, in any letter case; a value
// that holds the word ("UserName=Language Lab"), or a braced value that holds a
// whole entry ("UserName={Lab;Language=cht}"), is no such entry.
bool hasLanguageEntry(std::string_view text) {
  bool found = false;
  platform::ForEachPropsEntry(text, [&](std::string_view name, std::string_view) {
    return found = platform::iequals(name, "Language");
  });
  return found;
}

// PropsString must tell the middle tier the user's language; the host's text may
// already carry it, in any letter case.
Variant withLanguageEntry(Variant value) {
  if (value.isObject()) return value;
  std::string text = platform::textOrEmpty(value);
  if (hasLanguageEntry(text)) return value;
  return Variant(text + languageEntry(DetectLanguage()));
}

std::string propertyText(const std::string& name) { return platform::CStr(GetShareProperty(name)); }

}  // namespace

HelpState& HelpState::instance() {
  static HelpState state;
  return state;
}

void HelpState::reset() { help.reset(); }

Variant GetShareProperty(const std::string& name) {
  int32_t processId = static_cast<int32_t>(::getpid());
  auto props = Registry::instance().createAs<erp::api::IShareProps>(erp::progid::kShareProps);
  std::string propertyName = name;
  // A Variant carries an object or a plain value alike, so one read is enough.
  Variant value = props->GetProperty(processId, propertyName);
  if (name == "PropsString") value = withLanguageEntry(std::move(value));
  return value;
}

std::string PropsString() { return propertyText("PropsString"); }
std::string UserName() { return propertyText("UserName"); }
std::string SetupType() { return propertyText("SetupType"); }
std::string UUID() { return propertyText("UUID"); }

std::string GetVersionText() { return GetKeyValue(PropsString(), "T8Version", ";"); }

std::string GetKeyValue(const std::string& text, const std::string& key, const std::string& separator) {
  try {
    if (separator == ";") {
      // A login's properties text is read entry by entry, so a value (a user
      // named "T8Version=TEE") is never taken for an entry. The key is still found
      // at the end of a longer name: callers rely on "T8Version" being found in an
      // entry such as "XT8Version=...".
      const std::string wanted = platform::toUpperAscii(key);
      std::string found;
      platform::ForEachPropsEntry(text, [&](std::string_view name, std::string_view value) {
        if (!platform::toUpperAscii(std::string(name)).ends_with(wanted)) return false;
        found = value;
        return true;
      });
      return found;
    }
    std::string s = text;
    if (separator.empty() || !s.ends_with(separator)) s += separator;
    const std::string k = key + "=";
    // The key is searched as a piece of text, not as a whole entry name: callers
    // rely on "T8Version" being found inside an entry such as "XT8Version=...".
    const size_t at = platform::toUpperAscii(s).find(platform::toUpperAscii(k));
    if (at == std::string::npos) return {};
    s.erase(0, at);
    // An empty separator is found at once, so it leaves no value.
    const size_t end = s.find(separator);
    if (end != std::string::npos) s.erase(end);
    return s.size() > k.size() ? s.substr(k.size()) : std::string();
  } catch (...) {
    return {};
  }
}

bool ShowHELP(int16_t keyCode, int32_t helpContext, const std::string& text1, int32_t long2,
              const std::string& text3, int32_t long4) {
  if (keyCode != kKeyF1) return false;
  try {
    auto& state = HelpState::instance();
    auto help = std::dynamic_pointer_cast<erp::api::IHelp>(state.help);
    if (!help) {
      help = Registry::instance().createAs<erp::api::IHelp>(erp::progid::kHelp);
      state.help = help;
    }
    int32_t context = helpContext;
    std::string t1 = text1;
    std::string t3 = text3;
    int32_t l2 = long2;
    int32_t l4 = long4;
    help->ShowHELP(context, 0, t1, l2, t3, l4);
  } catch (...) {
    // F1 was handled even when no help could be shown.
  }
  return true;
}

namespace {

// A line break reads as a space, so it is trimmed as one too.
bool blankOrBreak(char c) { return c == ' ' || c == '\r' || c == '\n'; }

void breaksToSpaces(std::string& text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

}  // namespace

std::string RemoveLineBreaks(const std::string& text) {
  std::string room;
  const std::string_view out = RemoveLineBreaks(std::string_view(text), room);
  return out.data() == room.data() ? std::move(room) : std::string(out);
}

std::string RemoveLineBreaks(std::string&& text) {
  size_t e = text.size();
  while (e > 0 && blankOrBreak(text[e - 1])) --e;
  text.resize(e);
  size_t b = 0;
  while (b < e && blankOrBreak(text[b])) ++b;
  text.erase(0, b);
  breaksToSpaces(text);
  return std::move(text);
}

std::string_view RemoveLineBreaks(std::string_view text, std::string& room) {
  while (!text.empty() && blankOrBreak(text.front())) text.remove_prefix(1);
  while (!text.empty() && blankOrBreak(text.back())) text.remove_suffix(1);
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) return text;
  room.assign(text);
  breaksToSpaces(room);
  return room;
}

bool HasInvalidChar(const std::string& text) {
  const std::string trimmed = platform::trimSpaces(text);
  if (trimmed.empty()) return false;
  for (const char* invalid : kInvalidChars) {
    if (trimmed.find(invalid) != std::string::npos) return true;
  }
  return false;
}

}  // namespace wayfind::context
