#include "erp/frmres/frm_res_loader.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <functional>
#include <set>

#include "erp/api/progids.h"
#include "erp/api/window_object.h"
#include "erp/client/res_loader.h"
#include "platform/automation/registry.h"
#include "platform/navigation/languages.h"

namespace wayfind::erp::frmres {

namespace {

constexpr const char* kSource = "FrmRes.FrmResLoader";

QWidget* widgetOf(const platform::ObjectPtr& window) {
  auto object = std::dynamic_pointer_cast<api::WindowObject>(window);
  if (!object || !object->widget())
    throw platform::AutomationError(kObjectRequired, kSource, "Object required: the window is not a window.");
  return object->widget();
}

bool isChinese(char32_t c) {
  return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x3000 && c <= 0x303F) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x2FFFF);
}

bool containsChinese(const QString& text) {
  for (char32_t c : text.toUcs4())
    if (isChinese(c)) return true;
  return false;
}

bool skipped(const QObject* object) { return object->property("wayfindNoTranslate").toBool(); }

// One caption of a widget: where its Chinese text is remembered and how it is set.
using Setter = std::function<void(const QString&)>;
using Visitor = std::function<void(QObject* holder, const char* slot, const QString& current, const Setter& set)>;

// The Chinese text of a caption. A caption still showing what an earlier load
// set comes from the Chinese remembered then; a caption the window has set since
// (or never loaded) is its own Chinese text.
QString sourceText(QObject* holder, const char* slot, const QString& current) {
  const QVariant remembered = holder->property(slot);
  const QVariant shown = holder->property((QByteArray(slot) + "_shown").constData());
  if (remembered.isValid() && shown.isValid() && shown.toString() == current) return remembered.toString();
  return current;
}

// Remembers the Chinese text of a caption and what the load set in its place.
void remember(QObject* holder, const char* slot, const QString& source, const QString& shown) {
  holder->setProperty(slot, source);
  holder->setProperty((QByteArray(slot) + "_shown").constData(), shown);
}

void visitAction(QAction* action, const Visitor& visit) {
  if (action->isSeparator() || skipped(action)) return;
  // A tool's tooltip repeats its caption unless set apart; read it before the text
  // changes, as QAction derives one from the other.
  const QString tip = action->toolTip();
  visit(action, "wayfindSrc_text", action->text(), [action](const QString& t) { action->setText(t); });
  visit(action, "wayfindSrc_toolTip", tip, [action](const QString& t) { action->setToolTip(t); });
}

void visitWidget(QWidget* w, bool isRoot, const Visitor& visit) {
  if (skipped(w)) return;
  // A tool button shows its action's caption and tooltip; the action is translated.
  if (auto* tool = qobject_cast<QToolButton*>(w); tool && tool->defaultAction()) return;
  if (isRoot || w->isWindow())
    visit(w, "wayfindSrc_title", w->windowTitle(), [w](const QString& t) { w->setWindowTitle(t); });
  if (auto* label = qobject_cast<QLabel*>(w)) {
    visit(w, "wayfindSrc_text", label->text(), [label](const QString& t) { label->setText(t); });
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    visit(w, "wayfindSrc_text", button->text(), [button](const QString& t) { button->setText(t); });
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    visit(w, "wayfindSrc_title", group->title(), [group](const QString& t) { group->setTitle(t); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    visit(w, "wayfindSrc_placeholder", edit->placeholderText(),
          [edit](const QString& t) { edit->setPlaceholderText(t); });
  } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
    for (int i = 0; i < tabs->count(); ++i) {
      const QByteArray slot = "wayfindSrc_tab" + QByteArray::number(i);
      visit(w, slot.constData(), tabs->tabText(i), [tabs, i](const QString& t) { tabs->setTabText(i, t); });
    }
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->property("wayfindTranslateItems").toBool()) {
      for (int i = 0; i < combo->count(); ++i) {
        const QByteArray slot = "wayfindSrc_item" + QByteArray::number(i);
        visit(w, slot.constData(), combo->itemText(i), [combo, i](const QString& t) { combo->setItemText(i, t); });
      }
    }
  }
  if (auto* table = qobject_cast<QTableWidget*>(w)) {
    for (int c = 0; c < table->columnCount(); ++c) {
      QTableWidgetItem* item = table->horizontalHeaderItem(c);
      if (!item) continue;
      const QByteArray slot = "wayfindSrc_header" + QByteArray::number(c);
      visit(table, slot.constData(), item->text(), [item](const QString& t) { item->setText(t); });
    }
  }
  if (auto* tree = qobject_cast<QTreeWidget*>(w); tree && !tree->isHeaderHidden()) {
    QTreeWidgetItem* header = tree->headerItem();
    for (int c = 0; header && c < header->columnCount(); ++c) {
      const QByteArray slot = "wayfindSrc_header" + QByteArray::number(c);
      visit(tree, slot.constData(), header->text(c), [header, c](const QString& t) { header->setText(c, t); });
    }
  }
  visit(w, "wayfindSrc_toolTip", w->toolTip(), [w](const QString& t) { w->setToolTip(t); });
}

