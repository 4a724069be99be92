// Every registered window's captions fit their controls in every language, laid
// out as the window shows: no text is cut off. The same test runs again at
// 200 % (QT_SCALE_FACTOR=2, see this folder's CMakeLists).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QToolButton>

#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

// The captions of a window's visible labels, buttons and group boxes wider than
// the room their control has.
std::vector<std::string> clipped(QWidget& window) {
  std::vector<std::string> out;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->property("wayfindNoTranslate").toBool()) continue;
    QString text;
    int needed = 0;
    if (auto* tool = qobject_cast<QToolButton*>(w)) {
      if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly) continue;
      text = tool->text();
      needed = tool->sizeHint().width();
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
      text = push->text();
      needed = push->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 8;
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      text = box->text();
      needed = box->sizeHint().width();
    } else if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap() && label->pixmap().isNull()) {
      text = label->text();
      needed = label->sizeHint().width();
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      text = group->title();
      needed = group->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 16;
    }
    if (text.isEmpty() || needed <= w->width()) continue;
    out.push_back(w->metaObject()->className() + std::string(" ") + w->objectName().toStdString() + " \"" +
                  text.toStdString() + "\" needs " + std::to_string(needed) + " of " + std::to_string(w->width()));
  }
  return out;
}

class AllWindowsCaptionsTest : public windowtests::WindowTest {};

TEST_F(AllWindowsCaptionsTest, EveryCaptionOfEveryWindowFitsInEveryLanguage) {
  login(16385);
  for (const char* language : {"chs", "en", "cht"}) {
    for (const std::string& window : forms().names()) {
      SCOPED_TRACE(window + " in " + language);
      setLanguage(language);
      Form* form = &windowtests::openAsPictured(window, /*shown=*/true);
      const auto cut = clipped(*form);
      EXPECT_TRUE(cut.empty()) << windowtests::join(cut);
      form->Unload();
      forms().release(window);
    }
  }
}

}  // namespace
}  // namespace wayfind::widgets
