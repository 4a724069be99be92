#include "widgets/keyed_tree.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/automation/automation_error.h"
#include "widgets/elided_tooltips.h"
#include "widgets/image_list.h"
#include "widgets/tree_item_roles.h"

namespace wayfind::widgets {

using namespace treeitem;

// Label editing: asks beforeLabelEdit when an edit starts (through KeyedTree::edit)
// and afterLabelEdit when it ends.
class KeyedTreeDelegate : public QStyledItemDelegate {
 public:
  explicit KeyedTreeDelegate(KeyedTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A screen reader names the box as it names the tree.
    if (editor) editor->setAccessibleName(tree_->accessibleName());
    return editor;
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* item = tree_->itemFromIndex(index);
    if (line && item) tree_->finishLabelEdit(item, line->text());
  }

 private:
  KeyedTree* tree_;
};

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new KeyedTreeDelegate(this));
  setDragDropMode(QAbstractItemView::NoDragDrop);
  ShowElidedTextTips(this);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* it) {
    if (quiet_ == 0) emit expand(TreeNode(this, it));
  });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* it) {
    if (quiet_ == 0) emit collapse(TreeNode(this, it));
  });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* it, int) {
    if (quiet_ == 0) emit nodeClick(TreeNode(this, it));
  });
  connect(this, &QTreeWidget::itemChanged, this, &KeyedTree::onItemChanged);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now, QTreeWidgetItem* before) {
    // A node on its way out (Remove forgets it first) is left alone.
    auto known = [this](QTreeWidgetItem* it) { return std::find(order_.begin(), order_.end(), it) != order_.end(); };
    currentSince_.start();
    if (before && known(before)) refreshIcon(before);
    if (now && known(now)) refreshIcon(now);
  });
}

void KeyedTree::SetImageList(const ImageList* images) {
  images_ = images;
  for (QTreeWidgetItem* it : order_) refreshIcon(it);
}

void KeyedTree::SetCheckBoxes(bool on) {
  checkBoxes_ = on;
  ++quiet_;
  for (QTreeWidgetItem* it : order_) {
    if (on) {
      it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
      if (!it->data(0, Qt::CheckStateRole).isValid()) it->setCheckState(0, Qt::Unchecked);
    } else {
      it->setFlags(it->flags() & ~Qt::ItemIsUserCheckable);
      it->setData(0, Qt::CheckStateRole, QVariant());
    }
  }
  --quiet_;
}

void KeyedTree::SetLabelEdit(bool on) {
  labelEdit_ = on;
  setEditTriggers(on ? (QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed)
                     : QAbstractItemView::NoEditTriggers);
  ++quiet_;
  for (QTreeWidgetItem* it : order_)
    it->setFlags(on ? (it->flags() | Qt::ItemIsEditable) : (it->flags() & ~Qt::ItemIsEditable));
  --quiet_;
}

void KeyedTree::SetDragDrop(bool on) {
  setDragEnabled(on);
  setAcceptDrops(on);
  setDropIndicatorShown(on);
  setDragDropMode(on ? QAbstractItemView::DragDrop : QAbstractItemView::NoDragDrop);
}

TreeNode KeyedTree::Add(const TreeNode& parent, const std::string& key, const std::string& text,
                        const std::string& image, const std::string& selectedImage) {
  if (!key.empty() && byKey_.count(key))
    platform::raise(kErrKeyNotUnique, kSource, "Key is not unique in collection: " + key);
  if (parent && parent.tree() != this) notFound("the parent node belongs to another tree");
  ++quiet_;
  auto* item = new QTreeWidgetItem;
  item->setText(0, QString::fromStdString(text));
  item->setData(0, kKeyRole, QString::fromStdString(key));
  item->setData(0, kImageRole, QString::fromStdString(image));
  item->setData(0, kSelectedImageRole, QString::fromStdString(selectedImage));
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
  if (checkBoxes_) flags |= Qt::ItemIsUserCheckable;
  if (labelEdit_) flags |= Qt::ItemIsEditable;
  item->setFlags(flags);
  if (checkBoxes_) {
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, kCheckedRole, false);
  }
  if (parent)
    parent.item()->addChild(item);
  else
    addTopLevelItem(item);
  order_.push_back(item);
  if (!key.empty()) byKey_[key] = item;
  --quiet_;
  refreshIcon(item);
  return TreeNode(this, item);
}

