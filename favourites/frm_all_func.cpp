#include "favourites/frm_all_func.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDrag>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QMimeData>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <QVBoxLayout>

#include "context/language.h"
#include "favourites/dlg_set_normal.h"
#include "favourites/favourite_icons.h"
#include "favourites/function_rows.h"
#include "favourites/ports.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/node_keys.h"
#include "widgets/busy_state.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/image_list.h"
#include "widgets/message_boxes.h"
#include "widgets/modal_runner.h"
#include "widgets/twips.h"

namespace wayfind::favourites {

namespace {

using nav::Level;

// The key of the node for the record set's current row on level.
std::string nodeKey(Level level, const platform::Recordset& rs) {
  return nav::NodeKey(level, platform::CLng(rs.value(nav::InfoOf(level).idField)));
}

// The identifier part of a key ("Sys100003" -> 100003); -1 when it is not a
// decimal number or is negative.
int32_t keyId(const std::string& key) { return std::max(nav::KeyId(key).value_or(-1), -1); }

}  // namespace

frmAllFunc::frmAllFunc(QWidget* parent) : widgets::Form(kFormName, parent) {
  widgets::SetHelpContext(*this, 520015);
  setWindowTitle("可选功能");
  imgLstTB = favouriteImages(this, {"Close", "Open", "Acct", "DragIcon", "NoDrop"});
  imgLstTB->setObjectName("imgLstTB");

  tvFunc = new widgets::KeyedTree(this);
  tvFunc->setObjectName("tvFunc");
  tvFunc->SetImageList(imgLstTB);
  tvFunc->setHeaderHidden(true);
  tvFunc->viewport()->installEventFilter(this);
  tvFunc->installEventFilter(this);

  btnOk = new QPushButton("选中", this);
  btnOk->setObjectName("btnOk");
  btnCancel = new QPushButton("关闭", this);
  btnCancel->setObjectName("btnCancel");
  for (QPushButton* b : {btnOk, btnCancel}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* all = new QVBoxLayout(this);
  all->addWidget(tvFunc, 1);
  all->addLayout(buttons);
  resize(widgets::twipsToPixels(4800), widgets::twipsToPixels(6300));

  connect(tvFunc, &widgets::KeyedTree::expand, this, &frmAllFunc::ExpandNode);
  connect(tvFunc, &widgets::KeyedTree::nodeClick, this, &frmAllFunc::NodeClick);
  connect(tvFunc, &QTreeWidget::currentItemChanged, this, [this] {
    if (keyPressing_) keyboardChoice_ = true;
  });
  connect(btnOk, &QPushButton::clicked, this, &frmAllFunc::PickSelected);
  connect(btnCancel, &QPushButton::clicked, this, [this] { Unload(); });
}

void frmAllFunc::ShowMe(widgets::Grid* objVaSpread) {
  grid_ = objVaSpread;
  // A window of the editor's, so the editor's modality does not shut it out.
  QWidget* owner = grid_ ? grid_->window() : nullptr;
  if (owner) {
    setParent(owner, Qt::Dialog);
    placeBeside(*owner);
  }
  // However the showing ends, a picker that failed to load included, it is the
  // editor's no longer and waits for nothing.
  struct Release {
    frmAllFunc& picker;
    QWidget* owner;
    ~Release() {
      picker.waiting_ = nullptr;
      if (owner) picker.setParent(nullptr, Qt::Dialog);
      picker.grid_ = nullptr;
    }
  } release{*this, owner};
  if (widgets::ModalRunner::instance().scripted() || !owner) {
    ShowModal();
  } else {
    // Modeless while the user drags onto the grid; ShowMe still returns only
    // when the picker is closed.
    Load();
    if (isLoaded()) {
      setWindowModality(Qt::NonModal);
      show();
      raise();
      activateWindow();
      QEventLoop loop;
      waiting_ = &loop;
      loop.exec();
    }
  }
}

void frmAllFunc::placeBeside(const QWidget& owner) {
  // Beside the editor, never over the list it drops onto: on the right where the
  // screen has room, else on the left.
  const QRect editor = owner.frameGeometry();
  const QScreen* screen = owner.screen() ? owner.screen() : QGuiApplication::primaryScreen();
  const QRect room = screen ? screen->availableGeometry() : QRect(editor.topLeft(), QSize(1 << 20, 1 << 20));
  const int gap = 8;
  const QSize size = frameGeometry().size().expandedTo(this->size());
  int x = editor.right() + 1 + gap;
  if (x + size.width() > room.right() + 1) {
    x = editor.left() - gap - size.width();
    // No room on either side: at the screen's left edge, over the groups rather
    // than the list.
    if (x < room.left()) x = room.left();
  }
  const int y = std::clamp(editor.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
  move(x, y);
}

void frmAllFunc::hideEvent(QHideEvent* event) {
  widgets::Form::hideEvent(event);
  if (waiting_) waiting_->quit();
}

void frmAllFunc::Form_Load() {
  hadMouseDown_ = false;
  keyboardChoice_ = false;
  LoadTopClasses();
}

void frmAllFunc::Form_Unload() { tvFunc->Clear(); }

void frmAllFunc::LoadTopClasses() {
  tvFunc->Clear();
  auto rs = widgets::RunBusy(this, [] { return newDatasInfo()->GetTopClass(); });
  // The favourites' own class is not a place to pick functions from.
  const std::string favouritesClass = context::GetLangText("我的T/8");
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    const std::string name = platform::fieldText(*rs, "FTopClassName");
    if (name == favouritesClass) continue;
    auto node = tvFunc->Add({}, nodeKey(Level::TopClass, *rs), name, "Close", "Open");
    tvFunc->AddPlaceholder(node);
  }
  NodeClick(tvFunc->SelectedItem());
}

void frmAllFunc::LoadSubSystems(const widgets::TreeNode& parent, int32_t topClassId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetSubSystem(topClassId); });
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    auto node = tvFunc->Add(parent, nodeKey(Level::SubSystem, *rs), platform::fieldText(*rs, "FName"), "Close", "Open");
    tvFunc->AddPlaceholder(node);
  }
}

