// Every registered window's captions fit their controls in every language, laid
// out as the window shows: no text is cut off. In the pseudo-language qps (its
// texts longer than any real translation, see windows_support/pseudo_language.h)
// every text a window shows also went through the translation. The same test
// runs again at 200 % (QT_SCALE_FACTOR=2, see this folder's CMakeLists).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <set>

#include "platform/navigation/languages.h"
#include "widgets/form_registry.h"
#include "windows_support/pseudo_language.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

std::string describe(const QWidget& w, const QString& text) {
  // A header by the view it heads.
  const QWidget& named = qobject_cast<const QHeaderView*>(&w) && w.parentWidget() ? *w.parentWidget() : w;
  return w.metaObject()->className() + std::string(" ") + named.objectName().toStdString() + " \"" +
         text.toStdString() + "\"";
}

// The visible widgets of window, without those (and their children) that show
// data rather than the system's texts (wayfindNoTranslate).
std::vector<QWidget*> shownWidgets(QWidget& window) {
  std::vector<QWidget*> out;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    bool data = false;
    for (QWidget* p = w; p && p != &window && !data; p = p->parentWidget())
      data = p->property("wayfindNoTranslate").toBool();
    if (!data && w->isVisibleTo(&window)) out.push_back(w);
  }
  return out;
}

// The captions of a window's visible labels, buttons, group boxes and header
// sections wider than the room their control has.
std::vector<std::string> clipped(QWidget& window) {
  std::vector<std::string> out;
  for (QWidget* w : shownWidgets(window)) {
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
    } else if (auto* header = qobject_cast<QHeaderView*>(w); header && header->orientation() == Qt::Horizontal) {
      for (int i = 0; header->model() && i < header->count(); ++i) {
        if (header->isSectionHidden(i) || header->sectionSize(i) == 0) continue;
        const QString caption = header->model()->headerData(i, Qt::Horizontal).toString();
        if (!caption.isEmpty() && header->sectionSizeHint(i) > header->sectionSize(i))
          out.push_back(describe(*w, caption) + " needs " + std::to_string(header->sectionSizeHint(i)) + " of " +
                        std::to_string(header->sectionSize(i)));
      }
      continue;
    }
    if (text.isEmpty() || needed <= w->width()) continue;
    out.push_back(describe(*w, text) + " needs " + std::to_string(needed) + " of " + std::to_string(w->width()));
  }
  return out;
}

// What text shows outside the pseudo-language's markers that is more than
// digits, spaces and punctuation: a text that did not go through the translation.
QString unmarkedPart(const QString& text) {
  const QString open = QString::fromUtf8(windowtests::kPseudoOpen);
  const QString close = QString::fromUtf8(windowtests::kPseudoClose);
  QString outside;
  int depth = 0;
  for (const QChar c : text) {
    if (c == open[0]) ++depth;
    else if (c == close[0] && depth > 0) --depth;
    else if (depth == 0) outside += c;
  }
  for (const QChar c : outside)
    if (c.isLetter()) return outside.trimmed();
  return {};
}

// Every text window shows that did not go through the translation, each once.
std::vector<std::string> unmarked(QWidget& window) {
  std::vector<std::string> out;
  std::set<QString> seen;
  auto check = [&](const QWidget& w, QString text) {
    if (Qt::mightBeRichText(text)) text = QTextDocumentFragment::fromHtml(text).toPlainText();
    if (!unmarkedPart(text).isEmpty() && seen.insert(text).second) out.push_back(describe(w, text));
  };
  auto checkActions = [&](const QWidget& w) {
    for (QAction* a : w.actions())
      if (!a->isSeparator() && !a->property("wayfindNoTranslate").toBool()) {
        check(w, a->text());
        check(w, a->toolTip());
      }
  };
  check(window, window.windowTitle());
  checkActions(window);
  for (QWidget* w : shownWidgets(window)) {
    check(*w, w->toolTip());
    checkActions(*w);
    if (auto* label = qobject_cast<QLabel*>(w)) check(*w, label->text());
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) check(*w, button->text());
    else if (auto* group = qobject_cast<QGroupBox*>(w)) check(*w, group->title());
    else if (auto* edit = qobject_cast<QLineEdit*>(w)) check(*w, edit->placeholderText());
    else if (auto* tabs = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < tabs->count(); ++i) check(*w, tabs->tabText(i));
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && !combo->isEditable())
      for (int i = 0; i < combo->count(); ++i) check(*w, combo->itemText(i));
    else if (auto* header = qobject_cast<QHeaderView*>(w))
      for (int i = 0; header->model() && i < header->count(); ++i)
        if (!header->isSectionHidden(i)) check(*w, header->model()->headerData(i, header->orientation()).toString());
  }
  return out;
}

class AllWindowsCaptionsTest : public windowtests::WindowTest {};

TEST_F(AllWindowsCaptionsTest, EveryCaptionOfEveryWindowFitsInEveryLanguage) {
  offerPseudoLanguage();
  login(16385);
  for (const nav::LanguageInfo& language : nav::kLanguages) {
    for (const std::string& window : forms().names()) {
      SCOPED_TRACE(window + " in " + language.code);
      setLanguage(language.code);
      Form* form = &windowtests::openAsPictured(window, /*shown=*/true);
      const auto cut = clipped(*form);
      EXPECT_TRUE(cut.empty()) << windowtests::join(cut);
      if (language.testOnly) {
        const auto untranslated = unmarked(*form);
        EXPECT_TRUE(untranslated.empty()) << "not through the translation:\n" << windowtests::join(untranslated);
      }
      form->Unload();
      forms().release(window);
    }
  }
}

}  // namespace
}  // namespace wayfind::widgets
