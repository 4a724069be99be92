// The console without a mouse: it opens with the help-code box focused, and a
// search result chosen with the arrow keys starts with Enter.
#include <QAction>
#include <QApplication>
#include <QTest>

#include "widgets/help_window.h"

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
  results()->setFocus();
  QTest::keyClick(results(), Qt::Key_Down);
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
  c.findChild<QAction*>("mnuHelp_dlgSetNormal")->trigger();
  EXPECT_EQ(help.shownContext(), 520014);
  EXPECT_EQ(help.windowTitle(), "Help - Favourites");
}

}  // namespace
}  // namespace wayfind::app::console::testing