TreeNode KeyedTree::AddPlaceholder(const TreeNode& parent) {
  if (!parent) notFound("a placeholder needs a parent node");
  return Add(parent, "", "");
}

TreeNode KeyedTree::Find(const std::string& key) const {
  auto it = byKey_.find(key);
  return TreeNode(const_cast<KeyedTree*>(this), it == byKey_.end() ? nullptr : it->second);
}

TreeNode KeyedTree::Node(const std::string& key) const {
  TreeNode node = Find(key);
  if (!node) notFound("no node has the key \"" + key + "\"");
  return node;
}

TreeNode KeyedTree::NodeAt(int index) const {
  if (index < 1 || index > Count()) notFound("no node at index " + std::to_string(index));
  return TreeNode(const_cast<KeyedTree*>(this), order_[static_cast<size_t>(index - 1)]);
}

std::vector<TreeNode> KeyedTree::topNodes() const {
  std::vector<TreeNode> out;
  for (int i = 0; i < topLevelItemCount(); ++i) out.emplace_back(const_cast<KeyedTree*>(this), topLevelItem(i));
  return out;
}

void KeyedTree::forget(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) forget(item->child(i));
  order_.erase(std::remove(order_.begin(), order_.end(), item), order_.end());
  const std::string key = item->data(0, kKeyRole).toString().toStdString();
  if (!key.empty()) byKey_.erase(key);
  if (dragged_ == item) dragged_ = nullptr;
}

void KeyedTree::Remove(const TreeNode& node) {
  if (!node || node.tree() != this) notFound("no node to remove");
  ++quiet_;
  forget(node.item());
  delete node.item();
  --quiet_;
}

void KeyedTree::RemoveChildren(const TreeNode& node) {
  if (!node || node.tree() != this) notFound("no node");
  ++quiet_;
  while (node.item()->childCount() > 0) {
    QTreeWidgetItem* child = node.item()->child(0);
    forget(child);
    delete child;
  }
  --quiet_;
}

void KeyedTree::CommitEdit() {
  if (state() != QAbstractItemView::EditingState) return;
  QWidget* editor = indexWidget(currentIndex());
  if (!editor) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void KeyedTree::Clear() {
  ++quiet_;
  order_.clear();
  byKey_.clear();
  dragged_ = nullptr;
  clear();
  --quiet_;
}

TreeNode KeyedTree::SelectedItem() const { return TreeNode(const_cast<KeyedTree*>(this), currentItem()); }

void KeyedTree::SetSelectedItem(const TreeNode& node) {
  ++quiet_;
  setCurrentItem(node ? node.item() : nullptr);
  --quiet_;
}

void KeyedTree::refreshIcon(QTreeWidgetItem* item) {
  if (!images_) return;
  QString key = item->data(0, kImageRole).toString();
  const QString selected = item->data(0, kSelectedImageRole).toString();
  if (item == currentItem() && !selected.isEmpty()) key = selected;
  ++quiet_;
  item->setIcon(0, key.isEmpty() ? QIcon() : images_->icon(key.toStdString()));
  --quiet_;
}

void KeyedTree::onItemChanged(QTreeWidgetItem* item, int) {
  if (quiet_ > 0 || !checkBoxes_) return;
  const bool now = item->checkState(0) == Qt::Checked;
  if (item->data(0, kCheckedRole).toBool() == now) return;  // a text change, not a tick
  ++quiet_;
  item->setData(0, kCheckedRole, now);
  --quiet_;
  emit nodeCheck(TreeNode(this, item));
}

bool KeyedTree::finishLabelEdit(QTreeWidgetItem* item, const QString& text) {
  std::string newText = text.toStdString();
  bool cancel = false;
  emit afterLabelEdit(TreeNode(this, item), newText, cancel);
  if (cancel) return false;
  ++quiet_;
  item->setText(0, QString::fromStdString(newText));
  --quiet_;
  return true;
}

void KeyedTree::simulateClick(const TreeNode& node) {
  if (!node) notFound("no node to click");
  SetSelectedItem(node);
  emit nodeClick(node);
}

void KeyedTree::simulateExpand(const TreeNode& node) {
  if (!node) notFound("no node to expand");
  if (node.item()->isExpanded()) return;
  node.item()->setExpanded(true);  // raises expand through itemExpanded
}

void KeyedTree::simulateCollapse(const TreeNode& node) {
  if (!node) notFound("no node to collapse");
  if (!node.item()->isExpanded()) return;
  node.item()->setExpanded(false);
}

void KeyedTree::simulateCheck(const TreeNode& node, bool checked) {
  if (!node) notFound("no node to check");
  if (!checkBoxes_) return;
  node.item()->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);  // raises nodeCheck
}

