// The editor's change tracking, saving and tool states. The edits of the node
// whose children the visible grid shows are pending until they are applied, the
// user moves to another node, or the editor closes; then each row goes to the
// middle tier as a dictionary of its values.
#include <algorithm>
#include <vector>

#include "context/language.h"
#include "context/login_props.h"
#include "context/save_outcome.h"
#include "editor/dlg_set_prop.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/save_conflicts.h"
#include "erp/api/security.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/node_keys.h"
#include "update/datas_update.h"
#include "widgets/busy_state.h"
#include "widgets/toolbar.h"

namespace wayfind::editor {

using platform::Variant;

namespace {

std::shared_ptr<update::DatasUpdate> newUpdate() {
  return update::newDatasUpdate();
}

}  // namespace

// ---- change tracking ----

void dlgSetProp::MarkDirty() {
  // Pending first: the edit is in the rows already, and must be saved or asked
  // about even when showing the toolbar's state fails.
  model_.markPending();
  if (!m_blnSaveShown) SetSaveState(true);
}

void dlgSetProp::dropPendingIfNothingToSave(const PropGridBinding& view) {
  // Keystrokes taken back, a deleted row's edits gone with it: when
  // nothing is left to save, nothing is pending, and no question is asked.
  if (!model_.pending() || !view.rows().saveRows().empty()) return;
  model_.clearPending();
  SetSaveState(false);
}

void dlgSetProp::CheckOrderNumber(PropGridBinding& view, int row, const std::string& before) {
  // A text that is no whole number would be stored as 0, the item moved to the
  // top: the cell shows what it held before again (after a move, its place's
  // number, not the one the item read).
  PropRow& r = view.rows().at(row);
  const int col = view.rows().indexColumn();
  if (ReadOrderNumber(r.cell(col))) return;
  r.cell(col) = before;
  view.showRow(row);
  erp::api::messages().warn(context::GetLangText("序号必须是整数。"));
}

void dlgSetProp::CheckHelpCode(int row) {
  const PropRows& rows = model_.rows(RowKind::Detail);
  if (!rows.duplicateHelpCode(row)) return;
  // Only a warning: the value stays, the row stays dirty and is saved as typed.
  erp::api::messages().warn(context::GetLangText("功能项 [") + rows.cellText(detail_col::kName, row) +
                            context::GetLangText("] 的助记码与其它功能项的助记码重复，请重新输入!"));
}

void dlgSetProp::cellAction(PropGridBinding& view, CellAction action, int col, int row) {
  // A changed cell goes into the rows first: what follows reads the rows.
  const bool orderNumber = action == CellAction::Change && col == view.rows().indexColumn() && view.rows().contains(row);
  const std::string before = orderNumber ? view.rows().at(row).cell(col) : std::string();
  if (action == CellAction::Change) view.takeCell(col, row);
  const PropRows& rows = view.rows();
  if (action == CellAction::Change && rows.holdsHelpCode(col)) CheckHelpCode(row);
  if (orderNumber) CheckOrderNumber(view, row, before);
  // A click counts for the row it made active.
  if (rows.isEdit(action, col, action == CellAction::Click ? view.activeRow() : row)) MarkDirty();
  if (action == CellAction::Click) UpdateRowCommands();
}

// ---- saving ----

namespace {

// Whether info names the user the saved rows are for (applying to users): the
// rows then go to that user, the whole level as the window shows it.
bool forTemplateUser(const platform::DictionaryPtr& info) { return info && info->Lookup("TemplateUserID"); }

}  // namespace

void dlgSetProp::warnDeleted(const std::vector<std::string>& names) {
  if (names.empty()) return;
  std::string list;
  for (const auto& name : names) list += "\r\n" + name;
  erp::api::messages().warn(context::FormatLangText("下列功能项已被删除，对它们的修改没有保存：%1", {Variant(list)}));
}

bool dlgSetProp::SaveChanges(bool ask, platform::DictionaryPtr info) {
  // Applying to users sends the level as it is shown, edited or not.
  const bool apply = forTemplateUser(info);
  if (!apply && (m_strCurKey.empty() || !model_.pending())) {
    // Nothing pending, but the toolbar may still show edits: applying then puts
    // the toolbar right.
    if (!ask && m_blnSaveShown) SetSaveState(false);
    return true;
  }
  if (ask) {
    widgets::TreeNode node = tvFunc_->Find(m_strCurKey);
    const std::string name = node.isNull() ? std::string() : node.Text();
    const std::string question = context::GetLangText("您刚才对 [") + name +
                                 context::GetLangText("] 功能属性进行了修改，是否保存？");
    if (!erp::api::messages().askYesNo(question)) {
      model_.clearPending();
      SetSaveState(false);
      return true;
    }
  }
  // Rows whose items were deleted meanwhile are not sent: a new item may have
  // taken a deleted one's number, and would get its edits.
  if (!apply) warnDeleted(dropEditsOfDeletedItems());
  try {
    // Conflicts come back in the info dictionary: the caller's, or one of the save's own.
    platform::DictionaryPtr collected = info ? info : std::make_shared<platform::Dictionary>();
    const SaveScope scope = apply ? SaveScope::WholeLevel : SaveScope::Changes;
    // Each round after the first sends the values the user kept, against what the
    // other user stored; another change of the same fields meanwhile asks again.
    for (;;) {
      saveLevel(scope, collected);
      if (apply) break;
      PropGridBinding& view = visibleView();
      const auto conflicts = erp::api::TakeConflicts(*collected);
      view.rows().settle();
      if (conflicts.empty()) break;
      // Nothing is overwritten unasked: the user keeps their values (they go again,
      // against what the other user stored) or takes the other user's.
      const bool keepMine = context::AskKeepMine(conflicts);
      for (const auto& c : conflicts)
        if (const int row = view.rows().takeStored(c.id, c.key, c.theirsValue, !keepMine)) view.showRow(row);
      if (!keepMine) break;
    }
    if (!apply) {
      rereadShownRows();
      showStoredNames();
    }
    if (nav::ChildLevelOfKey(m_strCurKey) == nav::Level::TopClass) m_blnModified = true;
    model_.clearPending();
    SetSaveState(false);
    return true;
  } catch (const platform::AutomationError& e) {
    // An item deleted meanwhile (by this window or another) is refused at every
    // save: its edits are dropped, the user told, and the rest saved again. Each
    // round drops a row, so this ends.
    if (const auto gone = dropEditsOfDeletedItems(); !gone.empty()) {
      warnDeleted(gone);
      return SaveChanges(false, info);
    }
    // The edits stay pending: the toolbar still offers "应用", and leaving the node
    // or closing the editor asks again.
    erp::api::messages().warn(context::GetLangText("保存出错: ") + context::SaveFailureDescription(e) + "\r\n\r\n" +
                              context::GetLangText("错误号: ") + std::to_string(e.number()));
    return false;
  }
}

void dlgSetProp::saveLevel(SaveScope scope, platform::DictionaryPtr& info) {
  // The grid shows the children of the current node.
  const auto listed = nav::ChildLevelOfKey(m_strCurKey);
  if (!listed) return;
  switch (*listed) {
    case nav::Level::TopClass: SaveTopClasses(scope, info); break;
    case nav::Level::SubSystem: SaveSubSystems(scope, info); break;
    case nav::Level::SubFunc: SaveSubFuncs(scope, info); break;
    case nav::Level::DetailFunc: SaveDetailFuncs(scope, info); break;
  }
}

void dlgSetProp::showStoredNames() {
  // The tree shows the names the outline rows now hold.
  if (vaOutlineProp_->isHidden()) return;
  const auto listed = nav::ChildLevelOfKey(m_strCurKey);
  if (!listed || *listed == nav::Level::DetailFunc) return;
  const PropRows& rows = model_.rows(RowKind::Outline);
  for (int row = 1; row <= rows.count(); ++row) {
    const PropRow& r = rows.at(row);
    const std::string& name = r.cell(outline_col::kName);
    if (IsBlankName(name)) continue;
    widgets::TreeNode node = tvFunc_->Find(nav::NodeKey(*listed, r.id));
    if (!node.isNull() && r.read.size() >= static_cast<size_t>(outline_col::kName) &&
        name == r.read[outline_col::kName - 1])
      node.SetText(name);
  }
}

void dlgSetProp::saveRows(nav::Level level, SaveScope scope, platform::DictionaryPtr& info) {
  PropGridBinding& view = level == nav::Level::DetailFunc ? *detailView_ : *outlineView_;
  if (view.grid().isHidden()) return;
  std::vector<SaveRow> rows = view.rows().saveRows(scope);
  if (scope == SaveScope::WholeLevel) {
    // Applying sends every row shown: one whose item was deleted meanwhile
    // would be refused for the first user, after the rows before it were
    // stored, and for every user after. It is left out, and the user told.
    if (const auto stored = readShownLevel()) {
      std::vector<std::string> gone;
      std::erase_if(rows, [&](const SaveRow& r) {
        const bool present = std::any_of(stored->begin(), stored->end(), [&](const GridRow& g) { return g.id == r.id; });
        if (!present) gone.push_back(r.value(outline_col::kName));
        return !present;
      });
      warnDeleted(gone);
    }
  }
  // A template function the user keeps in one of their own folders as well has
  // a row at each place: the user's own save names the sub-function shown, so
  // the row the grid showed is the one changed. (Rows applied to other users
  // go to the places those users have.)
  std::optional<int32_t> shownSubFunc;
  if (level == nav::Level::DetailFunc && !forTemplateUser(info)) shownSubFunc = nav::KeyId(m_strCurKey);
  // The rows go to the middle tier one by one, in grid order, while the window
  // waits; each call stores its row or nothing.
  widgets::RunBusy(this, [&] {
    auto update = newUpdate();
    for (const SaveRow& r : rows) {
      auto dict = std::make_shared<platform::Dictionary>();
      r.writeTo(*dict);
      if (shownSubFunc && !nav::IsCustomItem(level, r.id)) dict->SetValue("FSubFuncID", platform::Variant(*shownSubFunc));
      int32_t id = r.id;
      switch (level) {
        case nav::Level::TopClass: update->UpdateTopClass(id, dict, info); break;
        case nav::Level::SubSystem: update->UpdateSystemFunc(id, dict, info); break;
        case nav::Level::SubFunc: update->UpdateSubSysFunc(id, dict, info); break;
        case nav::Level::DetailFunc: update->UpdateDetailFuncAttr(id, dict, info); break;
      }
    }
  });
}

void dlgSetProp::SaveTopClasses(SaveScope scope, platform::DictionaryPtr& info) {
  saveRows(nav::Level::TopClass, scope, info);
}
void dlgSetProp::SaveSubSystems(SaveScope scope, platform::DictionaryPtr& info) {
  saveRows(nav::Level::SubSystem, scope, info);
}
void dlgSetProp::SaveSubFuncs(SaveScope scope, platform::DictionaryPtr& info) {
  saveRows(nav::Level::SubFunc, scope, info);
}
void dlgSetProp::SaveDetailFuncs(SaveScope scope, platform::DictionaryPtr& info) {
  saveRows(nav::Level::DetailFunc, scope, info);
}

// ---- tool states ----

void dlgSetProp::SetSaveState(bool dirty) {
  const std::string props = context::PropsString();
  const bool administrator = widgets::RunBusy(this, [&] {
    return bool(platform::Registry::instance().createAs<erp::api::ISecurityInfo>(erp::progid::kSecurity)
                    ->IsAdministrator(props));
  });
  m_intAdmin = administrator ? 1 : -1;
  bar_->SetToolEnabled("mnuAllUser", m_intAdmin == 1);
  bar_->SetToolEnabled("SetProps", dirty);
  for (const char* tool : {"Refresh", "New", "mnudefault", "Import", "Export"}) bar_->SetToolEnabled(tool, !dirty);
  m_blnSaveShown = dirty;
}

bool dlgSetProp::IsCustomRow() const {
  const PropGridBinding& view = visibleView();
  return view.rows().isCustom(view.activeRow(), m_lngLevel);
}

bool dlgSetProp::IsRowEditable() const {
  const PropGridBinding& view = visibleView();
  return view.rows().editable(view.activeRow());
}

bool dlgSetProp::CanMoveUp() const {
  const PropGridBinding& view = visibleView();
  const int row = view.activeRow();
  if (row <= 1) return true;  // the header row above row 1 is not locked
  return view.rows().editable(row - 1);
}

void dlgSetProp::UpdateRowCommands() {
  const bool custom = IsCustomRow();
  bar_->SetToolEnabled("Delete", custom);
  bar_->SetToolEnabled("Modify", custom && m_lngLevel == nav::kDetailFuncBase);
  const PropGridBinding& view = visibleView();
  bar_->SetToolEnabled("MoveUp", view.rows().canMoveUp(view.activeRow()));
  bar_->SetToolEnabled("MoveDown", view.rows().canMoveDown(view.activeRow()));
}

}  // namespace wayfind::editor
