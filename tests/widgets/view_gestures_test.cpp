// What the lists do for the user beyond showing items: a name cut short shows
// whole as its tooltip, and a click on the selected node renames it only after a
// pause, driven by real mouse events.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
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

}  // namespace
}  // namespace wayfind::widgets
