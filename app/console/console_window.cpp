#include "app/console/console_window.h"

#include <QAction>
#include <QActionGroup>
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
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

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

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;
constexpr int kLoadedRole = Qt::UserRole + 3;
constexpr int kPlaceRole = Qt::UserRole + 4;  // a detail function's sub-function
constexpr int kNameRole = Qt::UserRole + 5;   // a recent entry's name, when it has no place
constexpr size_t kSearchLimit = 50;

QString q(const std::string& s) { return QString::fromStdString(s); }
QString lang(const char* chinese) { return q(context::GetLangText(chinese)); }
QString langFormat(const char* templ, const QString& value) {
  return q(context::FormatLangText(templ, {platform::Variant(value.toStdString())}));
}

Level levelOf(const QTreeWidgetItem* item) { return static_cast<Level>(item->data(0, kLevelRole).toInt()); }
int32_t idOf(const QTreeWidgetItem* item) { return item->data(0, kIdRole).toInt(); }
QString keyOf(const QTreeWidgetItem* item) { return item->data(0, kKeyRole).toString(); }

QTreeWidgetItem* makeItem(const NavItem& entry) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, q(entry.name));
  item->setData(0, kKeyRole, q(nav::NodeKey(entry.level, entry.id)));
  item->setData(0, kLevelRole, static_cast<int>(entry.level));
  item->setData(0, kIdRole, entry.id);
  if (entry.level == Level::DetailFunc) {
    item->setData(0, kPlaceRole, entry.subFuncId);
    item->setText(1, q(entry.helpCode));
    if (!entry.enabled) {
      const QBrush disabled = QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
      item->setForeground(0, disabled);
      item->setForeground(1, disabled);
    }
  } else {
    // A placeholder until the level below is read.
    item->addChild(new QTreeWidgetItem);
    item->setData(0, kLoadedRole, false);
  }
  return item;
}

platform::Variant callApplication(const char* method) {
  auto object = platform::Registry::instance().create(erp::progid::kApplication);
  auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(object);
  if (!dispatch)
    throw platform::AutomationError(platform::err::kTypeMismatch, erp::progid::kApplication,
                                    "The class cannot be called by name.");
  platform::Args none;
  return dispatch->invoke(method, none);
}

