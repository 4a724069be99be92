// A list whose texts are laid out once must look and measure exactly as the
// style's own delegate draws it: the same column widths, the same pixels, for
// Chinese and Latin texts, bold rows, a selected row with the
// focus (its frame) and a text cut short.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QApplication>
#include <QTreeWidget>

#include "widgets/laid_out_text.h"

namespace wayfind::widgets {
namespace {

// The list's pixels with the focus in it (only one window at a time has it).
QImage focusedImage(QTreeWidget& list) {
  list.show();
  list.activateWindow();
  list.setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(list.hasFocus());
  return list.grab().toImage();
}

// A two-column list of the rows, both columns sized to their contents.
std::unique_ptr<QTreeWidget> listOf(const std::vector<std::pair<QString, QString>>& rows, bool laidOut) {
  auto list = std::make_unique<QTreeWidget>();
  list->setColumnCount(2);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  if (laidOut) LayOutTextsOnce(list.get());
  for (size_t i = 0; i < rows.size(); ++i) {
    auto* item = new QTreeWidgetItem({rows[i].first, rows[i].second});
    if (i % 3 == 1) {
      QFont bold = item->font(0);
      bold.setBold(true);
      item->setFont(0, bold);
    }
    list->addTopLevelItem(item);
  }
  list->header()->setStretchLastSection(false);
  list->resize(420, 260);
  for (int column = 0; column < 2; ++column) list->resizeColumnToContents(column);
  list->setCurrentItem(list->topLevelItem(2));
  return list;
}

TEST(LaidOutTextTest, ListsMeasureAndPaintAsTheStylesOwnDelegate) {
  const std::vector<std::pair<QString, QString>> rows = {
      {"凭证录入", "总账 › 凭证处理 › 凭证录入"},
      {"账户余额查询", "Voucher Entry"},
      {"Foreign Currency Voucher Entry", "拼音首字母：pzlr"},
      {"應收賬款帳齡分析", "gl voucher"},
      {"明细4321", "大类3 › 子系统43 › 子功能432 › 很长很长很长很长很长很长很长很长很长很长的位置，必须截短显示"},
      {"", "空名"},
  };
  auto plain = listOf(rows, false);
  auto laid = listOf(rows, true);
  for (int column = 0; column < 2; ++column) EXPECT_EQ(laid->columnWidth(column), plain->columnWidth(column)) << column;
  // Narrower than its text, the place is cut short the same way.
  plain->setColumnWidth(1, 150);
  laid->setColumnWidth(1, 150);
  const QImage a = focusedImage(*plain), b = focusedImage(*laid);
  ASSERT_EQ(a.size(), b.size());
  // Glyphs may land a fraction of a pixel apart at an edge; a text moved, cut
  // differently or missing changes thousands of pixels.
  qsizetype differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
  EXPECT_LT(differing, a.width() * a.height() / 2000) << "pixels that differ";
}

}  // namespace
}  // namespace wayfind::widgets