bool KeyedTree::simulateLabelEdit(const TreeNode& node, const std::string& newText) {
  if (!node) notFound("no node to edit");
  if (!labelEdit_) return false;
  bool cancel = false;
  emit beforeLabelEdit(node, cancel);
  if (cancel) return false;
  return finishLabelEdit(node.item(), QString::fromStdString(newText));
}

bool KeyedTree::simulateDragDrop(const TreeNode& source, const TreeNode& target) {
  if (!source) notFound("no node to drag");
  if (!dragEnabled()) return false;
  emit dragStart(source);
  emit dragDrop(source, target);
  return true;
}

bool KeyedTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!labelEdit_ || trigger == QAbstractItemView::NoEditTriggers) return QTreeWidget::edit(index, trigger, event);
  QTreeWidgetItem* item = itemFromIndex(index);
  if (!item) return false;
  // Not a way to rename (Space, a double click): the view's own handling, which
  // ticks a check box and starts no edit.
  if ((editTriggers() & trigger) == 0) return QTreeWidget::edit(index, trigger, event);
  if (trigger == QAbstractItemView::SelectedClicked) {
    const qint64 pause = renamePauseMs_ >= 0 ? renamePauseMs_ : QApplication::doubleClickInterval();
    auto waited = [pause](const QElapsedTimer& since) { return since.isValid() && since.elapsed() >= pause; };
    if (!waited(currentSince_) || !waited(focusedSince_)) return false;
  }
  bool cancel = false;
  emit beforeLabelEdit(TreeNode(this, item), cancel);
  if (cancel) return false;
  return QTreeWidget::edit(index, trigger, event);
}

void KeyedTree::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* before = currentItem();
  QTreeWidget::keyPressEvent(event);
  // Moving the selection with the keyboard is a click on the new node.
  if (currentItem() && currentItem() != before && quiet_ == 0) emit nodeClick(TreeNode(this, currentItem()));
}

void KeyedTree::inputMethodEvent(QInputMethodEvent* event) {
  // Typing a node's first characters through an input method moves the
  // selection as keys do: a click on the new node too.
  QTreeWidgetItem* before = currentItem();
  QTreeWidget::inputMethodEvent(event);
  if (currentItem() && currentItem() != before && quiet_ == 0) emit nodeClick(TreeNode(this, currentItem()));
}

void KeyedTree::focusInEvent(QFocusEvent* event) {
  focusedSince_.start();
  QTreeWidget::focusInEvent(event);
  // Reached by the keyboard, the tree has a node to work on at once: the arrows
  // move from it and Space ticks it. Nothing is clicked by coming here.
  if (!currentItem() && event->reason() != Qt::MouseFocusReason && topLevelItemCount() > 0) {
    ++quiet_;
    setCurrentItem(topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    --quiet_;
  }
}

void KeyedTree::startDrag(Qt::DropActions) {
  QTreeWidgetItem* item = currentItem();
  if (!item) return;
  dragged_ = item;
  emit dragStart(TreeNode(this, item));
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData("application/x-wayfind-tree-node", item->data(0, kKeyRole).toString().toUtf8());
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction | Qt::CopyAction);
  dragged_ = nullptr;
}

void KeyedTree::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() == this) event->acceptProposedAction();
  else event->ignore();
}

void KeyedTree::dragMoveEvent(QDragMoveEvent* event) {
  if (event->source() == this) event->acceptProposedAction();
  else event->ignore();
}

void KeyedTree::dropEvent(QDropEvent* event) {
  // The window decides what a drop means; the tree itself moves nothing.
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  QTreeWidgetItem* source = dragged_;
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  if (source) emit dragDrop(TreeNode(this, source), TreeNode(this, target));
}

}  // namespace wayfind::widgets
