// The console without a mouse: it opens with the help-code box focused, and a
// search result chosen with the arrow keys starts with Enter.
#include <QTest>

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

}  // namespace
}  // namespace wayfind::app::console::testing
