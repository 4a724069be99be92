// The console's panes and menus as they are built.
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
#include <algorithm>
#include <vector>

#include "app/console/console_items.h"
#include "app/console/function_chooser.h"
#include "app/console/language_choice.h"
#include "context/language.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/window_object.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/navigation/languages.h"
#include "platform/navigation/node_keys.h"
#include "platform/automation/registry.h"
#include "store/search_text.h"
#include "update/datas_update.h"
#include "widgets/accessible_names.h"
#include "widgets/busy_state.h"
#include "widgets/elided_tooltips.h"
#include "widgets/laid_out_text.h"
#include "widgets/help_window.h"
#include "widgets/menu_key.h"
#include "widgets/qt_translations.h"


namespace wayfind::app::console {

namespace {

// A key (pressed without Ctrl, Alt or Shift) that does one thing in a control:
// Enter in a tree starts its current detail function (a key, so that
// double-click activation of the platform's style does not start a function
// twice); Down in the search box goes into the results.
class KeyFilter : public QObject {
 public:
  KeyFilter(QObject* parent, std::vector<int> keys, std::function<void()> onKey)
      : QObject(parent), keys_(std::move(keys)), onKey_(std::move(onKey)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
      if (plain && std::find(keys_.begin(), keys_.end(), key->key()) != keys_.end()) {
        onKey_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::vector<int> keys_;
  std::function<void()> onKey_;
};

const std::vector<int> kEnterKeys = {Qt::Key_Return, Qt::Key_Enter};

constexpr int32_t kConsoleHelpContext = 520000;

}  // namespace

void ConsoleWindow::buildUi() {
  setWindowTitle("主控台");
  widgets::SetHelpContext(*this, kConsoleHelpContext);
  resize(980, 640);
  buildNavigation();
  buildWorkArea();
  placePanes();
  connectNavigation();
  connectFindKeys();
  connectWorkArea();
}

// A tree of the navigation: the function's name, stretched, and its help code.
static QTreeWidget* newNavigationTree(const char* name) {
  auto* tree = new QTreeWidget;
  tree->setObjectName(name);
  tree->setColumnCount(2);
  tree->setHeaderLabels({"功能", "助记码"});
  tree->header()->setStretchLastSection(false);
  tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  return tree;
}

// A group box named name, its contents in a column.
static std::pair<QGroupBox*, QVBoxLayout*> newColumnGroup(const char* caption, const char* name) {
  auto* group = new QGroupBox(caption);
  group->setObjectName(name);
  return {group, new QVBoxLayout(group)};
}

// Navigation: the tree and the favourites.
void ConsoleWindow::buildNavigation() {
  tabNav_ = new QTabWidget;
  tabNav_->setObjectName("tabNav");
  tvMenu_ = newNavigationTree("tvMenu");
  tvNormal_ = newNavigationTree("tvNormal");
  tabNav_->addTab(tvMenu_, "功能菜单");
  tabNav_->addTab(tvNormal_, "常用功能");
  navPanel_ = tabNav_;
}

// Work area: help code, search, the started function, the recent list and the sites.
void ConsoleWindow::buildWorkArea() {
  workPanel_ = new QWidget;
  workPanel_->setObjectName("picWork");
  auto* work = new QVBoxLayout(workPanel_);
  work->addLayout(buildHelpCodeRow());
  work->addWidget(buildSearch(), 5);
  auto* lower = new QHBoxLayout;
  lower->addWidget(buildStartedFunction(), 1);
  auto [fraRecent, recentBox] = newColumnGroup("最近启动", "fraRecent");
  lstRecent_ = new QListWidget;
  lstRecent_->setObjectName("lstRecent");
  recentBox->addWidget(lstRecent_);
  lower->addWidget(fraRecent, 1);
  work->addLayout(lower, 2);
  buildSiteBar();
  work->addWidget(siteBar_);
}

QLayout* ConsoleWindow::buildHelpCodeRow() {
  auto* codeRow = new QHBoxLayout;
  auto* lblHelpCode = new QLabel("助记码：");
  lblHelpCode->setObjectName("lblHelpCode");
  txtHelpCode_ = new QLineEdit;
  txtHelpCode_->setObjectName("txtHelpCode");
  txtHelpCode_->setMaxLength(80);
  auto* cmdStart = new QPushButton("启动(&G)");
  cmdStart->setObjectName("cmdStart");
  connect(cmdStart, &QPushButton::clicked, this, [this] { startByHelpCode(txtHelpCode_->text()); });
  codeRow->addWidget(lblHelpCode);
  codeRow->addWidget(txtHelpCode_, 1);
  codeRow->addWidget(cmdStart);
  return codeRow;
}

QWidget* ConsoleWindow::buildSearch() {
  auto [fraSearch, searchBox] = newColumnGroup("查找功能", "fraSearch");
  txtSearch_ = new QLineEdit;
  txtSearch_->setObjectName("txtSearch");
  txtSearch_->setClearButtonEnabled(true);
  txtSearch_->setMaxLength(static_cast<int>(store::kSearchTextChars));
  txtSearch_->setPlaceholderText("输入功能名称、助记码或拼音");
  lvResult_ = new QTreeWidget;
  lvResult_->setObjectName("lvResult");
  lvResult_->setColumnCount(4);
  lvResult_->setHeaderLabels({"功能", "助记码", "位置", "匹配"});
  lvResult_->setRootIsDecorated(false);
  widgets::LayOutTextsOnce(lvResult_);  // every keystroke repaints and sizes the rows
  lvResult_->header()->setSectionResizeMode(QHeaderView::Interactive);
  lvResult_->setColumnWidth(0, 200);
  lvResult_->setColumnWidth(1, 80);
  searchBox->addWidget(txtSearch_);
  searchBox->addWidget(lvResult_, 1);
  return fraSearch;
}

// The started function's name, class and parameter: data, shown as stored.
QWidget* ConsoleWindow::buildStartedFunction() {
  auto* fraFunc = new QGroupBox("启动的功能");
  fraFunc->setObjectName("fraFunc");
  auto* funcForm = new QFormLayout(fraFunc);
  auto addRow = [&](QLabel*& value, const char* valueName, const char* caption, const char* captionName) {
    value = new QLabel;
    value->setObjectName(valueName);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setProperty("wayfindNoTranslate", true);
    auto* label = new QLabel(caption);
    label->setObjectName(captionName);
    funcForm->addRow(label, value);
  };
  addRow(lblFuncName_, "lblFuncNameValue", "功能名称：", "lblFuncName");
  addRow(lblClassName_, "lblClassNameValue", "类名：", "lblClassName");
  addRow(lblClassParam_, "lblClassParamValue", "参数：", "lblClassParam");
  return fraFunc;
}

// The web systems' sites, shown when the user has named them.
void ConsoleWindow::buildSiteBar() {
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
    // A link that Tab reaches and Enter or Space opens, as a click does.
    lblSites_[i]->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblSites_[i]->setFocusPolicy(Qt::StrongFocus);
    connect(lblSites_[i], &QLabel::linkActivated, this,
            [this](const QString& site) { showStatus(langFormat("打开站点：%1", site)); });
    QLabel* link = lblSites_[i];
    link->installEventFilter(new KeyFilter(this, {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}, [this, link] {
      showStatus(langFormat("打开站点：%1", link->property("wayfindSite").toString()));
    }));
    sites->addWidget(lblSites_[i]);
  }
  sites->addStretch(1);
}

void ConsoleWindow::placePanes() {
  splitter_ = new QSplitter(Qt::Horizontal);
  splitter_->setObjectName("splMain");
  splitter_->addWidget(navPanel_);
  splitter_->addWidget(workPanel_);
  splitter_->setStretchFactor(0, 2);
  splitter_->setStretchFactor(1, 3);
  setCentralWidget(splitter_);
  statusBar()->setObjectName("sbStatus");
}

// The trees: a node read when it opens, chosen, started; Enter starts; the
// context menu of a node.
void ConsoleWindow::connectNavigation() {
  connect(tvMenu_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    expandedKeys_.insert(keyOf(item));
    fillChildren(item);
  });
  connect(tvMenu_, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem* item) { expandedKeys_.remove(keyOf(item)); });
  connect(tvMenu_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { onItemSelected(item); });
  for (QTreeWidget* tree : {tvMenu_, tvNormal_}) {
    connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { onItemClicked(item, false); });
    connect(tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { onItemClicked(item, true); });
    tree->installEventFilter(new KeyFilter(this, kEnterKeys, [this, tree] { activate(tree->currentItem()); }));
  }
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(tvMenu_), static_cast<QAbstractItemView*>(tvNormal_),
                                  static_cast<QAbstractItemView*>(lvResult_), static_cast<QAbstractItemView*>(lstRecent_)})
    widgets::ShowElidedTextTips(view);
  widgets::OpenMenuWithShiftF10(tvMenu_);
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
}

