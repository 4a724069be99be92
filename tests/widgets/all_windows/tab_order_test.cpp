// Tab goes through every window's controls in the order they are read: row by
// row from the top, left to right within a row (a control beside another counts
// as the same row), and no window opens with the focus in a grid, from which
// only Ctrl+Tab leads out.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLayout>
#include <QWidget>

#include "widgets/form_registry.h"
#include "widgets/grid.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

std::vector<QWidget*> tabChain(QWidget& window) {
  std::vector<QWidget*> out;
  for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain())
    if (w->window() == &window && w->isVisibleTo(&window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
      out.push_back(w);
  return out;
}

// Whether b may follow a in reading order.
bool readsAfter(QWidget& window, const QWidget* a, const QWidget* b) {
  const QRect ra(a->mapTo(&window, QPoint(0, 0)), a->size()), rb(b->mapTo(&window, QPoint(0, 0)), b->size());
  const bool sameRow = ra.top() < rb.bottom() && rb.top() < ra.bottom();
  return sameRow ? ra.left() <= rb.left() : ra.top() <= rb.top();
}

class TabOrderTest : public windowtests::WindowTest {};

TEST_F(TabOrderTest, TabFollowsTheLayoutInEveryWindow) {
  login(16385);
  for (const std::string& window : forms().names()) {
    SCOPED_TRACE(window);
    Form* form = &windowtests::openAsPictured(window, /*shown=*/true);
    const auto chain = tabChain(*form);
    EXPECT_FALSE(chain.empty());
    for (size_t i = 1; i < chain.size(); ++i)
      EXPECT_TRUE(readsAfter(*form, chain[i - 1], chain[i]))
          << chain[i - 1]->objectName().toStdString() << " then " << chain[i]->objectName().toStdString();
    form->Unload();
    forms().release(window);
  }
}

TEST_F(TabOrderTest, NoWindowOpensInAGridEvenWhenItLastClosedThere) {
  login(16385);
  for (const std::string& window : forms().names()) {
    if (window.find('.') != std::string::npos) continue;
    SCOPED_TRACE(window);
    forms().release(window);
    Form* form = forms().form(window);
    for (const char* showing : {"first showing", "showing again"}) {
      SCOPED_TRACE(showing);
      form->Load();
      form->setAttribute(Qt::WA_DontShowOnScreen, true);
      form->show();
      QApplication::setActiveWindow(form);
      EXPECT_EQ(qobject_cast<Grid*>(QApplication::focusWidget()), nullptr)
          << QApplication::focusWidget()->objectName().toStdString();
      for (Grid* grid : form->findChildren<Grid*>())
        if (grid->isVisibleTo(form)) grid->setFocus();  // closed with the focus in a grid
      form->Unload();
    }
    forms().release(window);
  }
}

}  // namespace
}  // namespace wayfind::widgets
