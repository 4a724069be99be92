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
using widgets::Grid;

namespace {

std::shared_ptr<update::DatasUpdate> newUpdate() {
  return platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
}

}  // namespace

// ---- change tracking ----

void dlgSetProp::MarkDirty() {
  if (!m_blnSaveShown) SetSaveState(true);
  m_blnDirty = true;
}

void dlgSetProp::CheckHelpCode(int row) {
  Grid& grid = *vaDetailProp_;
  if (grid.MaxRows() <= 1 || row < 1 || row > grid.MaxRows()) return;
  std::vector<std::string> codes;
  codes.reserve(static_cast<size_t>(grid.MaxRows()));
  for (int r = 1; r <= grid.MaxRows(); ++r) codes.push_back(grid.Text(2, r));
  if (!FindDuplicateHelpCode(codes, static_cast<size_t>(row - 1))) return;
  // Only a warning: the value stays, the row stays dirty and is saved as typed.
  erp::api::messages().warn(context::GetLangText("功能项 [") + grid.Text(1, row) +
                            context::GetLangText("] 的助记码与其它功能项的助记码重复，请重新输入!"));
}

void dlgSetProp::detailEditChange(int col, int) {
  // The order number is typed like the other texts and saved with them, so typing
  // it is an edit too (left out, a typed order number would be dropped unsaved).
  if (col >= 1 && col <= 5) MarkDirty();
}

void dlgSetProp::detailChange(int col, int row) {
  if (col == 2) CheckHelpCode(row);
  if (col == 3) MarkDirty();
}

void dlgSetProp::detailClick(int col, int) {
  // A click on a locked row's check box changes nothing, so it shows nothing
  // pending either (the toolbar would otherwise wait for a save that never comes).
  if (col == 3 && IsRowEditable()) MarkDirty();
  UpdateRowCommands();
}

void dlgSetProp::outlineEditChange(int, int) { MarkDirty(); }

void dlgSetProp::outlineChange(int col, int) {
  if (col == 2) MarkDirty();
}

void dlgSetProp::outlineClick(int col, int) {
  if (col == 2) MarkDirty();
  UpdateRowCommands();
}

// ---- saving ----

void dlgSetProp::SaveChanges(bool ask, platform::DictionaryPtr info) {
  if (m_strCurKey.empty() || !m_blnDirty) {
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
      m_blnDirty = false;
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
    m_blnDirty = false;
    SetSaveState(false);
  } catch (const platform::AutomationError& e) {
    erp::api::messages().warn(context::GetLangText("保存出错: ") + e.description() + "\r\n\r\n" +
                              context::GetLangText("错误号: ") + std::to_string(e.number()));
    m_blnDirty = false;
  }
}

void dlgSetProp::saveOutline(nav::Level level, platform::DictionaryPtr& info) {
  Grid& grid = *vaOutlineProp_;
  if (grid.isHidden()) return;
  struct Row {
    int32_t id;
    std::string name;
    int32_t visible;
    int32_t index;
  };
  std::vector<Row> rows;
  for (int row = 1; row <= grid.MaxRows(); ++row) {
    const std::string name = grid.Text(1, row);
    // A row whose name was cleared is left as it is stored.
    if (platform::trimSpaces(name).empty()) continue;
    rows.push_back({grid.RowItemData(row), name, grid.Value(2, row), grid.Value(3, row)});
  }
  // The rows go to the middle tier one by one, in grid order, while the window
  // waits; the tree then shows the names that were stored, also when a later row
  // failed.
  size_t stored = 0;
  struct ShowStoredNames {
    dlgSetProp& form;
    const std::vector<Row>& rows;
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
    for (const Row& r : rows) {
      dict->SetValue("NewName", Variant(r.name));
      dict->SetValue("Visible", Variant(r.visible));
      dict->SetValue("Index", Variant(r.index));
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
  Grid& grid = *vaDetailProp_;
  if (grid.isHidden()) return;
  // Every row goes, locked ones with their unchanged values.
  struct Row {
    int32_t id;
    std::string name, helpCode;
    int32_t visible, enabled, index;
  };
  std::vector<Row> rows;
  for (int row = 1; row <= grid.MaxRows(); ++row)
    rows.push_back({grid.RowItemData(row), grid.Text(1, row), grid.Text(2, row), grid.Value(3, row),
                    grid.Value(4, row), grid.Value(5, row)});
  widgets::RunBusy(this, [&] {
    auto dict = std::make_shared<platform::Dictionary>();
    auto update = newUpdate();
    for (const Row& r : rows) {
      dict->SetValue("NewName", Variant(r.name));
      dict->SetValue("HelpCode", Variant(r.helpCode));
      dict->SetValue("Visible", Variant(r.visible));
      dict->SetValue("Enable", Variant(r.enabled));
      dict->SetValue("Index", Variant(r.index));
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
  const Grid* grid = visibleGrid();
  const int row = grid->ActiveRow();
  if (row < 1 || row > grid->MaxRows()) return false;
  return grid->RowItemData(row) >= m_lngLevel;
}

bool dlgSetProp::IsRowEditable() const {
  const Grid* grid = visibleGrid();
  const int row = grid->ActiveRow();
  if (row < 1 || row > grid->MaxRows()) return false;
  return !grid->Lock(1, row);
}

bool dlgSetProp::CanMoveUp() const {
  const Grid* grid = visibleGrid();
  const int row = grid->ActiveRow();
  if (row <= 1) return true;  // the header row above row 1 is not locked
  return !grid->Lock(1, row - 1);
}

void dlgSetProp::UpdateRowCommands() {
  const bool custom = IsCustomRow();
  bar_->SetToolEnabled("Delete", custom);
  bar_->SetToolEnabled("Modify", custom && m_lngLevel == nav::kDetailFuncBase);
  if (!IsRowEditable()) {
    bar_->SetToolEnabled("MoveUp", false);
    bar_->SetToolEnabled("MoveDown", false);
    return;
  }
  const Grid* grid = visibleGrid();
  const int rows = grid->MaxRows(), active = grid->ActiveRow();
  bar_->SetToolEnabled("MoveUp", CanMoveUp() && active > 1 && rows > 0);
  bar_->SetToolEnabled("MoveDown", rows != active && rows > 0);
}

}  // namespace wayfind::editor