// Enter in a tree starts its current detail function (a key, so that double-click
// activation of the platform's style does not start a function twice).
class EnterFilter : public QObject {
 public:
  EnterFilter(QObject* parent, std::function<void()> onEnter) : QObject(parent), onEnter_(std::move(onEnter)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        onEnter_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onEnter_;
};

}  // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent) : QMainWindow(parent), search_(makeFunctionSearch()) {
  setObjectName("frmConsole");
  widgets::UseQtTranslations();
  buildUi();
  buildMenus();
  // Captions are written in Chinese and translated here, once; what the console
  // fills in later (names, site links, messages) is data or looked up as shown.
  untranslated_ = context::ApplyFormResources(erp::api::windowObject(this));
  widgets::NameControls(this);
  // A user who knows the help code types it at once.
  txtHelpCode_->setFocus(Qt::OtherFocusReason);
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::buildUi() {
  setWindowTitle("主控台");
  resize(980, 640);

  // Navigation: the tree and the favourites.
  tabNav_ = new QTabWidget;
  tabNav_->setObjectName("tabNav");
  tvMenu_ = new QTreeWidget;
  tvMenu_->setObjectName("tvMenu");
  tvMenu_->setColumnCount(2);
  tvMenu_->setHeaderLabels({"功能", "助记码"});
  tvMenu_->header()->setStretchLastSection(false);
  tvMenu_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvMenu_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  tvNormal_ = new QTreeWidget;
  tvNormal_->setObjectName("tvNormal");
  tvNormal_->setColumnCount(2);
  tvNormal_->setHeaderLabels({"功能", "助记码"});
  tvNormal_->header()->setStretchLastSection(false);
  tvNormal_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvNormal_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  tabNav_->addTab(tvMenu_, "功能菜单");
  tabNav_->addTab(tvNormal_, "常用功能");
  navPanel_ = tabNav_;

  // Work area: help code, search, the started function and the recent list.
  workPanel_ = new QWidget;
  workPanel_->setObjectName("picWork");
  auto* work = new QVBoxLayout(workPanel_);

  auto* codeRow = new QHBoxLayout;
  auto* lblHelpCode = new QLabel("助记码：");
  lblHelpCode->setObjectName("lblHelpCode");
  txtHelpCode_ = new QLineEdit;
  txtHelpCode_->setObjectName("txtHelpCode");
  txtHelpCode_->setMaxLength(80);
  auto* cmdStart = new QPushButton("启动(&G)");
  cmdStart->setObjectName("cmdStart");
  codeRow->addWidget(lblHelpCode);
  codeRow->addWidget(txtHelpCode_, 1);
  codeRow->addWidget(cmdStart);
  work->addLayout(codeRow);

  auto* fraSearch = new QGroupBox("查找功能");
  fraSearch->setObjectName("fraSearch");
  auto* searchBox = new QVBoxLayout(fraSearch);
  txtSearch_ = new QLineEdit;
  txtSearch_->setObjectName("txtSearch");
  txtSearch_->setClearButtonEnabled(true);
  txtSearch_->setPlaceholderText("输入功能名称、助记码或拼音");
  lvResult_ = new QTreeWidget;
  lvResult_->setObjectName("lvResult");
  lvResult_->setColumnCount(4);
  lvResult_->setHeaderLabels({"功能", "助记码", "位置", "匹配"});
  lvResult_->setRootIsDecorated(false);
  lvResult_->header()->setSectionResizeMode(QHeaderView::Interactive);
  lvResult_->setColumnWidth(0, 200);
  lvResult_->setColumnWidth(1, 80);
  searchBox->addWidget(txtSearch_);
  searchBox->addWidget(lvResult_, 1);
  work->addWidget(fraSearch, 5);

  auto* lower = new QHBoxLayout;
  auto* fraFunc = new QGroupBox("启动的功能");
  fraFunc->setObjectName("fraFunc");
  auto* funcForm = new QFormLayout(fraFunc);
  lblFuncName_ = new QLabel;
  lblFuncName_->setObjectName("lblFuncNameValue");
  lblClassName_ = new QLabel;
  lblClassName_->setObjectName("lblClassNameValue");
  lblClassParam_ = new QLabel;
  lblClassParam_->setObjectName("lblClassParamValue");
  for (QLabel* l : {lblFuncName_, lblClassName_, lblClassParam_}) {
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setProperty("wayfindNoTranslate", true);
  }
  auto* lblFuncName = new QLabel("功能名称：");
  lblFuncName->setObjectName("lblFuncName");
  auto* lblClassName = new QLabel("类名：");
  lblClassName->setObjectName("lblClassName");
  auto* lblClassParam = new QLabel("参数：");
  lblClassParam->setObjectName("lblClassParam");
  funcForm->addRow(lblFuncName, lblFuncName_);
  funcForm->addRow(lblClassName, lblClassName_);
  funcForm->addRow(lblClassParam, lblClassParam_);
  lower->addWidget(fraFunc, 1);

  auto* fraRecent = new QGroupBox("最近启动");
  fraRecent->setObjectName("fraRecent");
  auto* recentBox = new QVBoxLayout(fraRecent);
  lstRecent_ = new QListWidget;
  lstRecent_->setObjectName("lstRecent");
  recentBox->addWidget(lstRecent_);
  lower->addWidget(fraRecent, 1);
  work->addLayout(lower, 2);

  // The web systems' sites, shown when the user has named them.
  siteBar_ = new QWidget;
  siteBar_->setObjectName("picSites");
  auto* sites = new QHBoxLayout(siteBar_);
  sites->setContentsMargins(0, 0, 0, 0);
  auto* lblSites = new QLabel("站点：");
  lblSites->setObjectName("lblSites");
  sites->addWidget(lblSites);
  const char* siteNames[] = {"lblDecisionSite", "lblHrSite", "lblPortalSite"};
  for (int i = 0; i < 3; ++i) {
    lblSites_[i] = new QLabel;
    lblSites_[i]->setObjectName(siteNames[i]);
    lblSites_[i]->setTextFormat(Qt::RichText);
    lblSites_[i]->setProperty("wayfindNoTranslate", true);
    connect(lblSites_[i], &QLabel::linkActivated, this,
            [this](const QString& site) { showStatus(langFormat("打开站点：%1", site)); });
    sites->addWidget(lblSites_[i]);
  }
  sites->addStretch(1);
  work->addWidget(siteBar_);

  splitter_ = new QSplitter(Qt::Horizontal);
  splitter_->setObjectName("splMain");
  splitter_->addWidget(navPanel_);
  splitter_->addWidget(workPanel_);
  splitter_->setStretchFactor(0, 2);
  splitter_->setStretchFactor(1, 3);
  setCentralWidget(splitter_);
  statusBar()->setObjectName("sbStatus");

  // Reading the level below when a node opens.
  connect(tvMenu_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    expandedKeys_.insert(keyOf(item));
    fillChildren(item);
  });
  connect(tvMenu_, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem* item) { expandedKeys_.remove(keyOf(item)); });
  connect(tvMenu_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { onItemSelected(item); });
  connect(tvMenu_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { onItemClicked(item, false); });
  connect(tvMenu_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item, int) { onItemClicked(item, true); });
  connect(tvNormal_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { onItemClicked(item, false); });
  connect(tvNormal_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item, int) { onItemClicked(item, true); });
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(tvMenu_), static_cast<QAbstractItemView*>(tvNormal_),
                                  static_cast<QAbstractItemView*>(lvResult_), static_cast<QAbstractItemView*>(lstRecent_)})
    widgets::ShowElidedTextTips(view);
  tvMenu_->installEventFilter(new EnterFilter(this, [this] { activate(tvMenu_->currentItem()); }));
  tvNormal_->installEventFilter(new EnterFilter(this, [this] { activate(tvNormal_->currentItem()); }));
  lvResult_->installEventFilter(new EnterFilter(this, [this] { activate(lvResult_->currentItem()); }));

  tvMenu_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tvMenu_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // From the menu key the point is not on a node: the current node's menu.
    QTreeWidgetItem* item = tvMenu_->itemAt(at) ? tvMenu_->itemAt(at) : tvMenu_->currentItem();
    if (QMenu* menu = contextMenuFor(item)) {
      const QRect place = tvMenu_->visualItemRect(item);
      menu->exec(tvMenu_->viewport()->mapToGlobal(tvMenu_->itemAt(at) ? at : place.center()));
      menu->deleteLater();
    }
  });

  connect(txtHelpCode_, &QLineEdit::returnPressed, this, [this] { startByHelpCode(txtHelpCode_->text()); });
  connect(cmdStart, &QPushButton::clicked, this, [this] { startByHelpCode(txtHelpCode_->text()); });
  connect(txtSearch_, &QLineEdit::textChanged, this, [this](const QString& text) { runSearch(text); });
  connect(txtSearch_, &QLineEdit::returnPressed, this, [this] {
    if (lvResult_->topLevelItemCount() > 0) activate(lvResult_->topLevelItem(0));
  });
  connect(lvResult_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    const auto ids = item->data(0, kKeyRole).toList();
    if (ids.size() == 4) selectFunction(ids[0].toInt(), ids[1].toInt(), ids[2].toInt(), ids[3].toInt());
  });
  connect(lvResult_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item, int) { activate(item); });
  // An entry of the recent list starts again on the platform's activation (a
  // double click, or Enter).
  connect(lstRecent_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) {
            startAt(item->data(kPlaceRole).toInt(), item->data(Qt::UserRole).toInt(), item->data(kNameRole).toString());
          });
}

