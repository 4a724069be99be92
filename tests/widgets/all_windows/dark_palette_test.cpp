// Every registered window follows a dark desktop palette: no part of it keeps a
// light background of its own, every cell coloured by the window (locked rows)
// stays readable against the palette's text, and a check box shows in either
// state at the 3:1 contrast controls need.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>
#include <QWidget>
#include <cmath>
#include <cstdlib>

#include "widgets/form_registry.h"
#include "widgets/grid.h"
#include "widgets/windows_runtime.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

class DarkPaletteTest : public windowtests::WindowTest {
 protected:
  void SetUp() override {
    windowtests::WindowTest::SetUp();
    before_ = QApplication::palette();
    QApplication::setPalette(darkPalette());
  }
  void TearDown() override {
    QApplication::setPalette(before_);
    windowtests::WindowTest::TearDown();
  }
  QPalette before_;
};

TEST_F(DarkPaletteTest, EveryWindowTakesTheDarkPaletteAndItsColouredCellsStayReadable) {
  login(16385);  // a user whose editor shows locked rows
  for (const std::string& window : forms().names()) {
    SCOPED_TRACE(window);
    Form* form = &windowtests::openAsPictured(window, /*shown=*/false);
    for (QWidget* w : form->findChildren<QWidget*>()) {
      const QColor background = w->palette().color(w->backgroundRole());
      EXPECT_LT(background.lightness(), 128) << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
    for (QTableWidget* grid : form->findChildren<QTableWidget*>()) {
      const int text = grid->palette().color(QPalette::Text).lightness();
      for (int r = 0; r < grid->rowCount(); ++r) {
        for (int c = 0; c < grid->columnCount(); ++c) {
          QTableWidgetItem* item = grid->item(r, c);
          if (!item || item->background().style() == Qt::NoBrush) continue;
          EXPECT_GT(std::abs(item->background().color().lightness() - text), 100)
              << grid->objectName().toStdString() << " row " << r + 1;
        }
      }
    }
    form->Unload();
    forms().release(window);
  }
}

// WCAG's contrast of two colours (1 to 21).
double contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

TEST_F(DarkPaletteTest, ACheckBoxCellShowsTickedOrNotAgainstItsField) {
  Grid grid;
  grid.SetMaxCols(1);
  grid.SetColType(1, Grid::CellType::CheckBox);
  grid.SetMaxRows(2);
  grid.SetValue(1, 2, 1);
  grid.resize(200, 120);
  grid.show();
  const QImage picture = grid.grab().toImage();
  for (int row = 1; row <= 2; ++row) {
    SCOPED_TRACE(row == 1 ? "not ticked" : "ticked");
    const QRect cell = grid.visualRect(grid.model()->index(row - 1, 0)).translated(grid.viewport()->pos());
    const QColor field = picture.pixelColor(cell.right() - 2, cell.center().y());
    double most = 1;
    for (int y = cell.top() + 1; y < cell.bottom(); ++y)
      for (int x = cell.left() + 1; x < cell.right(); ++x) most = std::max(most, contrast(picture.pixelColor(x, y), field));
    EXPECT_GE(most, 3.0);
  }
}

}  // namespace
}  // namespace wayfind::widgets
