#include "app/console/console_window.h"

#include <QAction>
#include <QActionGroup>
#include <QFont>
#include <QFormLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/console/console_items.h"
#include "app/console/function_chooser.h"
#include "app/console/language_choice.h"
#include "context/language.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/window_object.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/navigation/node_keys.h"
#include "platform/automation/registry.h"
#include "update/datas_update.h"
#include "widgets/accessible_names.h"
#include "widgets/busy_state.h"
#include "widgets/elided_tooltips.h"
#include "widgets/help_window.h"
#include "widgets/qt_translations.h"


namespace wayfind::app::console {

ConsoleWindow::ConsoleWindow(QWidget* parent) : QMainWindow(parent), search_(makeFunctionSearch()) {
  setObjectName("frmConsole");
  widgets::UseQtTranslations();
  buildUi();
  buildMenus();
  // Captions are written in Chinese and translated here, once; what the console
  // fills in later (names, site links, messages) is data or looked up as shown.
  untranslated_ = context::ApplyFormResources(erp::api::windowObject(this));
  nameControls();
  widgets::NameControls(this);
  // A user who knows the help code types it at once.
  txtHelpCode_->setFocus(Qt::OtherFocusReason);
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::nameControls() {
  // Each control by what it holds, so a screen reader tells the two boxes and
  // the four lists apart; the rest are named by their captions and labels.
  findChild<QLabel*>("lblHelpCode")->setBuddy(txtHelpCode_);
  // The tab bar is read by its current tab ("功能菜单"), so the trees on the
  // tabs say what they hold instead.
  const std::pair<QWidget*, const char*> names[] = {
      {txtSearch_, "查找功能"}, {lvResult_, "查找结果"}, {lstRecent_, "最近启动"},
      {tvMenu_, "功能树"},      {tvNormal_, "常用功能组"},
  };
  for (const auto& [control, chinese] : names) control->setAccessibleName(lang(chinese));
  // The search box's clear button, Qt's own, has no caption to be read by.
  for (auto* clear : txtSearch_->findChildren<QToolButton*>()) {
    clear->setAccessibleName(lang("清除查找内容"));
    clear->setToolTip(lang("清除查找内容"));
  }
}

bool ConsoleWindow::load() {
  const bool loaded = guarded([this] {
    settings_ = widgets::RunBusy(this, [this] { return ConsoleSettings::read(source_); });
    applySettings();
    fillTopLevel();
    fillFavourites();
  });
  if (loaded) prepareSearch();
  return loaded;
}

void ConsoleWindow::prepareSearch() {
  // The search gets its index ready between the console's events, a few
  // milliseconds at a time, so the first keystroke finds it waiting. A failure
  // here stops only the preparing: the keystroke that needs the index reports it.
  if (!prepareTimer_) {
    prepareTimer_ = new QTimer(this);
    prepareTimer_->setInterval(4);
    connect(prepareTimer_, &QTimer::timeout, this, [this] {
      // While a window waits on the database its work runs on the database
      // thread and owns the store: the preparing waits for the next tick.
      if (widgets::IsBusy()) return;
      bool ready = true;
      try {
        ready = search_->prepareStep();
      } catch (const std::exception&) {
      }
      if (ready) prepareTimer_->stop();
    });
  }
  if (painted_) prepareTimer_->start();
}

bool ConsoleWindow::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::Paint && !painted_) {
    painted_ = true;
    if (prepareTimer_) prepareTimer_->start();
  }
  return handled;
}