void ConsoleWindow::buildMenus() {
  auto* mnuSystem = menuBar()->addMenu("系统(&S)");
  mnuSystem->setObjectName("mnuSystem");
  auto* mnuRefresh = mnuSystem->addAction("刷新(&R)", this, [this] {
    if (guarded([this] { widgets::RunBusy(this, [this] { source_.reget(); }); })) refresh();
  });
  mnuRefresh->setObjectName("mnuRefresh");
  mnuRefresh->setShortcut(QKeySequence::Refresh);
  mnuSystem->addSeparator();
  auto* mnuExit = mnuSystem->addAction("退出(&X)", this, &QWidget::close);
  mnuExit->setObjectName("mnuExit");

  auto* mnuTools = menuBar()->addMenu("工具(&T)");
  mnuTools->setObjectName("mnuTools");
  mnuTools->addAction("主控台编辑(&E)...", this, &ConsoleWindow::openConsoleEditor)->setObjectName("mnuSetProp");
  mnuTools->addAction("常用功能设置(&F)...", this, &ConsoleWindow::openFavouritesEditor)
      ->setObjectName("mnuSetNormal");
  mnuTools->addAction("选项(&O)...", this, &ConsoleWindow::openOptions)->setObjectName("mnuOption");

  // Each language in its own name: whoever cannot read the current one still
  // finds theirs.
  auto* mnuLanguage = menuBar()->addMenu("语言(&L)");
  mnuLanguage->setObjectName("mnuLanguage");
  languageGroup_ = new QActionGroup(this);
  const std::pair<const char*, const char*> languages[] = {{"chs", "简体中文"}, {"en", "English"}, {"cht", "繁體中文"}};  // lang:data
  const QString next = q(savedLanguage().value_or(context::GetLanguageCode()));
  for (const auto& [code, name] : languages) {
    auto* action = new QAction(QString::fromUtf8(name), languageGroup_);
    action->setObjectName(QString("mnuLang_") + code);
    action->setCheckable(true);
    action->setChecked(next == code);
    action->setData(QString(code));
    action->setProperty("wayfindNoTranslate", true);
    mnuLanguage->addAction(action);
  }
  connect(languageGroup_, &QActionGroup::triggered, this,
          [this](QAction* action) { chooseLanguage(action->data().toString()); });

  auto* mnuHelp = menuBar()->addMenu("帮助(&H)");
  mnuHelp->setObjectName("mnuHelp");
  auto* mnuHelpTopics = mnuHelp->addAction("帮助主题(&H)", this, [] { widgets::ShowHelpFor("frmConsole"); });
  mnuHelpTopics->setObjectName("mnuHelpTopics");
  mnuHelpTopics->setShortcut(QKeySequence::HelpContents);
  for (const auto& [name, caption] : {std::pair<const char*, const char*>{"dlgSetProp", "主控台编辑器"},
                                      {"dlgSetNormal", "常用功能设置"},
                                      {"dlgOptions", "选项"}}) {
    auto* topic = mnuHelp->addAction(caption, this, [form = std::string(name)] { widgets::ShowHelpFor(form); });
    topic->setObjectName(QString("mnuHelp_") + name);
  }
}

