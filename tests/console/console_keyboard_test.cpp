// The console without a mouse and through a screen reader: it opens with the
// help-code box focused, Down goes from the search box into the results and
// Enter starts the one chosen, Ctrl+F and Ctrl+K come back to the search, the
// site links are reached and opened by keys, Shift+F10 asks for the tree's menu,
// and every control has a name of its own in words.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>

#include "erp/client/help_viewer.h"
#include "widgets/accessible_names.h"

#include "widgets/help_window.h"
#include <QLabel>

#include "console_fixture.h"

namespace wayfind::app::console::testing {
namespace {

class ConsoleKeyboardTest : public ConsoleTest {};

TEST_F(ConsoleKeyboardTest, OpensInTheHelpCodeBoxAndEnterStartsTheSearchResultChosen) {
  auto& c = open();
  EXPECT_EQ(c.focusWidget(), child<QLineEdit>("txtHelpCode"));

  auto* search = child<QLineEdit>("txtSearch");
  search->insert("凭证");
  ASSERT_GE(results()->topLevelItemCount(), 2);
  QTest::keyClick(search, Qt::Key_Down);  // into the results, on the first
  EXPECT_EQ(c.focusWidget(), results());
  EXPECT_EQ(results()->currentItem(), results()->topLevelItem(0));
  QTest::keyClick(results(), Qt::Key_Down);
  QTreeWidgetItem* chosen = results()->currentItem();
  ASSERT_NE(chosen, nullptr);
  const int32_t id = chosen->data(0, Qt::UserRole + 2).toInt();
  QTest::keyClick(results(), Qt::Key_Return);
  ASSERT_EQ(c.recent().items().size(), 1u);
  EXPECT_EQ(c.recent().items()[0].id, id);
  EXPECT_TRUE(status().contains(chosen->text(0))) << status().toStdString();
}

TEST_F(ConsoleKeyboardTest, F1AndTheHelpMenuShowTheHelpInTheSessionsLanguage) {
  login(windowtests::kAdministrator, "en");
  auto& c = open();
  c.show();
  QApplication::setActiveWindow(&c);
  QTest::keyClick(child<QLineEdit>("txtHelpCode"), Qt::Key_F1);
  auto& help = widgets::HelpWindow::instance();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.shownContext(), 520000);
  EXPECT_EQ(help.windowTitle(), "Help - Main Console");
  EXPECT_EQ(widgets::HelpContextOf(c), 520000) << "the console says its own help context";
  for (const char* language : {"chs", "cht"})
    EXPECT_TRUE(std::filesystem::is_regular_file(erp::client::helpTopicFile(520000, language))) << language;
  c.findChild<QAction*>("mnuHelp_dlgSetNormal")->trigger();
  EXPECT_EQ(help.shownContext(), 520014);
  EXPECT_EQ(help.windowTitle(), "Help - Frequently Used Function Settings");
}

TEST_F(ConsoleKeyboardTest, ShortcutsFindTheSearchSiteLinksOpenByKeysAndShiftF10AsksForTheMenu) {
  setProfile("T8EIS", "决策");
  auto& c = open();
  c.show();
  QApplication::setActiveWindow(&c);
  for (const Qt::Key key : {Qt::Key_F, Qt::Key_K}) {
    tree()->setFocus();
    QTest::keyClick(tree(), key, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>("txtSearch")) << QKeySequence(key).toString().toStdString();
  }

  auto* site = child<QLabel>("lblDecisionSite");
  EXPECT_TRUE(site->focusPolicy() & Qt::TabFocus);
  QTest::keyClick(site, Qt::Key_Return);
  EXPECT_TRUE(status().contains("决策")) << status().toStdString();

  QSignalSpy menus(tree(), &QWidget::customContextMenuRequested);
  tree()->setCurrentItem(tree()->topLevelItem(0));  // a top class: asked, but it has no menu to open
  QTest::keyClick(tree(), Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(menus.count(), 1);
}

TEST_F(ConsoleKeyboardTest, EveryControlIsNamedInWordsAndNoTwoAlike) {
  for (const char* language : {"chs", "en"}) {
    SCOPED_TRACE(language);
    login(windowtests::kAdministrator, language);
    auto& c = open();
    c.setAttribute(Qt::WA_DontShowOnScreen, true);
    c.show();  // as the user meets it
    std::map<QString, std::string> named;
    for (QWidget* w : c.findChildren<QWidget*>()) {
      if (!widgets::isControl(w) || !w->isVisibleTo(&c)) continue;
      const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
      const std::string which = w->metaObject()->className() + std::string(" ") + w->objectName().toStdString();
      EXPECT_TRUE(std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.isLetterOrNumber(); }))
          << which << ": \"" << name.toStdString() << "\"";
      const auto [first, unique] = named.emplace(name, which);
      EXPECT_TRUE(unique) << which << " and " << first->second << " are both " << name.toStdString();
    }
    EXPECT_GE(named.size(), 6u);  // the two boxes, the button, the results, the recent list, the tree
  }
}

}  // namespace
}  // namespace wayfind::app::console::testing
