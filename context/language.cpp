// The user's language and the lookup of the component's texts. The language
// number is detected once per process for lookups; the resource loader and the
// formatting object are created once and kept. Every failure ends in the Chinese
// text, so nothing here throws.
#include "context/language.h"

#include <exception>

#include "erp/api/frm_res_loader.h"
#include "erp/api/language.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/process_end.h"
#include "platform/automation/registry.h"
#include "platform/navigation/languages.h"

namespace wayfind::context {

namespace {

using erp::api::ILangInfo;
using erp::api::IResLoader;
using erp::api::ITextFormatter;
using platform::Registry;

// The resource files this component's texts live in; the folder is left to the
// loader's default.
constexpr const char* kResourceBaseName = "T8Base";

size_t countLeadingSpaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[n] == ' ') ++n;
  return n;
}

size_t countTrailingSpaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] == ' ') ++n;
  return n;
}

// The resource loader of the process, created on first use. A loader that cannot
// be created leaves none, so the next lookup tries again.
std::shared_ptr<IResLoader> resourceLoader() {
  auto& state = LanguageState::instance();
  std::lock_guard lock(state.mutex);
  if (auto loader = std::dynamic_pointer_cast<IResLoader>(state.resourceLoader)) return loader;
  auto loader = Registry::instance().createAs<IResLoader>(erp::progid::kResLoader);
  state.resourceLoader = loader;
  loader->setResDirectory("");
  loader->setResFileBaseName(kResourceBaseName);
  return loader;
}

// The formatting object of the process; it is known by its interface identifier.
std::shared_ptr<ITextFormatter> formatter() {
  auto& state = LanguageState::instance();
  std::lock_guard lock(state.mutex);
  if (auto f = std::dynamic_pointer_cast<ITextFormatter>(state.formatter)) return f;
  auto f = Registry::instance().createAs<ITextFormatter>(erp::progid::kFormatterInterfaceId);
  state.formatter = f;
  return f;
}

// The window resource loader of the process, created on first use; a creation
// failure leaves none and the next window tries again.
std::shared_ptr<erp::api::IFrmResLoader> formResourceLoader() {
  auto& state = LanguageState::instance();
  std::lock_guard lock(state.mutex);
  if (auto loader = std::dynamic_pointer_cast<erp::api::IFrmResLoader>(state.formResourceLoader)) return loader;
  auto loader = Registry::instance().createAs<erp::api::IFrmResLoader>(erp::progid::kFrmResLoader);
  state.formResourceLoader = loader;
  return loader;
}

std::string describe(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const platform::AutomationError& e) {
    return e.description();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

// Used only when the formatting object is not installed: a message must still
// carry its values, so %1..%9 are filled here by the same rule.
std::string fillPlaceholders(const std::string& templ, const std::vector<platform::Variant>& values) {
  std::string out;
  out.reserve(templ.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    char c = templ[i];
    if (c == '%' && i + 1 < templ.size() && templ[i + 1] >= '1' && templ[i + 1] <= '9') {
      size_t index = static_cast<size_t>(templ[i + 1] - '1');
      if (index < values.size()) {
        try {
          out += platform::textOrEmpty(values[index]);
        } catch (...) {
          // An object value has no text; the placeholder is dropped.
        }
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace

LanguageState& LanguageState::instance() {
  static LanguageState state;
  static platform::ProcessEndMark mark;
  return state;
}

void LanguageState::reset() {
  std::lock_guard lock(mutex);
  cachedLanguage = 0;
  resourceLoader.reset();
  formatter.reset();
  formResourceLoader.reset();
}

int32_t DetectLanguage() {
  try {
    auto info = Registry::instance().createAs<ILangInfo>(erp::progid::kLangInfo);
    return nav::LanguageOfCode(info->CurrentLanguage()).number;
  } catch (...) {
    // No language component, or it failed: the component's own language.
  }
  return kLangChs;
}

int32_t GetLanguage() {
  auto& state = LanguageState::instance();
  std::lock_guard lock(state.mutex);
  if (state.cachedLanguage == 0) state.cachedLanguage = DetectLanguage();
  return state.cachedLanguage;
}

std::string LanguageCodeOf(int32_t language) { return nav::LanguageOfNumber(language).code; }

std::string GetLanguageCode() { return LanguageCodeOf(GetLanguage()); }

std::string GetLangText(const std::string& text) {
  if (GetLanguage() == kLangChs) return text;
  try {
    const size_t leading = countLeadingSpaces(text);
    if (leading == text.size()) return text;  // empty, or spaces only
    const size_t trailing = countTrailingSpaces(text);
    const std::string trimmed = text.substr(leading, text.size() - leading - trailing);

    std::lock_guard lock(LanguageState::instance().mutex);
    auto loader = resourceLoader();
    loader->setLanguageID(GetLanguageCode());
    std::string translated = loader->LoadString(trimmed);
    return std::string(leading, ' ') + translated + std::string(trailing, ' ');
  } catch (...) {
    return text;
  }
}

std::string FormatLangText(const std::string& templ, const std::vector<platform::Variant>& values) {
  const std::string translated = GetLangText(templ);
  try {
    return formatter()->Format(translated, values);
  } catch (...) {
    return fillPlaceholders(translated, values);
  }
}

std::string SetFormFont(platform::ObjectPtr window) {
  try {
    return formResourceLoader()->SetFrmFont(window, GetLanguageCode());
  } catch (...) {
    return describe(std::current_exception());
  }
}

std::string ApplyFormResources(platform::ObjectPtr window) {
  try {
    SetFormFont(window);
    platform::ObjectPtr reserved;
    auto answer = formResourceLoader()->LoadFrmResStrings(window, GetLanguageCode(), "", kResourceBaseName, reserved);
    auto list = std::dynamic_pointer_cast<erp::api::TextList>(answer);
    if (!list) platform::raise(platform::err::kTypeMismatch, erp::progid::kFrmResLoader);
    std::string joined;
    for (int32_t i = list->LBound(); i <= list->UBound(); ++i) joined += list->Item(i) + "\r\n";
    return joined;
  } catch (...) {
    return describe(std::current_exception());
  }
}

}  // namespace wayfind::context