void ConsoleWindow::load() {
  const bool loaded = guarded([this] {
    settings_ = widgets::RunBusy(this, [this] { return ConsoleSettings::read(source_); });
    applySettings();
    fillTopLevel();
    fillFavourites();
  });
  if (loaded) prepareSearch();
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
  prepareTimer_->start();
}

void ConsoleWindow::refresh() {
  const QString selected = tvMenu_->currentItem() ? keyOf(tvMenu_->currentItem()) : QString();
  const QSet<QString> open = expandedKeys_;
  search_->treeChanged();
  prepareSearch();
  guarded([&] {
    settings_ = widgets::RunBusy(this, [this] { return ConsoleSettings::read(source_); });
    applySettings();
    fillTopLevel();
    fillFavourites();
    // Open the same branches again, level by level: a parent opens before its
    // children can be found.
    expandedKeys_.clear();
    for (Level level : {Level::TopClass, Level::SubSystem, Level::SubFunc}) {
      QList<QTreeWidgetItem*> items;
      for (int i = 0; i < tvMenu_->topLevelItemCount(); ++i) items << tvMenu_->topLevelItem(i);
      while (!items.isEmpty()) {
        QTreeWidgetItem* item = items.takeFirst();
        if (levelOf(item) == level && open.contains(keyOf(item))) item->setExpanded(true);
        if (item->isExpanded())
          for (int i = 0; i < item->childCount(); ++i) items << item->child(i);
      }
    }
    if (!selected.isEmpty()) {
      QList<QTreeWidgetItem*> items;
      for (int i = 0; i < tvMenu_->topLevelItemCount(); ++i) items << tvMenu_->topLevelItem(i);
      while (!items.isEmpty()) {
        QTreeWidgetItem* item = items.takeFirst();
        if (keyOf(item) == selected) {
          QSignalBlocker block(tvMenu_);
          tvMenu_->setCurrentItem(item);
          break;
        }
        for (int i = 0; i < item->childCount(); ++i) items << item->child(i);
      }
    }
  });
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
      any = true;
    }
  }
  siteBar_->setVisible(any);
}

