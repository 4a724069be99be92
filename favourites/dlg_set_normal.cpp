#include "favourites/dlg_set_normal.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>
#include <vector>

#include "context/language.h"
#include "dialogs/dlg_add_item.h"
#include "context/login_props.h"
#include "context/save_outcome.h"
#include "favourites/favourite_icons.h"
#include "favourites/frm_all_func.h"
#include "favourites/ports.h"
#include "platform/automation/conversions.h"
#include "favourites/favourite_columns.h"
#include "widgets/busy_state.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/image_list.h"
#include "widgets/message_boxes.h"
#include "widgets/toolbar.h"
#include "widgets/twips.h"

namespace wayfind::favourites {

using platform::AutomationError;

namespace {

constexpr const char* kBand = "工具条";

std::string lang(const char* chinese) { return context::GetLangText(chinese); }

// The key of a group's node: the groups are the top level of their tree, and
// their nodes are keyed as top-level nodes are.
std::string groupKey(int32_t groupId) { return "Top" + std::to_string(groupId); }

// Runs a command; a failure is reported by the message service and the window
// stays as it is.
template <class F>
void reported(F&& command) {
  try {
    command();
  } catch (const AutomationError& e) {
    widgets::MsgError(e);
  } catch (const std::exception& e) {
    widgets::MsgError(AutomationError(platform::err::kInvalidProcedureCall, "WayfindInfo", e.what()));
  }
}

}  // namespace

dlgSetNormal::dlgSetNormal(QWidget* parent) : widgets::Form(kFormName, parent) {
  widgets::SetHelpContext(*this, 520014);
  buildControls();
  setUpGrid();
}

void dlgSetNormal::buildControls() {
  setWindowTitle("常用功能设置");
  imgLstTB = favouriteImages(this, {"Close", "Open", "NoDrop", "Acct", "DragIcon"});
  imgLstTB->setObjectName("imgLstTB");

  Bar = new widgets::ToolBar(this);
  Bar->setObjectName("Bar");
  Bar->SetImageList(widgets::ImageList::standard(Bar, {"New", "Delete", "Apply", "Refresh", "Close", "Help"}));
  Bar->AddBand(kBand)->setWindowTitle(kBand);
  Bar->AddTool(kBand, "New", "新建", "New");
  Bar->AddTool(kBand, "Delete", "删除", "Delete");
  Bar->AddTool(kBand, "SetProps", "应用", "Apply");
  Bar->AddTool(kBand, "Refresh", "刷新", "Refresh");
  Bar->AddTool(kBand, "Close", "关闭", "Close");
  Bar->AddTool(kBand, "Help", "帮助", "Help");
  Bar->SetToolShortcut("New", QKeySequence::New);
  Bar->SetToolShortcut("Delete", QKeySequence::Delete);
  Bar->SetToolShortcut("SetProps", QKeySequence::Save);
  Bar->SetToolShortcut("Refresh", QKeySequence::Refresh);
  Bar->SetToolShortcut("Close", QKeySequence(Qt::CTRL | Qt::Key_W));
  Bar->SetToolShortcut("Help", QKeySequence(Qt::Key_F1));

  lblFunc = new QLabel("常用功能组：", this);
  lblFunc->setObjectName("lblFunc");
  tvGroup = new widgets::KeyedTree(this);
  tvGroup->setObjectName("tvGroup");
  tvGroup->SetImageList(imgLstTB);
  tvGroup->SetLabelEdit(true);
  tvGroup->setHeaderHidden(true);

  lblNormal = new QLabel("已选常用功能：", this);
  lblNormal->setObjectName("lblNormal");
  vaNormal = new widgets::Grid(this);
  vaNormal->setObjectName("vaNormal");

  btnDel = new QPushButton("<<", this);
  btnDel->setObjectName("btnDel");
  btnDel->setToolTip("删除所选常用功能");
  Command1 = new QPushButton("属性设置", this);
  Command1->setObjectName("Command1");
  btnCancel = new QPushButton("取消(&C)", this);
  btnCancel->setObjectName("btnCancel");
  for (QPushButton* b : {btnDel, Command1, btnCancel}) b->setAutoDefault(false);

  // The toolbar on top, the groups on the left, the list on the right, the
  // buttons along the bottom edge.
  auto* left = new QVBoxLayout;
  left->addWidget(lblFunc);
  left->addWidget(tvGroup);
  auto* right = new QVBoxLayout;
  right->addWidget(lblNormal);
  right->addWidget(vaNormal);
  auto* middle = new QHBoxLayout;
  middle->addLayout(left, 2);
  middle->addLayout(right, 5);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnDel);
  buttons->addWidget(Command1);
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  auto* all = new QVBoxLayout(this);
  all->addWidget(Bar);
  all->addLayout(middle, 1);
  all->addLayout(buttons);
  resize(widgets::twipsToPixels(10500), widgets::twipsToPixels(6600));

