// The main-console editor without a mouse: the toolbar's commands by their
// shortcut keys (shown in the tooltips), the row commands following the arrow
// keys, and Esc with pending edits asking, with the editor still shown, as
// closing does. Real key events, sent with QTest.
#include <QApplication>
#include <set>
#include <QTest>

#include "set_prop_fixture.h"
#include "widgets/toolbar.h"

namespace wayfind::editortests {
namespace {

// Remembers whether the editor was on the screen when the question came.
class QuestionWatch : public erp::client::ScriptedMessageService {
 public:
  explicit QuestionWatch(QWidget* window) : window_(window) {}
  bool askYesNo(const std::string& text) override {
    shownWhenAsked.push_back(window_->isVisible());
    return ScriptedMessageService::askYesNo(text);
  }
  std::vector<bool> shownWhenAsked;

 private:
  QWidget* window_;
};

class KeyboardTest : public SetPropTest {};

TEST_F(KeyboardTest, EveryToolHasAShortcutShownInItsTooltip) {
  auto& f = open();
  for (const std::string& tool : f.Bar()->toolNames()) {
    const QKeySequence keys = f.Bar()->ToolShortcut(tool);
    EXPECT_FALSE(keys.isEmpty()) << tool;
    EXPECT_TRUE(f.Bar()->ToolTipShown(tool).endsWith("(" + keys.toString(QKeySequence::NativeText) + ")"))
        << tool << ": " << f.Bar()->ToolTipShown(tool).toStdString();
  }
  // Shortcuts are told apart.
  std::set<QString> seen;
  for (const std::string& tool : f.Bar()->toolNames()) EXPECT_TRUE(seen.insert(f.Bar()->ToolShortcut(tool).toString()).second) << tool;
}

TEST_F(KeyboardTest, ArrowKeysMoveTheRowCommandsAndShortcutsMoveTheRows) {
  auto& f = open();
  f.show();
  QApplication::setActiveWindow(&f);
  show("Top1", "Sys101");
  auto& grid = *f.vaOutlineProp();
  ASSERT_GE(grid.MaxRows(), 3);
  const auto idsBefore = ids(grid);
  grid.setFocus();
  grid.SetActiveCell(1, 1);
  f.UpdateRowCommands();
  EXPECT_FALSE(enabled("MoveUp"));

  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.ActiveRow(), 2);
  EXPECT_TRUE(enabled("MoveUp"));
  EXPECT_TRUE(enabled("MoveDown"));
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid.ActiveRow(), grid.MaxRows());
  EXPECT_TRUE(enabled("MoveUp"));
  EXPECT_FALSE(enabled("MoveDown"));
  QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(grid.ActiveRow(), 1);
  EXPECT_FALSE(enabled("MoveUp"));

  // Ctrl+Down moves the first row down, as the tool does; Ctrl+S applies.
  QTest::keyClick(&grid, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(grid.RowItemData(2), idsBefore[0]);
  EXPECT_EQ(grid.ActiveRow(), 2);
  EXPECT_TRUE(f.dirty());
  QTest::keyClick(&grid, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(f.dirty());
  EXPECT_EQ(subFuncs(101)[1].first, idsBefore[0]);
}

TEST_F(KeyboardTest, EscWithPendingEditsAsksWhileTheEditorIsShownAsClosingDoes) {
  auto watch = std::make_shared<QuestionWatch>(&form());
  erp::api::installMessageService(watch);
  auto& f = open();
  f.show();
  QApplication::setActiveWindow(&f);
  show("Top1", "Sys101");
  auto& grid = *f.vaOutlineProp();
  ASSERT_TRUE(grid.userTypeText(1, 1, "键盘改名"));
  watch->answers = {true};
  QTest::keyClick(&f, Qt::Key_Escape);
  EXPECT_FALSE(f.isLoaded());
  EXPECT_EQ(watch->shownWhenAsked, std::vector<bool>{true});
  EXPECT_EQ(subFuncs(101)[0].second, "键盘改名");

  // Without edits Esc closes without asking.
  open();
  f.show();
  QTest::keyClick(&f, Qt::Key_Escape);
  EXPECT_FALSE(f.isLoaded());
  EXPECT_EQ(watch->shownWhenAsked.size(), 1u);
  erp::api::installMessageService(messages);
}

}  // namespace
}  // namespace wayfind::editortests