void ConsoleWindow::fillTopLevel() {
  std::vector<NavItem> tops = widgets::RunBusy(this, [this] { return source_.topClasses(); });
  QSignalBlocker block(tvMenu_);
  tvMenu_->clear();
  for (const auto& top : tops) tvMenu_->addTopLevelItem(makeItem(top));
}

void ConsoleWindow::fillFavourites() {
  std::vector<FavouriteGroup> groups = widgets::RunBusy(this, [this] { return source_.favourites(); });
  tvNormal_->clear();
  for (const auto& group : groups) {
    auto* groupItem = new QTreeWidgetItem;
    groupItem->setText(0, q(group.name));
    groupItem->setData(0, kKeyRole, QString("Grp%1").arg(group.id));
    groupItem->setData(0, kLevelRole, -1);
    for (const auto& f : group.functions) groupItem->addChild(makeItem(f));
    tvNormal_->addTopLevelItem(groupItem);
    groupItem->setExpanded(true);
  }
}

void ConsoleWindow::fillChildren(QTreeWidgetItem* item) {
  if (!item || item->data(0, kLoadedRole).toBool() || levelOf(item) == Level::DetailFunc) return;
  reloadChildren(item);
}

void ConsoleWindow::reloadChildren(QTreeWidgetItem* item) {
  guarded([&] {
    std::vector<NavItem> children;
    const Level level = levelOf(item);
    if (level == Level::DetailFunc) return;
    const int32_t id = idOf(item);
    children = widgets::RunBusy(this, [&] {
      return level == Level::TopClass ? source_.subSystems(id) : level == Level::SubSystem ? source_.subFuncs(id)
                                                                                : source_.detailFuncs(id);
    });
    QSignalBlocker block(tvMenu_);
    const bool wasExpanded = item->isExpanded();
    qDeleteAll(item->takeChildren());
    for (const auto& child : children) item->addChild(makeItem(child));
    item->setData(0, kLoadedRole, true);
    item->setChildIndicatorPolicy(children.empty() ? QTreeWidgetItem::DontShowIndicator
                                                   : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (wasExpanded) item->setExpanded(true);
  });
}

void ConsoleWindow::onItemSelected(QTreeWidgetItem* item) {
  if (!item) return;
  // With dynamic refresh the level under a selected subsystem or sub-function is
  // read again from the store as the middle tier now holds it.
  const bool again = (levelOf(item) == Level::SubSystem && settings_.refreshSys) ||
                     (levelOf(item) == Level::SubFunc && settings_.refreshFunc);
  if (!again) return;
  if (!guarded([this] { widgets::RunBusy(this, [this] { source_.reget(); }); })) return;
  search_->treeChanged();
  reloadChildren(item);
}

void ConsoleWindow::onItemClicked(QTreeWidgetItem* item, bool doubleClick) {
  if (!item || levelOf(item) != Level::DetailFunc) return;
  if (doubleClick != settings_.clickActivate) activate(item);
}

void ConsoleWindow::activate(QTreeWidgetItem* item) {
  if (!item || item->data(0, kLevelRole).toInt() != static_cast<int>(Level::DetailFunc)) return;
  // A favourites entry has no place: it starts by its id under the name the group
  // shows for it.
  const int32_t place = item->data(0, kPlaceRole).toInt();
  startAt(place, idOf(item), place == 0 ? item->text(0) : QString());
}

void ConsoleWindow::startAt(int32_t subFuncId, int32_t detailFuncId, const QString& shownName) {
  std::optional<NavItem> function;
  if (!guarded([&] { function = widgets::RunBusy(this, [&] { return source_.detailFuncAt(subFuncId, detailFuncId); }); }))
    return;
  if (!function) {
    showStatus(langFormat("功能 %1 已不存在或不可用。", QString::number(detailFuncId)));
    return;
  }
  if (!shownName.isEmpty()) function->name = shownName.toStdString();
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
    if (f.subFuncId == 0) item->setData(kNameRole, q(f.name));
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
  for (const auto& hit : hits) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, q(hit.name));
    item->setText(1, q(hit.helpCode));
    item->setText(2, q(hit.path));
    item->setText(3, matchNote(hit));
    item->setData(0, kIdRole, hit.detailFuncId);
    item->setData(0, kLevelRole, static_cast<int>(Level::DetailFunc));
    item->setData(0, kPlaceRole, hit.subFuncId);
    item->setData(0, kKeyRole, QVariantList{hit.topClassId, hit.subSysId, hit.subFuncId, hit.detailFuncId});
    lvResult_->addTopLevelItem(item);
  }
  // Names and places read whole; what matched takes the rest of the width.
  for (int column = 0; column < 3; ++column) lvResult_->resizeColumnToContents(column);
}

