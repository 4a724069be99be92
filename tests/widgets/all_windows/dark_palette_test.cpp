// Every registered window follows a dark desktop palette: no part of it keeps a
// light background of its own, and every cell coloured by the window (locked
// rows) stays readable against the palette's text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>
#include <QWidget>
#include <cstdlib>

#include "widgets/form_registry.h"
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

}  // namespace
}  // namespace wayfind::widgets
