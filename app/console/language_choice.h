// The language the user picked in the console's language menu for the next start.
// It is kept in a small file in the user's configuration folder
// ($WAYFIND_CONFIG_DIR, else $XDG_CONFIG_HOME/wayfind, else ~/.config/wayfind) and
// used by the window commands when neither --lang nor WAYFIND_LANGUAGE names one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace wayfind::app::console {

std::filesystem::path languageChoiceFile();
// The saved choice: "chs", "en" or "cht"; nothing when none is saved or the file
// holds anything else.
std::optional<std::string> savedLanguage();
// Saves a choice (written to a temporary file and renamed into place). Raises
// AutomationError for a code other than chs, en or cht, or when the file cannot
// be written; the previous choice then stays.
void saveLanguage(const std::string& code);

}  // namespace wayfind::app::console
