// Fakes of the ERP client components that the login and language code calls,
// counting what is asked of them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "erp/api/help.h"
#include "erp/api/language.h"
#include "erp/api/logging.h"
#include "erp/api/share_props.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"

namespace wayfind::testing {

// A factory that counts the objects it makes.
template <class T>
platform::Registry::Factory countingFactory(std::shared_ptr<T> obj, int& created) {
  return [obj, &created] {
    ++created;
    return std::static_pointer_cast<platform::Object>(obj);
  };
}

struct FakeLangInfo : erp::api::ILangInfo {
  std::string code;
  std::string CurrentLanguage() override { return code; }
};

struct FakeResLoader : erp::api::IResLoader {
  std::map<std::string, std::string> translations;  // key: trimmed text
  std::string resDirectory = "unset", baseName, languageId;
  std::vector<std::string> lookups;
  void setResDirectory(const std::string& d) override { resDirectory = d; }
  void setResFileBaseName(const std::string& b) override { baseName = b; }
  void setLanguageID(const std::string& l) override { languageId = l; }
  std::string LoadString(const std::string& text) override {
    lookups.push_back(text);
    auto it = translations.find(text);
    if (it == translations.end()) throw platform::AutomationError(326, "FakeResLoader", "no translation");
    return it->second;
  }
};

struct FakeShareProps : erp::api::IShareProps {
  std::map<std::pair<int32_t, std::string>, platform::Variant> values;
  platform::Variant GetProperty(int32_t& pid, std::string& name) override {
    auto it = values.find({pid, name});
    return it == values.end() ? platform::Variant() : it->second;
  }
  void SetProperty(int32_t pid, const std::string& name, const platform::Variant& v) override {
    values[{pid, name}] = v;
  }
};

struct FakeHelp : erp::api::IHelp {
  std::vector<int32_t> contexts;
  void ShowHELP(int32_t& ctx, int16_t, std::string&, int32_t&, std::string&, int32_t&) override {
    contexts.push_back(ctx);
  }
};

struct FakeLog : erp::api::ILog {
  bool enabled = true;
  bool failStart = false;
  int isEnabledCalls = 0, startCalls = 0, endCalls = 0;
  std::vector<std::string> names;
  std::vector<std::pair<int32_t, int32_t>> ends;
  platform::Variant IsEnabled() override {
    ++isEnabledCalls;
    return enabled;
  }
  platform::Variant LogStart(std::string& name) override {
    ++startCalls;
    if (failStart) throw platform::AutomationError(5, "FakeLog", "start failed");
    names.push_back(name);
    return platform::Variant(int32_t(100 + startCalls));
  }
  void LogEnd(int32_t& h, int32_t& c) override {
    ++endCalls;
    ends.emplace_back(h, c);
  }
};

}  // namespace wayfind::testing
