// What the lists do for the user beyond showing items: a name cut short shows
// whole as its tooltip, a click on the selected node renames it only after a
// pause, and the keyboard alone gets into, through and out of every view,
// driven by real mouse and key events.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QLineEdit>
#include <QToolTip>
#include <QVBoxLayout>
#include <memory>

#include "widgets/grid.h"
#include "widgets/keyed_tree.h"

namespace wayfind::widgets {
namespace {

// The tooltip a resting pointer shows over a view's cell.
QString tooltipAt(QAbstractItemView& view, const QModelIndex& index) {
  QToolTip::hideText();
  const QPoint at = view.visualRect(index).center();
  QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
  QApplication::sendEvent(view.viewport(), &help);
  // A view that has no tooltip to show leaves the event ignored.
  return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST(ViewGesturesTest, ANameCutShortShowsWholeAsItsTooltipAndOneThatFitsShowsNone) {
  const std::string longName = "应收账款账龄分析与坏账准备计提明细表（按客户和业务员汇总）";
  Grid grid;
  grid.SetMaxCols(2);
  grid.SetMaxRows(2);
  grid.SetText(1, 1, longName);
  grid.SetText(1, 2, "凭证");
  grid.SetColWidth(1, 80);
  grid.resize(300, 200);
  grid.show();
  KeyedTree tree;
  tree.Add({}, "Top1", longName);
  tree.Add({}, "Top2", "凭证");
  tree.resize(90, 200);
  tree.show();

  struct Case {
    QAbstractItemView* view;
    QModelIndex cut, fits;
  } cases[] = {{&grid, grid.model()->index(0, 0), grid.model()->index(1, 0)},
               {&tree, tree.model()->index(0, 0), tree.model()->index(1, 0)}};
  for (auto& c : cases) {
    EXPECT_EQ(tooltipAt(*c.view, c.cut), QString::fromStdString(longName)) << c.view->metaObject()->className();
    EXPECT_EQ(tooltipAt(*c.view, c.fits), QString()) << c.view->metaObject()->className();
  }
  // Wide enough, the long name fits and needs no tooltip.
  grid.SetColWidth(1, 900);
  grid.resize(1000, 200);
  EXPECT_EQ(tooltipAt(grid, grid.model()->index(0, 0)), QString());
}

TEST(ViewGesturesTest, AClickOnTheSelectedNodeRenamesOnlyAfterAPause) {
  KeyedTree tree;
  tree.SetLabelEdit(true);
  TreeNode first = tree.Add({}, "Top1", "常用功能");
  TreeNode second = tree.Add({}, "Top2", "月末工作");
  tree.resize(200, 200);
  tree.show();
  QApplication::setActiveWindow(&tree);
  tree.setFocus();
  QSignalSpy edits(&tree, &KeyedTree::beforeLabelEdit);
  auto click = [&](const TreeNode& node) {
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(node.item()).center());
  };

  tree.SetRenamePause(60 * 60 * 1000);  // no real pause is that long
  click(first);                          // selects
  click(first);                          // at once again: a double click's pace, not a rename
  click(second);
  click(second);
  EXPECT_EQ(edits.count(), 0);

  tree.SetRenamePause(0);  // the pause is over
  click(second);
  EXPECT_EQ(edits.count(), 1);
  click(first);  // selecting another node never renames it
  EXPECT_EQ(edits.count(), 1);
}

TEST(ViewGesturesTest, TabMovesBetweenCellsAndCtrlTabLeavesTheGridEvenWhileACellIsEdited) {
  QWidget window;
  auto* before = new QLineEdit(&window);
  auto* grid = new Grid(&window);
  auto* after = new QLineEdit(&window);
  auto* layout = new QVBoxLayout(&window);
  for (QWidget* w : std::initializer_list<QWidget*>{before, grid, after}) layout->addWidget(w);
  grid->SetMaxCols(2);
  grid->SetMaxRows(2);
  window.show();
  QApplication::setActiveWindow(&window);

  struct Case {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool editing;
    QWidget* lands;
  } cases[] = {
      {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, false, after},
      {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, false, before},
      {"Ctrl+Tab in an edited cell", Qt::Key_Tab, Qt::ControlModifier, true, after},
      {"Ctrl+Shift+Tab in an edited cell", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, true, before},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    grid->setFocus(Qt::TabFocusReason);
    grid->SetActiveCell(1, 1);
    QTest::keyClick(grid, Qt::Key_Tab);  // a plain Tab stays in the grid, a cell on
    ASSERT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->ActiveCol(), 2);
    QWidget* target = grid;
    if (c.editing) {
      grid->editItem(grid->currentItem());
      target = QApplication::focusWidget();
      ASSERT_NE(qobject_cast<QLineEdit*>(target), nullptr);
      QTest::keyClicks(target, "x");
    }
    QTest::keyClick(target, c.key, c.modifiers);
    EXPECT_EQ(QApplication::focusWidget(), c.lands);
    if (c.editing) {
      EXPECT_EQ(grid->Text(2, 1), "x") << "what was typed is kept";
    }
    grid->SetText(2, 1, "");
  }
}

TEST(ViewGesturesTest, ATreeReachedByTabHasACurrentNodeThatSpaceTicks) {
  for (const bool labelEdit : {false, true}) {
    SCOPED_TRACE(labelEdit ? "with renaming" : "without renaming");
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* tree = new KeyedTree(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(before);
    layout->addWidget(tree);
    tree->SetCheckBoxes(true);
    tree->SetLabelEdit(labelEdit);
    TreeNode first = tree->Add({}, "Grp1", "财务部");
    tree->Add({}, "Grp2", "销售部");
    tree->SetSelectedItem({});  // as a window that cleared it leaves it
    window.show();
    QApplication::setActiveWindow(&window);
    QSignalSpy clicks(tree, &KeyedTree::nodeClick);
    QSignalSpy checks(tree, &KeyedTree::nodeCheck);

    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), tree);
    EXPECT_EQ(tree->SelectedItem().item(), first.item());
    EXPECT_EQ(clicks.count(), 0) << "coming to the tree clicks nothing";
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_TRUE(first.Checked());
    EXPECT_EQ(checks.count(), 1);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(tree->SelectedItem().Key(), "Grp2");
  }
}

}  // namespace
}  // namespace wayfind::widgets
