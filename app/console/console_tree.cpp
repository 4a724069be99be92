// The console's trees: filled level by level, items chosen, started and added to
// the favourites, a function found by its place.
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
#include "update/normal_func.h"
#include "widgets/accessible_names.h"
#include "widgets/busy_state.h"
#include "widgets/elided_tooltips.h"
#include "widgets/help_window.h"
#include "widgets/qt_translations.h"


namespace wayfind::app::console {

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
  if (item && item->treeWidget() == lvResult_ && item->data(0, kLevelRole).toInt() != static_cast<int>(Level::DetailFunc)) {
    // A level found by the search opens the tree there.
    const auto ids = item->data(0, kKeyRole).toList();
    if (ids.size() == 4 && selectFunction(ids[0].toInt(), ids[1].toInt(), ids[2].toInt(), 0)) {
      tvMenu_->currentItem()->setExpanded(true);
      tvMenu_->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
  if (!item || item->data(0, kLevelRole).toInt() != static_cast<int>(Level::DetailFunc)) return;
  // A favourites entry has no place: it starts by its id under the name the group
  // shows for it.
  const int32_t place = item->data(0, kPlaceRole).toInt();
  startAt(place, idOf(item), place == 0 ? item->text(0) : QString(), place == 0 ? item->text(1) : QString());
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
  // favourites group chooser), and takes the only one otherwise. A refusal
  // (the function or the group deleted in another window) is told as it is.
  if (!guarded([&] {
        added = update::AppendNormalItemTellingWhy(function->id, function->helpCode, function->name,
                                                   function->funcName, platform::Variant(int32_t{-1}));
      }))
    return false;
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
    if (id == 0) break;  // a level, not a function
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

}  // namespace wayfind::app::console
