#include "widgets/tree_node.h"

#include "widgets/keyed_tree.h"
#include "widgets/tree_item_roles.h"

namespace wayfind::widgets {

using namespace treeitem;

void TreeNode::check(const char* what) const {
  if (!item_) platform::raise(91, kSource, std::string(what) + ": no node.");
}

std::string TreeNode::Key() const {
  check("Key");
  return item_->data(0, kKeyRole).toString().toStdString();
}

std::string TreeNode::Text() const {
  check("Text");
  return item_->text(0).toStdString();
}

void TreeNode::SetText(const std::string& text) {
  check("Text");
  ++tree_->quiet_;
  item_->setText(0, QString::fromStdString(text));
  --tree_->quiet_;
}

std::string TreeNode::Image() const {
  check("Image");
  return item_->data(0, kImageRole).toString().toStdString();
}

void TreeNode::SetImage(const std::string& imageKey) {
  check("Image");
  ++tree_->quiet_;
  item_->setData(0, kImageRole, QString::fromStdString(imageKey));
  --tree_->quiet_;
  tree_->refreshIcon(item_);
}

std::string TreeNode::SelectedImage() const {
  check("SelectedImage");
  return item_->data(0, kSelectedImageRole).toString().toStdString();
}

void TreeNode::SetSelectedImage(const std::string& imageKey) {
  check("SelectedImage");
  ++tree_->quiet_;
  item_->setData(0, kSelectedImageRole, QString::fromStdString(imageKey));
  --tree_->quiet_;
  tree_->refreshIcon(item_);
}

int TreeNode::Index() const {
  check("Index");
  const auto& order = tree_->order_;
  return static_cast<int>(std::find(order.begin(), order.end(), item_) - order.begin()) + 1;
}

bool TreeNode::IsPlaceholder() const {
  check("IsPlaceholder");
  return Key().empty() && item_->text(0).isEmpty();
}

TreeNode TreeNode::Parent() const {
  check("Parent");
  return TreeNode(tree_, item_->parent());
}

TreeNode TreeNode::Child() const {
  check("Child");
  return TreeNode(tree_, item_->childCount() > 0 ? item_->child(0) : nullptr);
}

TreeNode TreeNode::Next() const {
  check("Next");
  QTreeWidgetItem* parent = item_->parent();
  if (parent) {
    int i = parent->indexOfChild(item_);
    return TreeNode(tree_, i + 1 < parent->childCount() ? parent->child(i + 1) : nullptr);
  }
  int i = tree_->indexOfTopLevelItem(item_);
  return TreeNode(tree_, i + 1 < tree_->topLevelItemCount() ? tree_->topLevelItem(i + 1) : nullptr);
}

TreeNode TreeNode::Previous() const {
  check("Previous");
  QTreeWidgetItem* parent = item_->parent();
  int i = parent ? parent->indexOfChild(item_) : tree_->indexOfTopLevelItem(item_);
  if (i <= 0) return TreeNode(tree_, nullptr);
  return TreeNode(tree_, parent ? parent->child(i - 1) : tree_->topLevelItem(i - 1));
}

int TreeNode::Children() const {
  check("Children");
  return item_->childCount();
}

std::vector<TreeNode> TreeNode::childNodes() const {
  check("Children");
  std::vector<TreeNode> out;
  for (int i = 0; i < item_->childCount(); ++i) out.emplace_back(tree_, item_->child(i));
  return out;
}

TreeNode TreeNode::Root() const {
  check("Root");
  QTreeWidgetItem* it = item_;
  while (it->parent()) it = it->parent();
  return TreeNode(tree_, it);
}

bool TreeNode::Expanded() const {
  check("Expanded");
  return item_->isExpanded();
}

void TreeNode::SetExpanded(bool expanded) {
  check("Expanded");
  ++tree_->quiet_;
  item_->setExpanded(expanded);
  --tree_->quiet_;
}

bool TreeNode::Checked() const {
  check("Checked");
  return item_->checkState(0) == Qt::Checked;
}

void TreeNode::SetChecked(bool checked) {
  check("Checked");
  ++tree_->quiet_;
  item_->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
  item_->setData(0, kCheckedRole, checked);
  --tree_->quiet_;
}

bool TreeNode::Selected() const {
  check("Selected");
  return tree_->currentItem() == item_;
}

void TreeNode::EnsureVisible() {
  check("EnsureVisible");
  ++tree_->quiet_;
  for (QTreeWidgetItem* p = item_->parent(); p; p = p->parent()) p->setExpanded(true);
  --tree_->quiet_;
  tree_->scrollToItem(item_);
}

}  // namespace wayfind::widgets
