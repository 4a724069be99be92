#include "app/console/language_choice.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/automation/automation_error.h"

namespace wayfind::app::console {

namespace fs = std::filesystem;

namespace {

bool knownCode(const std::string& code) { return code == "chs" || code == "en" || code == "cht"; }

[[noreturn]] void fail(const std::string& description) {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind", description);
}

}  // namespace

fs::path languageChoiceFile() {
  if (const char* dir = std::getenv("WAYFIND_CONFIG_DIR"); dir && *dir) return fs::path(dir) / "console-language";
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return fs::path(xdg) / "wayfind" / "console-language";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".config" / "wayfind" / "console-language";
}

std::optional<std::string> savedLanguage() {
  std::ifstream in(languageChoiceFile());
  std::string code;
  if (!in || !std::getline(in, code)) return std::nullopt;
  while (!code.empty() && (code.back() == '\r' || code.back() == ' ')) code.pop_back();
  if (!knownCode(code)) return std::nullopt;
  return code;
}

void saveLanguage(const std::string& code) {
  if (!knownCode(code)) fail("The language is chs, en or cht, not " + code + ".");
  const fs::path file = languageChoiceFile();
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  const fs::path temp = file.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    out << code << "\n";
    out.flush();
    if (!out) {
      fs::remove(temp, ec);
      fail("Cannot write " + temp.string() + ".");
    }
  }
  fs::rename(temp, file, ec);
  if (ec) {
    fs::remove(temp, ec);
    fail("Cannot save the language choice in " + file.string() + ".");
  }
}

}  // namespace wayfind::app::console
