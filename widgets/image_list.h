// ImageList: icons by key, for trees and toolbars. The standard list holds the
// icons of the navigation levels and of the windows' commands, drawn here so the
// program carries no image files of anyone else's:
//   "List" (the whole tree), "Top", "Sys", "Sub", "Detail" (the four levels),
//   "Group", "User" (user groups and users), "Favourite",
//   "New", "Modify", "Delete", "Up", "Down", "Save", "Apply", "Import", "Export",
//   "Refresh", "Close", "Help", "Find", "Copy", "Users", "Options", "Properties".
#pragma once

#include <QIcon>
#include <QObject>
#include <map>
#include <string>
#include <vector>

namespace wayfind::widgets {

class ImageList : public QObject {
  Q_OBJECT

 public:
  explicit ImageList(QObject* parent = nullptr) : QObject(parent) {}

  void Add(const std::string& key, const QIcon& icon) { icons_[key] = icon; }
  bool Contains(const std::string& key) const { return icons_.count(key) > 0; }
  // The icon of key; raises 35601 when the list has none.
  QIcon icon(const std::string& key) const;
  std::vector<std::string> keys() const;
  int Count() const { return static_cast<int>(icons_.size()); }

  // A list holding the standard icons named in keys (all of them when empty).
  static ImageList* standard(QObject* parent, const std::vector<std::string>& keys = {});

 private:
  std::map<std::string, QIcon> icons_;
};

// One standard icon by key (a grey square for an unknown key).
QIcon standardIcon(const std::string& key);
// Every key of the standard icons.
std::vector<std::string> standardIconKeys();

}  // namespace wayfind::widgets
