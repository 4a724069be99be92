// What the console's panes share: the data roles of the tree items, the texts in
// the login language, and the tree item of a navigation entry.
#pragma once

#include <QString>
#include <QTreeWidgetItem>
#include <string>

#include "app/console/nav_source.h"
#include "context/language.h"
#include "platform/automation/variant.h"

namespace wayfind::app::console {

inline constexpr int kKeyRole = Qt::UserRole;
inline constexpr int kLevelRole = Qt::UserRole + 1;
inline constexpr int kIdRole = Qt::UserRole + 2;
inline constexpr int kLoadedRole = Qt::UserRole + 3;
inline constexpr int kPlaceRole = Qt::UserRole + 4;  // a detail function's sub-function
inline constexpr int kNameRole = Qt::UserRole + 5;   // a recent entry's name, when it has no place
inline constexpr int kHelpCodeRole = Qt::UserRole + 6;  // and its help code
inline constexpr size_t kSearchLimit = 50;

inline QString q(const std::string& s) { return QString::fromStdString(s); }
inline QString lang(const char* chinese) { return q(context::GetLangText(chinese)); }
inline QString langFormat(const char* templ, const QString& value) {
  return q(context::FormatLangText(templ, {platform::Variant(value.toStdString())}));
}

inline Level levelOf(const QTreeWidgetItem* item) { return static_cast<Level>(item->data(0, kLevelRole).toInt()); }
inline int32_t idOf(const QTreeWidgetItem* item) { return item->data(0, kIdRole).toInt(); }
inline QString keyOf(const QTreeWidgetItem* item) { return item->data(0, kKeyRole).toString(); }

// A tree item for entry; an item above the detail functions gets a placeholder
// child until the level below is read.
QTreeWidgetItem* makeItem(const NavItem& entry);
// Calls a method of "WayfindInfo.Application" by name, without arguments.
platform::Variant callApplication(const char* method);

}  // namespace wayfind::app::console
