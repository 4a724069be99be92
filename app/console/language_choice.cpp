#include "app/console/language_choice.h"

#include <cstdlib>

#include "platform/automation/automation_error.h"
#include "platform/containers/atomic_file.h"
#include "platform/containers/xdg_folders.h"
#include "platform/navigation/languages.h"

namespace wayfind::app::console {

namespace fs = std::filesystem;

namespace {

bool knownCode(const std::string& code) { return nav::FindLanguage(code).has_value(); }

[[noreturn]] void fail(const std::string& description) {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind", description);
}

}  // namespace

fs::path languageChoiceFile() {
  if (const char* dir = std::getenv("WAYFIND_CONFIG_DIR"); dir && *dir) return fs::path(dir) / "console-language";
  const fs::path base = platform::xdgBaseFolder("XDG_CONFIG_HOME", ".config");
  return (base.empty() ? fs::path(".config") : base) / "wayfind" / "console-language";
}

std::optional<std::string> savedLanguage() {
  // A few bytes; anything that is no regular file, or much more, is no choice.
  std::string content;
  if (!platform::readWholeFile(languageChoiceFile(), content, 4096)) return std::nullopt;
  std::string code = content.substr(0, content.find('\n'));
  while (!code.empty() && (code.back() == '\r' || code.back() == ' ')) code.pop_back();
  if (!knownCode(code)) return std::nullopt;
  return code;
}

void saveLanguage(const std::string& code) {
  if (!knownCode(code)) fail("The language is chs, en or cht, not " + code + ".");
  const fs::path file = languageChoiceFile();
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  try {
    platform::writeFileAtomically(file, code + "\n");
  } catch (const platform::AutomationError& e) {
    fail("Cannot save the language choice: " + e.description());
  }
}

}  // namespace wayfind::app::console