QMenu* ConsoleWindow::contextMenuFor(QTreeWidgetItem* item) {
  if (!item || item->data(0, kLevelRole).toInt() != static_cast<int>(Level::DetailFunc)) return nullptr;
  auto* menu = new QMenu(this);
  menu->setObjectName("mnuNode");
  auto* start = menu->addAction(lang("启动(&G)"), this, [this, item] { activate(item); });
  start->setObjectName("mnuStartFunction");
  auto* add = menu->addAction(lang("加入常用功能(&A)"), this, [this, item] { addToFavourites(item); });
  add->setObjectName("mnuAddFavourite");
  return menu;
}

bool ConsoleWindow::addToFavourites(QTreeWidgetItem* item) {
  if (!item || levelOf(item) != Level::DetailFunc) return false;
  std::optional<NavItem> function;
  const int32_t place = item->data(0, kPlaceRole).toInt();
  if (!guarded([&] { function = widgets::RunBusy(this, [&] { return source_.detailFuncAt(place, idOf(item)); }); }))
    return false;
  if (!function) return false;
  bool added = false;
  // A group of -1: the update asks which group when the user has several (the
  // favourites group chooser), and takes the only one otherwise.
  guarded([&] {
    auto update = platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
    added = update->AppendNormalItem(function->id, function->helpCode, function->name, function->funcName,
                                     platform::Variant(int32_t{-1}));
  });
  showStatus(added ? langFormat("已加入常用功能：%1", q(function->name)) : lang("没有加入常用功能。"));
  if (added) guarded([this] { fillFavourites(); });
  return added;
}

bool ConsoleWindow::selectFunction(int32_t topClassId, int32_t subSysId, int32_t subFuncId, int32_t detailFuncId) {
  QTreeWidgetItem* item = findTop(q(nav::NodeKey(Level::TopClass, topClassId)));
  const std::pair<Level, int32_t> path[] = {
      {Level::SubSystem, subSysId}, {Level::SubFunc, subFuncId}, {Level::DetailFunc, detailFuncId}};
  for (const auto& [level, id] : path) {
    if (!item) return false;
    item->setExpanded(true);  // reads the level below
    item = childByKey(item, q(nav::NodeKey(level, id)));
  }
  if (!item) return false;
  tabNav_->setCurrentWidget(tvMenu_);
  tvMenu_->setCurrentItem(item);
  tvMenu_->scrollToItem(item);
  return true;
}

QTreeWidgetItem* ConsoleWindow::findTop(const QString& key) const {
  for (int i = 0; i < tvMenu_->topLevelItemCount(); ++i)
    if (keyOf(tvMenu_->topLevelItem(i)) == key) return tvMenu_->topLevelItem(i);
  return nullptr;
}

QTreeWidgetItem* ConsoleWindow::childByKey(QTreeWidgetItem* parent, const QString& key) const {
  for (int i = 0; i < parent->childCount(); ++i)
    if (keyOf(parent->child(i)) == key) return parent->child(i);
  return nullptr;
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
  if (!guarded([&] { saveLanguage(code.toStdString()); })) return;
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
