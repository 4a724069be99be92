#include "erp/client/res_loader.h"

#include "erp/text/resource_folder.h"
#include "erp/text/translation_table.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::client {

std::filesystem::path ResLoader::tableFolder() const {
  if (text::resourceFolderIsExplicit() || resDirectory_.empty()) return text::resourceFolder() / "lang";
  return resDirectory_;
}

std::string ResLoader::LoadString(const std::string& text) {
  auto table = text::TranslationCache::instance().table(text::translationFile(tableFolder(), baseName_, languageId_));
  if (const std::string* translated = table->find(text)) return *translated;
  throw platform::AutomationError(kResourceNotFound, "T8ResLoader.Loader",
                                  "no " + languageId_ + " translation of \"" + text + "\"");
}

}  // namespace wayfind::erp::client
