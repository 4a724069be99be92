#include "app/console/console_items.h"

#include <QGuiApplication>
#include <QPalette>

#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"
#include "platform/navigation/node_keys.h"

namespace wayfind::app::console {

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

}  // namespace wayfind::app::console