// Visits every caption of root and its children, each action once.
void visitCaptions(QWidget* root, const Visitor& visit) {
  std::set<QAction*> seenActions;
  auto visitActions = [&](QWidget* w) {
    for (QAction* a : w->actions())
      if (seenActions.insert(a).second) visitAction(a, visit);
  };
  visitWidget(root, true, visit);
  visitActions(root);
  for (QWidget* child : root->findChildren<QWidget*>()) {
    bool inSkipped = false;
    for (QWidget* p = child; p && p != root; p = p->parentWidget())
      if (skipped(p)) inSkipped = true;
    if (inSkipped) continue;
    visitWidget(child, false, visit);
    visitActions(child);
  }
  for (QAction* a : root->findChildren<QAction*>())
    if (seenActions.insert(a).second) visitAction(a, visit);
}

size_t leadingSpaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[n] == ' ') ++n;
  return n;
}

size_t trailingSpaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] == ' ') ++n;
  return n;
}

}  // namespace

QString fontFamilyFor(const std::string& languageCode) {
  const QStringList installed = QFontDatabase::families();
  auto pick = [&](const QStringList& preferred, QFontDatabase::WritingSystem script) -> QString {
    for (const QString& family : preferred)
      if (installed.contains(family)) return family;
    const QStringList covering = QFontDatabase::families(script);
    return covering.isEmpty() ? QApplication::font().family() : covering.first();
  };
  const nav::LanguageInfo& lang = nav::LanguageOfCode(languageCode);
  QStringList preferred;
  for (const char* family : lang.fonts)
    if (family) preferred << QString::fromUtf8(family);
  if (preferred.isEmpty()) return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  return pick(preferred, std::string_view(lang.script) == "Hant" ? QFontDatabase::TraditionalChinese
                                                                 : QFontDatabase::SimplifiedChinese);
}

QFont languageFont(QFont font, const std::string& languageCode) {
  const QString family = fontFamilyFor(languageCode);
  font.setFamily(family);
  // The CJK families come first, the system UI font after them, so Chinese data
  // shown in an English window (user names, stored item names) still has glyphs.
  QStringList families{family};
  if (nav::LanguageOfCode(languageCode).fonts[0] == nullptr) families << fontFamilyFor(nav::WrittenLanguage().code);
  font.setFamilies(families);
  return font;
}

std::string FrmResLoader::SetFrmFont(platform::ObjectPtr& window, const std::string& languageCode) {
  QWidget* widget = widgetOf(window);
  const QFont font = languageFont(widget->font(), languageCode);
  // A window that has the font already (the program set it as the application's)
  // is left alone: setting it again would lay out every control once more.
  if (widget->font() != font) widget->setFont(font);
  return font.family().toStdString();
}

void SetApplicationFont(const std::string& languageCode) {
  QApplication::setFont(languageFont(QApplication::font(), languageCode));
}

platform::ObjectPtr FrmResLoader::LoadFrmResStrings(platform::ObjectPtr& window, const std::string& languageCode,
                                                    const std::string& resDirectory,
                                                    const std::string& resFileBaseName, platform::ObjectPtr&) {
  QWidget* root = widgetOf(window);
  const bool chinese = nav::IsWrittenLanguage(languageCode);
  client::ResLoader loader;
  loader.setResDirectory(resDirectory);
  loader.setResFileBaseName(resFileBaseName.empty() ? "T8Base" : resFileBaseName);
  loader.setLanguageID(languageCode);

  std::vector<std::string> missing;
  std::set<std::string> reported;
  visitCaptions(root, [&](QObject* holder, const char* slot, const QString& current, const Setter& set) {
    const QString source = sourceText(holder, slot, current);
    if (!containsChinese(source)) return;
    auto show = [&](const QString& text) {
      set(text);
      remember(holder, slot, source, text);
    };
    if (chinese) {
      show(source);
      return;
    }
    const std::string text = source.toStdString();
    const size_t lead = leadingSpaces(text);
    const size_t trail = trailingSpaces(text);
    const std::string key = text.substr(lead, text.size() - lead - trail);
    try {
      const std::string translated = loader.LoadString(key);
      show(QString::fromStdString(std::string(lead, ' ') + translated + std::string(trail, ' ')));
    } catch (const platform::AutomationError& e) {
      if (e.number() != client::kResourceNotFound) throw;  // an unreadable table fails the load
      show(source);
      if (reported.insert(key).second) missing.push_back(key);
    }
  });
  return std::make_shared<api::TextList>(std::move(missing));
}

std::vector<std::string> captionsOf(QWidget* widget) {
  std::vector<std::string> out;
  visitCaptions(widget, [&](QObject* holder, const char* slot, const QString& current, const Setter&) {
    const QString source = sourceText(holder, slot, current);
    if (containsChinese(source)) out.push_back(source.toStdString());
  });
  return out;
}

std::vector<std::string> chineseCaptionsShown(QWidget* widget) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  visitCaptions(widget, [&](QObject*, const char*, const QString& current, const Setter&) {
    if (containsChinese(current) && seen.insert(current.toStdString()).second) out.push_back(current.toStdString());
  });
  return out;
}

void registerFrmResLoader() {
  platform::Registry::instance().add(progid::kFrmResLoader, [] {
    return std::static_pointer_cast<platform::Object>(std::make_shared<FrmResLoader>());
  });
}

}  // namespace wayfind::erp::frmres