// Ctrl+F, and Ctrl+K as in a browser, find a function from anywhere; Down in
// the search box goes into the results, on the first one.
void ConsoleWindow::connectFindKeys() {
  for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::CTRL | Qt::Key_K)}) {
    auto* find = new QShortcut(keys, this);
    connect(find, &QShortcut::activated, this, [this] {
      txtSearch_->setFocus(Qt::ShortcutFocusReason);
      txtSearch_->selectAll();
    });
  }
  txtSearch_->installEventFilter(new KeyFilter(this, {Qt::Key_Down}, [this] {
    if (lvResult_->topLevelItemCount() == 0) return;
    if (!lvResult_->currentItem()) lvResult_->setCurrentItem(lvResult_->topLevelItem(0));
    lvResult_->setFocus(Qt::OtherFocusReason);
  }));
}

// Starting by help code, searching, and starting from the results or the recent list.
void ConsoleWindow::connectWorkArea() {
  connect(txtHelpCode_, &QLineEdit::returnPressed, this, [this] { startByHelpCode(txtHelpCode_->text()); });
  connect(txtSearch_, &QLineEdit::textChanged, this, [this](const QString& text) { runSearch(text); });
  connect(txtSearch_, &QLineEdit::returnPressed, this, [this] {
    if (lvResult_->topLevelItemCount() > 0) activate(lvResult_->topLevelItem(0));
  });
  lvResult_->installEventFilter(new KeyFilter(this, kEnterKeys, [this] { activate(lvResult_->currentItem()); }));
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
            startAt(item->data(kPlaceRole).toInt(), item->data(Qt::UserRole).toInt(), item->data(kNameRole).toString(),
                    item->data(kHelpCodeRole).toString());
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
  const QString next = q(savedLanguage().value_or(context::GetLanguageCode()));
  for (const nav::LanguageInfo& lang : nav::kLanguages) {
    if (!nav::IsOffered(lang)) continue;
    const char* code = lang.code;
    auto* action = new QAction(QString::fromUtf8(lang.nativeName), languageGroup_);
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
  auto* mnuHelpTopics = mnuHelp->addAction("帮助主题(&H)", this, [this] { widgets::ShowHelpFor(*this); });
  mnuHelpTopics->setObjectName("mnuHelpTopics");
  mnuHelpTopics->setShortcut(QKeySequence::HelpContents);
  for (const auto& [name, caption] : {std::pair<const char*, const char*>{"dlgSetProp", "主控台编辑器"},
                                      {"dlgSetNormal", "常用功能设置"},
                                      {"dlgOptions", "选项"}}) {
    auto* topic = mnuHelp->addAction(caption, this, [form = std::string(name)] { widgets::ShowHelpFor(form); });
    topic->setObjectName(QString("mnuHelp_") + name);
  }
}

}  // namespace wayfind::app::console