void frmAllFunc::LoadSubFuncs(const widgets::TreeNode& parent, int32_t subSystemId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetSubFunc(subSystemId); });
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    auto node = tvFunc->Add(parent, nodeKey(Level::SubFunc, *rs), platform::fieldText(*rs, "FFuncName"), "Close", "Open");
    tvFunc->AddPlaceholder(node);
  }
}

void frmAllFunc::LoadDetailFuncs(const widgets::TreeNode& parent, int32_t subFuncId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailFunc(subFuncId); });
  for (; rs && !rs->isEOF(); rs->MoveNext())
    tvFunc->Add(parent, nodeKey(Level::DetailFunc, *rs), platform::fieldText(*rs, "FFuncName"), "Acct", "Acct");
}

void frmAllFunc::ExpandNode(const widgets::TreeNode& node) {
  const int32_t id = keyId(node.Key());
  widgets::TreeNode first = node.Child();
  if (id < 0 || !first || !first.IsPlaceholder()) return;  // loaded before
  try {
    tvFunc->Remove(first);
    if (!node.Parent()) {
      LoadSubSystems(node, id);
    } else if (nav::LevelOfKey(node.Key()) == Level::SubSystem) {
      LoadSubFuncs(node, id);
    } else if (nav::LevelOfKey(node.Key()) == Level::SubFunc) {
      LoadDetailFuncs(node, id);
    }
  } catch (const platform::AutomationError& e) {
    // The level can be opened again to retry: its placeholder goes back, and
    // the node closes.
    for (widgets::TreeNode child = node.Child(); child; child = node.Child()) tvFunc->Remove(child);
    tvFunc->AddPlaceholder(node);
    widgets::TreeNode(node).SetExpanded(false);
    widgets::MsgError(e);
  }
}

void frmAllFunc::NodeClick(const widgets::TreeNode& node) {
  btnOk->setEnabled(node && detailFuncIdOfKey(node.Key()) != -1);
}

