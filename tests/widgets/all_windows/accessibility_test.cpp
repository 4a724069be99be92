// Every control of every registered window has an accessible name and
// description, as QAccessible reports them to a screen reader, in the session's
// language: no Chinese left in English, and Chinese in the Chinese sessions. A
// name says what the control is in words, and no two controls a user meets in
// one window share one.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QWidget>
#include <algorithm>
#include <map>

#include "widgets/accessible_names.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

bool hasChinese(const QString& text) {
  for (char32_t c : text.toUcs4())
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
  return false;
}

bool hasWords(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

class AccessibilityTest : public windowtests::WindowTest {};

TEST_F(AccessibilityTest, EveryControlOfEveryWindowIsNamedAndDescribedInTheSessionsLanguage) {
  for (const char* language : {"chs", "en", "cht"}) {
    for (const std::string& window : forms().names()) {
      SCOPED_TRACE(window + " in " + language);
      setLanguage(language);
      // Shown (off the screen), so a toolbar's buttons are there as the user meets them.
      Form* form = &windowtests::openAsPictured(window, /*shown=*/true);
      int controls = 0;
      std::map<QString, std::string> named;  // name -> the control that has it
      for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!isControl(w)) continue;
        ++controls;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        const QString name = a->text(QAccessible::Name);
        const QString description = a->text(QAccessible::Description);
        const std::string which = w->metaObject()->className() + std::string(" ") + w->objectName().toStdString();
        // A combo box is read by its name, not by the item it shows.
        if (auto* combo = qobject_cast<QComboBox*>(w); combo && !combo->currentText().isEmpty()) {
          EXPECT_NE(name, combo->currentText()) << which;
        }
        EXPECT_FALSE(name.isEmpty()) << which;
        EXPECT_FALSE(description.isEmpty()) << which;
        EXPECT_TRUE(hasWords(name)) << which << ": " << name.toStdString();
        if (w->isVisibleTo(form)) {
          const auto [first, unique] = named.emplace(name, which);
          EXPECT_TRUE(unique) << which << " and " << first->second << " are both " << name.toStdString();
        }
        if (std::string(language) == "en") {
          EXPECT_FALSE(hasChinese(name)) << which << ": " << name.toStdString();
          EXPECT_FALSE(hasChinese(description)) << which << ": " << description.toStdString();
        } else {
          EXPECT_TRUE(hasChinese(description)) << which << ": " << description.toStdString();
        }
      }
      EXPECT_GT(controls, 0);
      form->Unload();
      forms().release(window);
    }
  }
}

}  // namespace
}  // namespace wayfind::widgets
