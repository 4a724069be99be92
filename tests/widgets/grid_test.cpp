// The grid as the property grids use it: cells from 1, check boxes holding 0/1,
// locks that stop the user, row item data that follows its row, and the user's
// actions raising exactly the notifications the windows listen to.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>

#include "platform/automation/automation_error.h"
#include "widgets/grid.h"

namespace wayfind::widgets {
namespace {

Grid* makeGrid() {
  auto* g = new Grid;
  g->SetMaxCols(3);
  g->SetColType(2, Grid::CellType::CheckBox);
  g->SetMaxRows(2);
  return g;
}

TEST(GridTest, CellsCountFromOneAndCheckBoxesHoldZeroOrOne) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetText(1, 1, "总账");
  g->SetValue(2, 1, 1);
  EXPECT_EQ(g->Text(1, 1), "总账");
  EXPECT_EQ(g->Value(2, 1), 1);
  EXPECT_EQ(g->Text(2, 1), "1");
  EXPECT_EQ(g->Value(2, 2), 0);
  g->SetText(2, 2, "1");
  EXPECT_EQ(g->Value(2, 2), 1);
  EXPECT_THROW(g->Text(0, 1), platform::AutomationError);
  EXPECT_THROW(g->Text(1, 3), platform::AutomationError);
}

TEST(GridTest, RowsAddedLaterTakeTheColumnTypeAndItemDataFollowsItsRow) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetRowItemData(1, 101);
  g->SetRowItemData(2, 102);
  g->InsertRows(1);
  EXPECT_EQ(g->MaxRows(), 3);
  EXPECT_EQ(g->RowItemData(2), 101);
  EXPECT_EQ(g->RowItemData(3), 102);
  EXPECT_EQ(g->GetCellType(2, 1), Grid::CellType::CheckBox);
  g->DeleteRows(2);
  EXPECT_EQ(g->RowItemData(2), 102);
  EXPECT_EQ(g->FindRowByItemData(102), 2);
  EXPECT_EQ(g->FindRowByItemData(101), 0);
}

TEST(GridTest, UserActionsRaiseNotificationsAndApiChangesDoNot) {
  std::unique_ptr<Grid> g(makeGrid());
  QSignalSpy edits(g.get(), &Grid::editChange);
  QSignalSpy changes(g.get(), &Grid::change);
  QSignalSpy clicks(g.get(), &Grid::clicked);
  g->SetText(1, 1, "a");
  g->SetValue(2, 1, 1);
  EXPECT_EQ(changes.count(), 0);

  EXPECT_TRUE(g->userTypeText(1, 2, "新名称"));
  ASSERT_EQ(edits.count(), 1);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.at(0).at(0).toInt(), 1);
  EXPECT_EQ(changes.at(0).at(1).toInt(), 2);
  EXPECT_TRUE(g->userSetValue(2, 2, 1));
  EXPECT_EQ(changes.count(), 2);
  g->userClick(3, 1);
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(g->ActiveCol(), 3);
  EXPECT_EQ(g->ActiveRow(), 1);
}

TEST(GridTest, LockedCellsRefuseTheUser) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetText(1, 1, "模板名称");
  g->SetLock(1, 1, true);
  g->SetLock(2, 1, true);
  QSignalSpy changes(g.get(), &Grid::change);
  EXPECT_FALSE(g->userTypeText(1, 1, "x"));
  EXPECT_FALSE(g->userSetValue(2, 1, 1));
  EXPECT_EQ(g->Text(1, 1), "模板名称");
  EXPECT_EQ(g->Value(2, 1), 0);
  EXPECT_EQ(changes.count(), 0);
  g->SetColLock(3, true);
  g->InsertRows(3);
  EXPECT_TRUE(g->Lock(3, 3));
}

TEST(GridTest, HiddenColumnsKeepTheirValuesAndColoursBelongToOneCell) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetText(3, 1, "1000000001");
  g->SetColHidden(3, true);
  EXPECT_TRUE(g->ColHidden(3));
  EXPECT_EQ(g->Value(3, 1), 1000000001);
  EXPECT_FALSE(g->userTypeText(3, 1, "2")) << "the user cannot type into a hidden column";
  g->SetColWidthTwips(1, 1500);
  EXPECT_EQ(g->ColWidth(1), 100);
  const QColor grey(0xE0, 0xE0, 0xE0);
  g->SetBackColor(1, 2, grey);
  EXPECT_EQ(g->BackColor(1, 2), grey);
  EXPECT_NE(g->BackColor(1, 1), grey);
  g->InsertRows(1);
  EXPECT_EQ(g->BackColor(1, 3), grey) << "the colour moves with its row";
}

TEST(GridTest, TypingStopsAtTheColumnsLengthLimit) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetColMaxLength(1, 4);
  g->userTypeText(1, 1, "一二三四五");
  EXPECT_EQ(g->Text(1, 1), "一二三四");
  // A text stored longer than the limit is not cut by opening its cell.
  g->SetText(1, 2, "一二三四五六");
  g->setCurrentCell(1, 0);
  g->edit(g->currentIndex());
  auto* line = qobject_cast<QLineEdit*>(g->indexWidget(g->currentIndex()));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->text(), QString::fromUtf8("一二三四五六"));
}

// The limit counts characters as the database does: a character beyond the basic
// plane is one, and is never cut in half (half of one is stored as "?").
TEST(GridTest, TheLengthLimitCountsCharactersAndNeverCutsOne) {
  std::unique_ptr<Grid> g(makeGrid());
  g->SetColMaxLength(1, 5);
  g->SetHeaderText(1, "名称");
  const std::pair<const char*, const char*> cases[] = {
      {"一二三四\U00020000", "一二三四\U00020000"},
      {"一二三四五\U00020000", "一二三四五"},
      {"abcd\U00020000\U00020001", "abcd\U00020000"},
  };
  for (const auto& [pasted, kept] : cases) {
    SCOPED_TRACE(pasted);
    g->userTypeText(1, 2, pasted);
    EXPECT_EQ(g->Text(1, 2), kept);
    g->SetText(1, 1, "");
    g->setCurrentCell(0, 0);
    g->edit(g->currentIndex());
    auto* line = qobject_cast<QLineEdit*>(g->indexWidget(g->currentIndex()));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->accessibleName(), QString::fromUtf8("名称 1")) << "a screen reader names the box";
    line->insert(QString::fromUtf8(pasted));
    EXPECT_EQ(line->text(), QString::fromUtf8(kept));
    // Esc takes the typing back, and says so.
    QSignalSpy cancelled(g.get(), &Grid::editCancel);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(line, &escape);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(g->Text(1, 1), "");
  }
}

}  // namespace
}  // namespace wayfind::widgets
