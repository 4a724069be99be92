// The dialogs' captions fit their controls in every language: English texts are
// longer than the Chinese the layout was drawn for.
#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>

#include "dialogs/dlg_add_item.h"
#include "dialogs/frm_select_user.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"

namespace wayfind::dialogs {
namespace {

// The captions of a form's visible labels and buttons wider than their control.
std::vector<std::string> clipped(QWidget& form) {
  std::vector<std::string> out;
  for (QWidget* w : form.findChildren<QWidget*>()) {
    if (w->isHidden()) continue;
    QString text;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (text.isEmpty()) continue;
    // A push button's size hint has a minimum width of its own: measure its text.
    const int needed = qobject_cast<QPushButton*>(w)
                           ? w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 8
                           : w->sizeHint().width();
    if (needed > w->width())
      out.push_back(w->objectName().toStdString() + " \"" + text.toStdString() + "\" needs " +
                    std::to_string(needed) + " of " + std::to_string(w->width()));
  }
  return out;
}

class CaptionsFitTest : public windowtests::WindowTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(CaptionsFitTest, EveryModeOfTheItemDialog) {
  setLanguage(GetParam());
  auto* dlg = qobject_cast<dlgAddItem*>(widgets::forms().form(dlgAddItem::kFormName));
  ASSERT_NE(dlg, nullptr);
  for (const char* mode : {"All0", "Top1", "Grp1", "Sys101", "Sub10101", "EditDetail"}) {
    dlg->curLevel = mode;
    dlg->Load();
    EXPECT_EQ(windowtests::join(clipped(*dlg)), "") << mode;
    dlg->Unload();
  }
}

TEST_P(CaptionsFitTest, TheUserChooser) {
  setLanguage(GetParam());
  auto* dlg = qobject_cast<frmSelectUser*>(widgets::forms().form(frmSelectUser::kFormName));
  ASSERT_NE(dlg, nullptr);
  dlg->Load();
  EXPECT_EQ(windowtests::join(clipped(*dlg)), "");
}

INSTANTIATE_TEST_SUITE_P(Languages, CaptionsFitTest, ::testing::Values("chs", "en", "cht"));

}  // namespace
}  // namespace wayfind::dialogs