void ConsoleWindow::refresh() {
  const QString selected = tvMenu_->currentItem() ? keyOf(tvMenu_->currentItem()) : QString();
  // A function shown at two places is chosen again at the one it was chosen at.
  const QVariant selectedPlace = tvMenu_->currentItem() ? tvMenu_->currentItem()->data(0, kPlaceRole) : QVariant();
  const QSet<QString> open = expandedKeys_;
  search_->treeChanged();
  prepareSearch();
  guarded([&] {
    settings_ = widgets::RunBusy(this, [this] { return ConsoleSettings::read(source_); });
    applySettings();
    fillTopLevel();
    // The tree is new: nothing in it is open until the branches open again.
    expandedKeys_.clear();
    // Open the same branches again, level by level: a parent opens before its
    // children can be found. A branch that cannot be read has said so once; the
    // others are left closed rather than each saying it again.
    bool readable = true;
    for (Level level : {Level::TopClass, Level::SubSystem, Level::SubFunc}) {
      QList<QTreeWidgetItem*> items;
      for (int i = 0; i < tvMenu_->topLevelItemCount(); ++i) items << tvMenu_->topLevelItem(i);
      while (readable && !items.isEmpty()) {
        QTreeWidgetItem* item = items.takeFirst();
        if (levelOf(item) == level && open.contains(keyOf(item))) {
          item->setExpanded(true);
          readable = item->data(0, kLoadedRole).toBool() || !item->isExpanded();
        }
        if (item->isExpanded())
          for (int i = 0; i < item->childCount(); ++i) items << item->child(i);
      }
    }
    if (!selected.isEmpty()) {
      QList<QTreeWidgetItem*> items;
      for (int i = 0; i < tvMenu_->topLevelItemCount(); ++i) items << tvMenu_->topLevelItem(i);
      while (!items.isEmpty()) {
        QTreeWidgetItem* item = items.takeFirst();
        if (keyOf(item) == selected && item->data(0, kPlaceRole) == selectedPlace) {
          QSignalBlocker block(tvMenu_);
          tvMenu_->setCurrentItem(item);
          break;
        }
        for (int i = 0; i < item->childCount(); ++i) items << item->child(i);
      }
    }
  });
  // The favourites on their own: a failure there leaves the tree as it was put back.
  guarded([&] { fillFavourites(); });
  if (!txtSearch_->text().trimmed().isEmpty()) runSearch(txtSearch_->text());
}

void ConsoleWindow::applySettings() {
  // The navigation on the right or on the left; insertWidget moves a widget that
  // the splitter already holds.
  splitter_->insertWidget(0, settings_.rightAlign ? workPanel_ : navPanel_);
  splitter_->setStretchFactor(0, settings_.rightAlign ? 3 : 2);
  splitter_->setStretchFactor(1, settings_.rightAlign ? 2 : 3);
  updateSiteLinks();
}

void ConsoleWindow::updateSiteLinks() {
  const std::string* names[] = {&settings_.decisionSite, &settings_.hrSite, &settings_.portalSite};
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    const QString name = q(*names[i]);
    lblSites_[i]->setVisible(!name.isEmpty());
    if (!name.isEmpty()) {
      lblSites_[i]->setText(QString("<a href=\"%1\">%1</a>").arg(name.toHtmlEscaped()));
      lblSites_[i]->setProperty("wayfindSite", name);
      any = true;
    }
  }
  siteBar_->setVisible(any);
}

void ConsoleWindow::startAt(int32_t subFuncId, int32_t detailFuncId, const QString& shownName,
                            const QString& shownHelpCode) {
  std::optional<NavItem> function;
  if (!guarded([&] { function = widgets::RunBusy(this, [&] { return source_.detailFuncAt(subFuncId, detailFuncId); }); }))
    return;
  if (!function) {
    showStatus(langFormat("功能 %1 已不存在或不可用。", QString::number(detailFuncId)));
    return;
  }
  if (!shownName.isEmpty()) {
    function->name = shownName.toStdString();
    function->helpCode = shownHelpCode.toStdString();
  }
  startFunction(*function);
}

bool ConsoleWindow::startByHelpCode(const QString& helpCode) {
  const QString code = helpCode.trimmed();
  if (code.isEmpty()) return false;
  std::vector<NavItem> functions;
  if (!guarded([&] { functions = widgets::RunBusy(this, [&] { return source_.byHelpCode(code.toStdString()); }); }))
    return false;
  if (functions.empty()) {
    showStatus(langFormat("没有助记码为 %1 的功能。", code));
    txtHelpCode_->selectAll();
    return false;
  }
  std::optional<NavItem> chosen = functions.front();
  if (functions.size() > 1) chosen = chooseFunction(this, functions);
  if (!chosen || !startFunction(*chosen)) return false;
  txtHelpCode_->clear();
  return true;
}

bool ConsoleWindow::startFunction(const NavItem& function) {
  if (!function.enabled) {
    showStatus(langFormat("功能已停用：%1", q(function.name)));
    return false;
  }
  lblFuncName_->setText(q(function.name));
  lblClassName_->setText(q(function.className));
  lblClassParam_->setText(q(function.classParam));
  QString status = langFormat("启动功能：%1", q(function.name)) + "  " +
                   langFormat("类名：%1", q(function.className));
  if (!function.classParam.empty()) status += "  " + langFormat("参数：%1", q(function.classParam));
  showStatus(status);
  search_->functionStarted(function.id);
  recent_.add(function);
  updateRecentList();
  return true;
}

void ConsoleWindow::updateRecentList() {
  lstRecent_->clear();
  for (const auto& f : recent_.items()) {
    auto* item = new QListWidgetItem(f.helpCode.empty() ? q(f.name) : q(f.name) + "  [" + q(f.helpCode) + "]");
    item->setData(Qt::UserRole, f.id);
    item->setData(kPlaceRole, f.subFuncId);
    if (f.subFuncId == 0) {
      item->setData(kNameRole, q(f.name));
      item->setData(kHelpCodeRole, q(f.helpCode));
    }
    lstRecent_->addItem(item);
  }
}

