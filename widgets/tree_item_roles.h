// Where a KeyedTree keeps a node's key, images and last check state among its
// item's data, and the errors both the tree and its node handles raise; the
// tree's own, not a public header.
#pragma once

#include <Qt>
#include <string>

#include "platform/automation/automation_error.h"
#include "widgets/tree_node.h"

namespace wayfind::widgets::treeitem {

inline constexpr int kKeyRole = Qt::UserRole + 1;
inline constexpr int kImageRole = Qt::UserRole + 2;
inline constexpr int kSelectedImageRole = Qt::UserRole + 3;
inline constexpr int kCheckedRole = Qt::UserRole + 4;  // the check state last seen, to tell a tick from a rename

inline constexpr const char* kSource = "TreeView";

[[noreturn]] inline void notFound(const std::string& what) {
  platform::raise(kErrKeyNotFound, kSource, "Element not found: " + what);
}

}  // namespace wayfind::widgets::treeitem
