// The editor's change tracking, saving and tool states. The edits of the node
// whose children the visible grid shows are pending until they are applied, the
// user moves to another node, or the editor closes; then each row goes to the
// middle tier as a dictionary of its values.
#include <vector>

#include "context/language.h"
#include "context/login_props.h"
#include "editor/dlg_set_prop.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
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
  if (!m_blnSaveShown) SetSaveState(true);
  model_.markPending();
}

void dlgSetProp::CheckHelpCode(int row) {
  const PropRows& rows = model_.rows(RowKind::Detail);
  if (!rows.duplicateHelpCode(row)) return;
  // Only a warning: the value stays, the row stays dirty and is saved as typed.
  erp::api::messages().warn(context::GetLangText("功能项 [") + rows.at(row).name +
                            context::GetLangText("] 的助记码与其它功能项的助记码重复，请重新输入!"));
}

void dlgSetProp::cellAction(PropGridBinding& view, CellAction action, int col, int row) {
  // A changed cell goes into the rows first: what follows reads the rows.
  if (action == CellAction::Change) view.takeCell(col, row);
  const PropRows& rows = view.rows();
  if (action == CellAction::Change && rows.holdsHelpCode(col)) CheckHelpCode(row);
  // A click counts for the row it made active.
  if (rows.isEdit(action, col, action == CellAction::Click ? view.activeRow() : row)) MarkDirty();
  if (action == CellAction::Click) UpdateRowCommands();
}

// ---- saving ----

void dlgSetProp::SaveChanges(bool ask, platform::DictionaryPtr info) {
  if (m_strCurKey.empty() || !model_.pending()) {
    // Nothing pending, but the toolbar may still show edits (a save that failed):
    // applying then puts the toolbar right.
    if (!ask && m_blnSaveShown) SetSaveState(false);
    return;
  }
  if (ask) {
    widgets::TreeNode node = tvFunc_->Find(m_strCurKey);
    const std::string name = node.isNull() ? std::string() : node.Text();
    const std::string question = context::GetLangText("您刚才对 [") + name +
                                 context::GetLangText("] 功能属性进行了修改，是否保存？");
    if (!erp::api::messages().askYesNo(question)) {
      model_.clearPending();
      SetSaveState(false);
      return;
    }
  }
  try {
    // The grid shows the children of the current node.
    if (const auto listed = nav::ChildLevelOfKey(m_strCurKey)) {
      switch (*listed) {
        case nav::Level::TopClass:
          SaveTopClasses(info);
          m_blnModified = true;
          break;
        case nav::Level::SubSystem: SaveSubSystems(info); break;
        case nav::Level::SubFunc: SaveSubFuncs(info); break;
        case nav::Level::DetailFunc: SaveDetailFuncs(info); break;
      }
    }
    model_.clearPending();
    SetSaveState(false);
  } catch (const platform::AutomationError& e) {
    erp::api::messages().warn(context::GetLangText("保存出错: ") + e.description() + "\r\n\r\n" +
                              context::GetLangText("错误号: ") + std::to_string(e.number()));
    model_.clearPending();
  }
}

void dlgSetProp::saveOutline(nav::Level level, platform::DictionaryPtr& info) {
  if (vaOutlineProp_->isHidden()) return;
  const std::vector<SaveRow> rows = model_.rows(RowKind::Outline).saveRows();
  // The rows go to the middle tier one by one, in grid order, while the window
  // waits; the tree then shows the names that were stored, also when a later row
  // failed.
  size_t stored = 0;
  struct ShowStoredNames {
    dlgSetProp& form;
    const std::vector<SaveRow>& rows;
    const size_t& stored;
    nav::Level level;
    bool forOtherUser;
    ~ShowStoredNames() {
      // Saved for another user (apply to users), the rows are not this user's names.
      if (forOtherUser) return;
      for (size_t i = 0; i < stored; ++i) {
        widgets::TreeNode node = form.tvFunc_->Find(nav::NodeKey(level, rows[i].id));
        if (!node.isNull()) node.SetText(rows[i].name);
      }
    }
  } showNames{*this, rows, stored, level, info && info->Lookup("TemplateUserID")};
  widgets::RunBusy(this, [&] {
    auto dict = std::make_shared<platform::Dictionary>();
    auto update = newUpdate();
    for (const SaveRow& r : rows) {
      r.writeTo(*dict);
      int32_t id = r.id;
      if (level == nav::Level::TopClass) {
        update->UpdateTopClass(id, dict, info);
      } else if (level == nav::Level::SubSystem) {
        update->UpdateSystemFunc(id, dict, info);
      } else {
        update->UpdateSubSysFunc(id, dict, info);
      }
      ++stored;
    }
  });
}

void dlgSetProp::SaveTopClasses(platform::DictionaryPtr& info) { saveOutline(nav::Level::TopClass, info); }
void dlgSetProp::SaveSubSystems(platform::DictionaryPtr& info) { saveOutline(nav::Level::SubSystem, info); }
void dlgSetProp::SaveSubFuncs(platform::DictionaryPtr& info) { saveOutline(nav::Level::SubFunc, info); }

void dlgSetProp::SaveDetailFuncs(platform::DictionaryPtr& info) {
  if (vaDetailProp_->isHidden()) return;
  // Every row goes, locked ones with their unchanged values.
  const std::vector<SaveRow> rows = model_.rows(RowKind::Detail).saveRows();
  widgets::RunBusy(this, [&] {
    auto dict = std::make_shared<platform::Dictionary>();
    auto update = newUpdate();
    for (const SaveRow& r : rows) {
      r.writeTo(*dict);
      int32_t id = r.id;
      update->UpdateDetailFuncAttr(id, dict, info);
    }
  });
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
