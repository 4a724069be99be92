// Every control of every registered window has an accessible name and
// description, as QAccessible reports them to a screen reader, in the session's
// language: no Chinese left in English, and Chinese in the Chinese sessions.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QWidget>

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

class AccessibilityTest : public windowtests::WindowTest {};

TEST_F(AccessibilityTest, EveryControlOfEveryWindowIsNamedAndDescribedInTheSessionsLanguage) {
  for (const char* language : {"chs", "en", "cht"}) {
    for (const std::string& window : forms().names()) {
      SCOPED_TRACE(window + " in " + language);
      setLanguage(language);
      Form* form = &windowtests::openAsPictured(window, /*shown=*/false);
      int controls = 0;
      for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!isControl(w)) continue;
        ++controls;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        // A combo box's name is its current item on Linux; the label naming it
        // comes through its label relation, so its own accessible name is checked.
        const QString name = qobject_cast<QComboBox*>(w) ? w->accessibleName() : a->text(QAccessible::Name);
        const QString description = a->text(QAccessible::Description);
        const std::string which = w->metaObject()->className() + std::string(" ") + w->objectName().toStdString();
        EXPECT_FALSE(name.isEmpty()) << which;
        EXPECT_FALSE(description.isEmpty()) << which;
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
