// "T8LangInfo.LangInfo", "T8ResLoader.Loader" and the foundation library's
// template-filling object: the login's language and the translation of texts.
#pragma once

#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::erp::api {

class ILangInfo : public platform::Object {
 public:
  // The login's language code as the host set it ("en", "cht", anything else).
  virtual std::string CurrentLanguage() = 0;
};

class IResLoader : public platform::Object {
 public:
  virtual void setResDirectory(const std::string& dir) = 0;
  virtual void setResFileBaseName(const std::string& baseName) = 0;
  virtual void setLanguageID(const std::string& languageCode) = 0;
  // The translation of a Chinese text into LanguageID; raises an error when the
  // tables have none.
  virtual std::string LoadString(const std::string& text) = 0;
};

class ITextFormatter : public platform::Object {
 public:
  // Replaces %1 to %9 by the values in order; a placeholder without a value stays.
  virtual std::string Format(const std::string& templ, const std::vector<platform::Variant>& values) = 0;
};

}  // namespace wayfind::erp::api