void frmAllFunc::PickSelected() {
  // The node the user chose: by the keys, or where the mouse last went down.
  if (!keyboardChoice_ && (!hadMouseDown_ || !tvFunc->itemAt(mouseDown_))) return;
  const widgets::TreeNode selected = tvFunc->SelectedItem();
  const int32_t id = selected ? detailFuncIdOfKey(selected.Key()) : -1;
  if (id == -1) return;
  try {
    AddToList(id);
  } catch (const platform::AutomationError& e) {
    widgets::MsgError(e);
  }
  // The editor's list counts as changed even when the function was there already;
  // its "<<" serves the rows the picker added.
  if (grid_)
    if (auto* editor = qobject_cast<dlgSetNormal*>(grid_->window())) {
      editor->m_bDirty = true;
      if (grid_->MaxRows() > 0) editor->btnDel->setEnabled(true);
    }
}

void frmAllFunc::AddToList(int32_t detailFuncId) {
  if (!grid_ || grid_->FindRowByItemData(detailFuncId) > 0) return;
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailFuncInfo(detailFuncId); });
  if (hasRecord(rs)) appendFunctionRow(*grid_, detailFuncId, *rs);
}

bool frmAllFunc::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tvFunc && event->type() == QEvent::KeyPress) {
    // The keyboard's way through the tree: a node reached with the keys is chosen
    // as a click chooses it, and Enter on a function adds it, as a double click does.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      PickSelected();  // the node reached with the keys, or clicked
      return true;
    }
    keyPressing_ = true;  // the tree moves its selection once this filter has passed the key on
    return widgets::Form::eventFilter(watched, event);
  }
  if (watched == tvFunc && event->type() == QEvent::KeyRelease) keyPressing_ = false;
  if (watched != tvFunc->viewport()) return widgets::Form::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      mouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
      hadMouseDown_ = true;
      keyboardChoice_ = false;
      break;
    }
    case QEvent::MouseMove: {
      auto* move = static_cast<QMouseEvent*>(event);
      if (!(move->buttons() & Qt::LeftButton)) break;
      const QPoint at = move->position().toPoint();
      if ((at - mouseDown_).manhattanLength() < QApplication::startDragDistance()) break;
      QTreeWidgetItem* item = tvFunc->itemAt(at);
      const widgets::TreeNode node(tvFunc, item);
      if (!item || detailFuncIdOfKey(node.Key()) == -1) return true;  // only functions are dragged
      tvFunc->SetSelectedItem(node);
      NodeClick(node);
      startDrag(node);
      return true;
    }
    case QEvent::MouseButtonDblClick: {
      mouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
      hadMouseDown_ = true;
      PickSelected();
      break;
    }
    default:
      break;
  }
  return widgets::Form::eventFilter(watched, event);
}

void frmAllFunc::startDrag(const widgets::TreeNode& node) {
  auto* drag = new QDrag(tvFunc);
  auto* mime = new QMimeData;
  mime->setData(kTreeNodeMimeType, QByteArray::fromStdString(node.Key()));
  drag->setMimeData(mime);
  drag->setPixmap(imgLstTB->icon("DragIcon").pixmap(16, 16));
  // Where the grid refuses the function (listed already), the drag shows "NoDrop".
  drag->setDragCursor(imgLstTB->icon("NoDrop").pixmap(16, 16), Qt::IgnoreAction);
  drag->exec(Qt::CopyAction);
}

namespace {

// The screenshot opens the first top class down to its first sub-function and
// selects that sub-function's first function.
void openOnASubFunction(widgets::Form& form) {
  auto& picker = static_cast<frmAllFunc&>(form);
  widgets::KeyedTree& tree = *picker.tvFunc;
  if (tree.Count() == 0) return;
  widgets::TreeNode node = tree.NodeAt(1);
  for (int level = 0; level < 3 && node; ++level) {
    tree.simulateExpand(node);
    node.SetExpanded(true);
    widgets::TreeNode child = node.Child();
    if (!child) break;
    node = child;
  }
  if (node) tree.simulateClick(node);
}

}  // namespace

void frmAllFunc::Register() { widgets::registerForm<frmAllFunc>(openOnASubFunction); }

}  // namespace wayfind::favourites
