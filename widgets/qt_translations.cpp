#include "widgets/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

#include "context/language.h"
#include "platform/navigation/languages.h"

namespace wayfind::widgets {

namespace {

struct Installed {
  std::string language;
  std::vector<std::unique_ptr<QTranslator>> translators;
};

Installed& installed() {
  static Installed s;
  return s;
}

QString localeOf(const std::string& languageCode) {
  const auto lang = nav::FindLanguage(languageCode);
  return lang ? QString::fromLatin1(lang->qtLocale) : QString();
}

}  // namespace

void RemoveQtTranslations() {
  auto& s = installed();
  for (auto& t : s.translators) QCoreApplication::removeTranslator(t.get());
  s.translators.clear();
  s.language.clear();
}

bool UseQtTranslationsFor(const std::string& languageCode) {
  auto& s = installed();
  if (!QCoreApplication::instance()) return false;
  // A language whose Qt texts are already right (English) needs no translator.
  if (s.language == languageCode) return localeOf(languageCode).isEmpty() || !s.translators.empty();
  RemoveQtTranslations();
  s.language = languageCode;
  const QString locale = localeOf(languageCode);
  QLocale::setDefault(locale.isEmpty() ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(locale));
  if (locale.isEmpty()) return true;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // qtbase holds the widgets' texts; qt_ (a catalogue of the modules) is the
  // fallback of older packagings.
  for (const char* catalogue : {"qtbase_", "qt_"}) {
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(catalogue + locale, folder)) {
      QCoreApplication::installTranslator(translator.get());
      s.translators.push_back(std::move(translator));
      break;
    }
  }
  return !s.translators.empty();
}

void UseQtTranslations() {
  std::string code;
  try {
    code = context::GetLanguageCode();
  } catch (...) {
    return;  // no session language to follow: Qt's texts stay as they are
  }
  UseQtTranslationsFor(code);
}

}  // namespace wayfind::widgets