  connect(Bar, &widgets::ToolBar::toolClick, this, &dlgSetNormal::onToolClick);
  connect(tvGroup, &widgets::KeyedTree::nodeClick, this, [this](widgets::TreeNode) {
    reported([this] { SaveAndSwitchGroup(); });
  });
  connect(tvGroup, &widgets::KeyedTree::afterLabelEdit, this, &dlgSetNormal::onGroupLabelEdited);
  connect(btnDel, &QPushButton::clicked, this, &dlgSetNormal::onDelClicked);
  connect(Command1, &QPushButton::clicked, this, [this] { reported([this] { ShowMainConsoleEditor(); }); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { Unload(); });
}

void dlgSetNormal::Form_Load() {
  m_bDirty = false;
  saved_ = false;
  // The form is kept between showings: nothing of the last one's list may be
  // taken for this one's, should the first read fail.
  currentGroup_ = 0;
  readRows_.clear();
  vaNormal->ClearRows();
  RefreshEditor();
  // Each showing starts at the groups, whatever had the focus when it last closed.
  tvGroup->setFocus(Qt::OtherFocusReason);
}

void dlgSetNormal::RefreshEditor() {
  LoadGroupTree();
  if (tvGroup->Count() > 0) {
    widgets::TreeNode first = tvGroup->NodeAt(1);
    first.SetExpanded(true);
    // As if the first group had been clicked. The list is cleared only by a
    // read that succeeds: one that fails leaves the list with the group it
    // was read from, so that a save cannot take an empty list for it.
    SaveAndSwitchGroup();
  } else {
    vaNormal->ClearRows();
    currentGroup_ = 0;
    readRows_.clear();
  }
}

void dlgSetNormal::LoadGroupTree() {
  tvGroup->CommitEdit();  // a rename still open is stored before the groups are read
  auto groups = widgets::RunBusy(
      this, [] { return newDatasInfo()->GetNormalFuncGroup().objectAs<platform::Recordset>(); });
  tvGroup->Clear();
  for (; groups && !groups->isEOF(); groups->MoveNext()) {
    const int32_t id = platform::CLng(groups->value("FFuncGroupID"));
    tvGroup->Add({}, groupKey(id), platform::fieldText(*groups, "FFuncGroupName"), "Close", "Open");
  }
  if (tvGroup->Count() > 0) tvGroup->SetSelectedItem(tvGroup->NodeAt(1));
}

std::optional<std::string> dlgSetNormal::storedGroupName(int32_t groupId) {
  auto groups = widgets::RunBusy(
      this, [] { return newDatasInfo()->GetNormalFuncGroup().objectAs<platform::Recordset>(); });
  for (; groups && !groups->isEOF(); groups->MoveNext())
    if (platform::CLng(groups->value("FFuncGroupID")) == groupId) return platform::fieldText(*groups, "FFuncGroupName");
  return std::nullopt;
}

int32_t dlgSetNormal::groupIdOf(const widgets::TreeNode& node) {
  const std::string key = node.Key();
  return key.size() > 3 ? platform::CLng(platform::Variant(key.substr(3))) : 0;
}

bool dlgSetNormal::SaveAndSwitchGroup() {
  bool result = true;
  bool reading = false;
  try {
    if (m_bDirty) {
      if (!widgets::MsgQuestion(lang("您刚才对常用功能属性进行了修改，是否保存？"))) {
        // The edits go: should the next group's read fail, the list shows its
        // group as read, not edits nobody will be asked about again.
        showReadRows();
        result = true;
      } else if (!ValidateList()) {
        // The user's edits stay: the list keeps its group, the tree goes back to
        // that group, and the row the message named has the focus.
        keepEdits();
        return false;
      } else {
        SaveList();  // the save's wait shows the busy state
        result = true;
      }
    }
    m_bDirty = false;
    widgets::TreeNode selected = tvGroup->SelectedItem();
    if (!selected) return result;
    // The list is the clicked group's only once its rows are read: a read that
    // fails leaves the list, and the tree, on the group it showed.
    const int32_t next = groupIdOf(selected);
    reading = true;
    LoadGroupItems(next);
    currentGroup_ = next;
    Bar->SetToolEnabled("Delete", true);
    return result;
  } catch (const AutomationError& e) {
    reading ? reportReadFailure(e) : reportSaveFailure(e);
  } catch (const std::exception& e) {
    const AutomationError error(platform::err::kInvalidProcedureCall, "WayfindInfo", e.what());
    reading ? reportReadFailure(error) : reportSaveFailure(error);
  }
  return false;
}

void dlgSetNormal::keepEdits() {
  widgets::TreeNode own = tvGroup->Find(groupKey(currentGroup_));
  if (own) tvGroup->SetSelectedItem(own);
  vaNormal->setFocus(Qt::OtherFocusReason);
}

void dlgSetNormal::reportSaveFailure(const AutomationError& error) {
  widgets::MsgWarning(lang("在进行数据操作时发生错误: ") + context::SaveFailureDescription(error) + "\n\n" +
                      lang("错误号: ") + std::to_string(error.number()));
  // The edits stay, still marked changed, under their own group: saving again
  // retries, and leaving the group or closing asks about them once more.
  keepEdits();
}

void dlgSetNormal::reportReadFailure(const AutomationError& error) {
  // Nothing was being stored: the list and the tree stay on the group shown.
  widgets::MsgWarning(lang("在进行数据操作时发生错误: ") + error.description() + "\n\n" + lang("错误号: ") +
                      std::to_string(error.number()));
  keepEdits();
}

void dlgSetNormal::onToolClick(const QString& qname) {
  const std::string name = qname.toStdString();
  // A shortcut or button pressed while a cell or a group's name is edited takes
  // it along (a refresh would otherwise store the name over a list read before).
  vaNormal->CommitEdit();
  tvGroup->CommitEdit();
  if (name == "Close") {
    Unload();
    return;
  }
  if (name == "Help") {
    widgets::ShowHelpFor(*this);
    return;
  }
  reported([&] {
    if (name == "New") {
      // A list that was not saved stays, and nothing reloads over it.
      if (m_bDirty && !SaveAndSwitchGroup()) return;
      AddNew();
    } else if (name == "SetProps") {
      SaveAndSwitchGroup();
    } else if (name == "Delete") {
      if (widgets::MsgQuestion(lang("是否确认要删除该项目？"))) DeleteSelected();
    } else if (name == "Refresh") {
      if (!m_bDirty || SaveAndSwitchGroup()) RefreshEditor();
    }
  });
}

bool dlgSetNormal::groupTreeHasFocus() const {
  const QWidget* f = focusWidget();
  return f && (f == tvGroup || tvGroup->isAncestorOf(f));
}

bool dlgSetNormal::gridHasFocus() const {
  const QWidget* f = focusWidget();
  return f && (f == vaNormal || vaNormal->isAncestorOf(f));
}

void dlgSetNormal::AddNew() {
  reported([this] {
    // The grid's New is the picker; anywhere else (the tree, or neither) it is a
    // new group.
    if (!gridHasFocus() || tvGroup->Count() == 0) {
      // The new-group dialog is found by its form name; only its public
      // variables are used here, so this library does not link the dialogs'.
      auto& dlg = *static_cast<dialogs::dlgAddItem*>(widgets::forms().form(dialogs::dlgAddItem::kFormName));
      dlg.curLevel = "Grp1";
      dlg.ShowModal();
      const bool created = dlg.Tag.isString() && platform::CStr(dlg.Tag) == "OK";
      if (created) {
        saved_ = true;
        RefreshEditor();
      }
      dlg.Unload();
    } else if (gridHasFocus()) {
      // While the picker is open only the list takes part: the groups, the
      // toolbar and the buttons wait for it.
      const std::vector<QWidget*> waiting = {Bar, tvGroup, Command1, btnCancel};
      for (QWidget* w : waiting) w->setEnabled(false);
      struct Restore {
        const std::vector<QWidget*>& widgets;
        ~Restore() {
          for (QWidget* w : widgets) w->setEnabled(true);
        }
      } restore{waiting};
      widgets::forms().instance<frmAllFunc>().ShowMe(vaNormal);
    }
  });
}

void dlgSetNormal::DeleteSelected() {
  if (groupTreeHasFocus()) {
    if (vaNormal->MaxRows() > 0) {
      widgets::MsgInformation(lang("该组下存在明细功能，无法删除!"));
      return;
    }
    widgets::TreeNode selected = tvGroup->SelectedItem();
    if (tvGroup->Count() == 0 || !selected) return;
    const int32_t group = groupIdOf(selected);
    // The list as stored counts too: functions another user added meanwhile
    // would go with the group.
    if (!storedRows(group).empty()) {
      widgets::MsgInformation(lang("该组下存在明细功能，无法删除!"));
      return;
    }
    widgets::RunBusy(this, [group] { newDatasUpdate()->DelNormalFuncGroup(group); });
    saved_ = true;
    RefreshEditor();
    Bar->SetToolEnabled("Delete", !tvGroup->SelectedItem().isNull());
  } else {
    RemoveActiveRow();
    Bar->SetToolEnabled("Delete", vaNormal->MaxRows() > 0);
  }
}

void dlgSetNormal::onDelClicked() {
  RemoveActiveRow();
  btnDel->setEnabled(vaNormal->MaxRows() > 0);
}

void dlgSetNormal::ShowMainConsoleEditor() {
  widgets::Form* editor = widgets::forms().form("dlgSetProp");
  editor->ShowModal();
  editor->Unload();
}

void dlgSetNormal::onGroupLabelEdited(widgets::TreeNode node, std::string& newText, bool& cancel) {
  // The middle tier stores a group's name without the blanks around it; the tree
  // shows it as stored.
  newText = platform::trimSpaces(newText);
  if (newText == node.Text()) return;  // nothing changed: nothing to ask or store
  if (platform::charLength(newText) > static_cast<size_t>(kMaxGroupNameChars)) {
    widgets::MsgWarning(lang("项目名称超过了50个字符，请重新输入。"));
    cancel = true;
    editNameAgain(node, newText);
    return;
  }
  if (!widgets::MsgQuestion(lang("您刚才对常用功能组进行了修改，是否保存？"))) {
    cancel = true;
    return;
  }
  try {
    const int32_t group = groupIdOf(node);
    // Another user may have renamed the group since it was listed here: their
    // name is not overwritten unasked.
    if (const std::optional<std::string> stored = storedGroupName(group);
        stored && *stored != node.Text() && *stored != newText) {
      erp::api::SaveConflict conflict;
      conflict.item = node.Text();
      conflict.field = lang("名称");
      conflict.theirs = *stored;
      conflict.mine = newText;
      conflict.id = group;
      conflict.key = "FFuncGroupName";
      if (!context::AskKeepMine({conflict})) {
        newText = *stored;
        return;
      }
    }
    widgets::RunBusy(this, [&] { newDatasUpdate()->UpdateNormalFuncGroup(group, newText); });
    saved_ = true;
  } catch (const AutomationError& e) {
    // A name the server refused is not shown as if it were stored.
    cancel = true;
    widgets::MsgError(e);
    editNameAgain(node, newText);
  }
}

void dlgSetNormal::editNameAgain(const widgets::TreeNode& node, const std::string& typed) {
  // What the user typed is not thrown away with a refusal: the name's box
  // opens again on it, once the edit that ends now is over.
  QTimer::singleShot(0, this, [this, key = node.Key(), typed] {
    const widgets::TreeNode again = tvGroup->Find(key);
    if (!again || !isVisible()) return;
    tvGroup->SetSelectedItem(again);
    tvGroup->editItem(again.item());
    if (auto* line = qobject_cast<QLineEdit*>(tvGroup->indexWidget(tvGroup->currentIndex())))
      line->setText(QString::fromStdString(typed));
  });
}

void dlgSetNormal::KeyDown(int16_t keyCode) { context::ShowHELP(keyCode, kHelpContext, "", 0, "", 0); }


void dlgSetNormal::Form_QueryUnload(bool& cancel) {
  // The picker works on this window's list; it goes first.
  if (widgets::Form* picker = widgets::forms().existing(frmAllFunc::kFormName); picker && picker->isVisible())
    picker->Unload();
  vaNormal->CommitEdit();
  tvGroup->CommitEdit();
  if (m_bDirty && !SaveAndSwitchGroup()) cancel = true;
}

void dlgSetNormal::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    KeyDown(112);
    event->accept();
    return;
  }
  widgets::Form::keyPressEvent(event);
}

}  // namespace wayfind::favourites

namespace wayfind::favourites {
namespace {

// The screenshot shows the first group's functions; with no group there is
// nothing more to show.
void showFirstGroup(widgets::Form& form) {
  auto& editor = static_cast<dlgSetNormal&>(form);
  if (editor.tvGroup->Count() > 0) editor.tvGroup->simulateClick(editor.tvGroup->NodeAt(1));
  if (editor.vaNormal->MaxRows() > 0) editor.vaNormal->SetActiveCell(favourite_col::kHelpCode, 1);
}

}  // namespace

void dlgSetNormal::Register() { widgets::registerForm<dlgSetNormal>(showFirstGroup); }

}  // namespace wayfind::favourites