namespace {

// What a result was found by, where the row does not show it already: the
// pinyin of which name, a name in another language or script, a second help code,
// or a near match.
QString matchNote(const SearchHit& hit) {
  const QString matched = q(hit.matched);
  if (hit.typo) return langFormat("近似：%1", matched);
  switch (hit.matchedBy) {
    case SearchHit::Matched::PinyinInitials: return langFormat("拼音首字母：%1", matched);
    case SearchHit::Matched::Pinyin: return langFormat("拼音：%1", matched);
    case SearchHit::Matched::WordStarts: return langFormat("词首：%1", matched);
    case SearchHit::Matched::Level: return langFormat("所在：%1", matched);
    case SearchHit::Matched::HelpCode: return hit.matched == hit.helpCode ? QString() : matched;
    default: return hit.matched == hit.name ? QString() : matched;
  }
}

}  // namespace

void ConsoleWindow::runSearch(const QString& text) {
  lvResult_->clear();
  if (text.trimmed().isEmpty()) return;
  std::vector<SearchHit> hits;
  if (!guarded([&] { hits = search_->find(text.toStdString(), kSearchLimit); })) return;
  // Every row is one line: the list measures one row's height, not each row's,
  // and the rows are painted once, when all are in.
  lvResult_->setUniformRowHeights(true);
  lvResult_->setUpdatesEnabled(false);
  for (const auto& hit : hits) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, q(hit.name));
    item->setText(1, q(hit.helpCode));
    item->setText(2, q(hit.path));
    item->setText(3, matchNote(hit));
    const Level level = hit.depth == 1   ? Level::TopClass
                        : hit.depth == 2 ? Level::SubSystem
                        : hit.depth == 3 ? Level::SubFunc
                                         : Level::DetailFunc;
    item->setData(0, kIdRole, hit.depth == 1 ? hit.topClassId : hit.depth == 2 ? hit.subSysId
                              : hit.depth == 3 ? hit.subFuncId : hit.detailFuncId);
    item->setData(0, kLevelRole, static_cast<int>(level));
    if (level != Level::DetailFunc) {
      // A level found by its name reads apart from the functions: it opens the tree.
      QFont bold = item->font(0);
      bold.setBold(true);
      item->setFont(0, bold);
    }
    item->setData(0, kPlaceRole, hit.subFuncId);
    item->setData(0, kKeyRole, QVariantList{hit.topClassId, hit.subSysId, hit.subFuncId, hit.detailFuncId});
    lvResult_->addTopLevelItem(item);
  }
  // Names and places read whole; what matched takes the rest of the width.
  for (int column = 0; column < 3; ++column) lvResult_->resizeColumnToContents(column);
  lvResult_->setUpdatesEnabled(true);
}

void ConsoleWindow::openConsoleEditor() {
  bool shown = false;
  guarded([&] { shown = platform::CBool(callApplication("ShowSetProp")); });
  if (!shown) {
    // The launcher says nothing when the user has no right to the editor.
    showStatus(lang("主控台编辑没有打开：没有使用权限，或打开失败。"));
    return;
  }
  // The main-console editor saves through the middle tier and leaves the loaded
  // tables as they were: load the newer version before showing the tree again.
  if (guarded([this] { widgets::RunBusy(this, [this] { source_.reget(); }); })) refresh();
}

void ConsoleWindow::openFavouritesEditor() {
  guarded([] { callApplication("ShowSetNormal"); });
  refresh();
}

void ConsoleWindow::openOptions() {
  guarded([] { callApplication("ShowOption"); });
  refresh();
}

void ConsoleWindow::chooseLanguage(const QString& code) {
  if (!guarded([&] { saveLanguage(code.toStdString()); })) {
    // Not saved: the menu shows again the language the next start will have.
    const QString next = QString::fromStdString(savedLanguage().value_or(context::GetLanguageCode()));
    for (QAction* action : languageGroup_->actions()) action->setChecked(action->data().toString() == next);
    return;
  }
  showStatus(lang("界面语言将在下次启动时切换。"));
}

bool ConsoleWindow::guarded(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const platform::AutomationError& e) {
    erp::api::messages().reportError(e);
  } catch (const std::exception& e) {
    erp::api::messages().reportError(platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind", e.what()));
  }
  return false;
}

void ConsoleWindow::showStatus(const QString& text) { statusBar()->showMessage(text); }

}  // namespace wayfind::app::console
