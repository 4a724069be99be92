// "T8ResLoader.Loader": translates the client's Chinese texts with the tables
// "<ResFileBaseName>.<LanguageID>.tsv" (format: translation_table.h). The folder
// of the tables is the lang/ folder of the resources (resource_folder.h) when the
// host or WAYFIND_RESOURCES named it, else ResDirectory when set, else the source
// tree's resources/lang. Tables are read once per process.
#pragma once

#include <filesystem>
#include <string>

#include "erp/api/language.h"

namespace wayfind::erp::client {

// Error number of a text the tables do not translate.
inline constexpr int32_t kResourceNotFound = 326;

class ResLoader : public api::IResLoader {
 public:
  void setResDirectory(const std::string& dir) override { resDirectory_ = dir; }
  void setResFileBaseName(const std::string& baseName) override { baseName_ = baseName; }
  void setLanguageID(const std::string& languageCode) override { languageId_ = languageCode; }
  // The translation of text into LanguageID; raises 326 when the table has none,
  // 32755 when the table cannot be read.
  std::string LoadString(const std::string& text) override;

  // The folder the tables are read from, by the rule above.
  std::filesystem::path tableFolder() const;

 private:
  std::string resDirectory_;
  std::string baseName_ = "T8Base";
  std::string languageId_;
};

}  // namespace wayfind::erp::client
