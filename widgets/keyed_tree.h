// KeyedTree: a tree view whose nodes are found by a unique key, as the navigation
// windows use it ("All0", "Top12", "Sys100003" ...). A node has a key, a text, an
// image key and a selected-image key from the tree's image list, an optional
// check box, and its index in the order the nodes were added (from 1, closing up
// when nodes are removed). A placeholder child (no key, no text) gives a node its
// expand button before its children are loaded.
//
// Its nodes are handled through TreeNode (widgets/tree_node.h). Keys compare
// exactly. A key given twice raises 35602, an unknown key 35601.
//
// Keyboard: reached by Tab or Shift+Tab, the tree makes its first node current
// when none is; arrows move between nodes (a click on each), Space ticks the
// current node's check box.
//
// Notifications, raised only for the user's actions (and the simulate* calls that
// stand for them), never for changes made through the API:
//   nodeClick(node), expand(node), collapse(node), nodeCheck(node),
//   beforeLabelEdit(node, cancel), afterLabelEdit(node, newText, cancel),
//   dragStart(node), dragDrop(source, target).
// A handler cancels a label edit by setting cancel; afterLabelEdit may also change
// newText. Handlers must be connected directly (the default), as they answer
// through references.
#pragma once

#include <QElapsedTimer>
#include <QTreeWidget>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "widgets/tree_node.h"

namespace wayfind::widgets {

class ImageList;


class KeyedTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit KeyedTree(QWidget* parent = nullptr);

  void SetImageList(const ImageList* images);
  const ImageList* imageList() const { return images_; }
  void SetCheckBoxes(bool on);
  bool CheckBoxes() const { return checkBoxes_; }
  // Whether the user may edit node texts. As in the desktop's trees, a click on
  // the selected node starts an edit only when that node has been selected, and
  // the tree focused, for the rename pause (the double-click time unless set;
  // tests set it), so the click that selects a node, or that comes back to the
  // window, never starts one.
  void SetLabelEdit(bool on);
  void SetRenamePause(int milliseconds) { renamePauseMs_ = milliseconds; }

  // Adds a top-level node (parent null) or a child of parent. An empty key adds a
  // node without key; a non-empty key already in the tree raises 35602.
  TreeNode Add(const TreeNode& parent, const std::string& key, const std::string& text,
               const std::string& image = {}, const std::string& selectedImage = {});
  // Adds a placeholder child: no key, no text.
  TreeNode AddPlaceholder(const TreeNode& parent);
  // The node of key; raises 35601 when there is none.
  TreeNode Node(const std::string& key) const;
  // The node of key, null when there is none.
  TreeNode Find(const std::string& key) const;
  bool Exists(const std::string& key) const { return !Find(key).isNull(); }
  // The node at index (from 1); raises 35601 out of range.
  TreeNode NodeAt(int index) const;
  int Count() const { return static_cast<int>(order_.size()); }
  std::vector<TreeNode> topNodes() const;

  // Removes a node with its descendants.
  void Remove(const TreeNode& node);
  // Removes every child of node (not the node).
  void RemoveChildren(const TreeNode& node);
  void Clear();
  // Ends a label edit in progress, keeping what was typed (afterLabelEdit is
  // raised), so that a command started meanwhile sees the new name.
  void CommitEdit();

  TreeNode SelectedItem() const;
  void SetSelectedItem(const TreeNode& node);  // raises no notification

  // The user's actions, for tests and screenshots: each does what the user's
  // gesture does and raises the same notifications.
  void simulateClick(const TreeNode& node);
  void simulateExpand(const TreeNode& node);
  void simulateCollapse(const TreeNode& node);
  void simulateCheck(const TreeNode& node, bool checked);
  // Starts and finishes a label edit; answers whether the new text was kept.
  bool simulateLabelEdit(const TreeNode& node, const std::string& newText);
  // Drags source and drops it on target (target null: on no node). Answers false
  // when dragging is not enabled.
  bool simulateDragDrop(const TreeNode& source, const TreeNode& target);

  // Whether nodes may be dragged and dropped (off by default).
  void SetDragDrop(bool on);

 signals:
  void nodeClick(wayfind::widgets::TreeNode node);
  void expand(wayfind::widgets::TreeNode node);
  void collapse(wayfind::widgets::TreeNode node);
  void nodeCheck(wayfind::widgets::TreeNode node);
  void beforeLabelEdit(wayfind::widgets::TreeNode node, bool& cancel);
  void afterLabelEdit(wayfind::widgets::TreeNode node, std::string& newText, bool& cancel);
  void dragStart(wayfind::widgets::TreeNode node);
  void dragDrop(wayfind::widgets::TreeNode source, wayfind::widgets::TreeNode target);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  friend class TreeNode;
  friend class KeyedTreeDelegate;
  void forget(QTreeWidgetItem* item);
  void refreshIcon(QTreeWidgetItem* item);
  void onItemChanged(QTreeWidgetItem* item, int column);
  bool finishLabelEdit(QTreeWidgetItem* item, const QString& text);

  const ImageList* images_ = nullptr;
  bool checkBoxes_ = false;
  bool labelEdit_ = false;
  int quiet_ = 0;
  std::vector<QTreeWidgetItem*> order_;
  std::map<std::string, QTreeWidgetItem*> byKey_;
  QTreeWidgetItem* dragged_ = nullptr;
  int renamePauseMs_ = -1;  // -1: the double-click time
  QElapsedTimer currentSince_;
  QElapsedTimer focusedSince_;
};

}  // namespace wayfind::widgets

Q_DECLARE_METATYPE(wayfind::widgets::TreeNode)
