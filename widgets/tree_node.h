// TreeNode: a handle on one node of a KeyedTree (widgets/keyed_tree.h), valid
// while its node exists; a default TreeNode is "no node" (isNull). Changes made
// through it raise no notification. A call on no node raises 91.
#pragma once

#include <QTreeWidgetItem>
#include <cstdint>
#include <string>
#include <vector>

namespace wayfind::widgets {

class KeyedTree;

inline constexpr int32_t kErrKeyNotFound = 35601;   // "Element not found"
inline constexpr int32_t kErrKeyNotUnique = 35602;  // "Key is not unique in collection"

class TreeNode {
 public:
  TreeNode() = default;
  TreeNode(KeyedTree* tree, QTreeWidgetItem* item) : tree_(tree), item_(item) {}

  bool isNull() const { return item_ == nullptr; }
  explicit operator bool() const { return item_ != nullptr; }
  bool operator==(const TreeNode& other) const { return item_ == other.item_; }
  bool operator!=(const TreeNode& other) const { return item_ != other.item_; }

  std::string Key() const;
  std::string Text() const;
  void SetText(const std::string& text);
  std::string Image() const;
  void SetImage(const std::string& imageKey);
  std::string SelectedImage() const;
  void SetSelectedImage(const std::string& imageKey);
  // Index in the order the tree's nodes were added, from 1.
  int Index() const;
  // A placeholder: no key and no text.
  bool IsPlaceholder() const;

  TreeNode Parent() const;
  TreeNode Child() const;   // first child, null when none
  TreeNode Next() const;    // next sibling, null when none
  TreeNode Previous() const;
  int Children() const;     // number of children
  std::vector<TreeNode> childNodes() const;
  TreeNode Root() const;    // the top-level node above this one

  bool Expanded() const;
  void SetExpanded(bool expanded);  // raises no notification
  bool Checked() const;
  void SetChecked(bool checked);    // raises no notification
  bool Selected() const;
  void EnsureVisible();

  QTreeWidgetItem* item() const { return item_; }
  KeyedTree* tree() const { return tree_; }

 private:
  void check(const char* what) const;
  KeyedTree* tree_ = nullptr;
  QTreeWidgetItem* item_ = nullptr;
};

}  // namespace wayfind::widgets
