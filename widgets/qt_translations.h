// Qt's own texts (the file dialogs' "Look in", "File name", "Open", "Cancel", the
// overwrite question, the edit fields' context menus) in the session's language,
// from the translations Debian ships for Qt (package qt6-translations-l10n).
// Simplified Chinese sessions take zh_CN, traditional Chinese zh_TW; English
// needs none.
#pragma once

#include <string>

namespace wayfind::widgets {

// Installs (or replaces) Qt's translations for the session's current language;
// cheap when they are installed already. The windows call it when a window
// loads, before a file chooser opens and when the session starts.
void UseQtTranslations();
// The same for a language code ("chs", "cht", "en"); answers whether Qt's
// translations for it were found (true for English, which needs none).
bool UseQtTranslationsFor(const std::string& languageCode);
// Takes Qt's translations out again.
void RemoveQtTranslations();

}  // namespace wayfind::widgets
