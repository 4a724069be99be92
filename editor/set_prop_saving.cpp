// The editor's change tracking, saving and tool states. The edits of the node
// whose children the visible grid shows are pending until they are applied, the
// user moves to another node, or the editor closes; then each row goes to the
// middle tier as a dictionary of its values.
#include <QApplication>
#include <QCursor>

#include "context/language.h"
#include "context/login_props.h"
#include "editor/dlg_set_prop.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/security.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "update/datas_update.h"
#include "widgets/toolbar.h"

namespace wayfind::editor {

using platform::Variant;
using widgets::Grid;

namespace {

// The hourglass while a save runs; the default cursor back however it ends.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

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
    BusyCursor busy;
    const std::string prefix = KeyPrefix(m_strCurKey);
    if (prefix == kRootPrefix) {
      SaveTopClasses(info);
      m_blnModified = true;
    } else if (prefix == kTopPrefix) {
      SaveSubSystems(info);
    } else if (prefix == kSysPrefix) {
      SaveSubFuncs(info);
    } else if (prefix == kSubPrefix) {
      SaveDetailFuncs(info);
    }
    m_blnDirty = false;
    SetSaveState(false);
  } catch (const platform::AutomationError& e) {
    erp::api::messages().warn(context::GetLangText("保存出错: ") + e.description() + "\r\n\r\n" +
                              context::GetLangText("错误号: ") + std::to_string(e.number()));
    m_blnDirty = false;
  }
}

void dlgSetProp::saveOutline(int32_t base, platform::DictionaryPtr& info) {
  Grid& grid = *vaOutlineProp_;
  if (grid.isHidden()) return;
  auto dict = std::make_shared<platform::Dictionary>();
  auto update = newUpdate();
  for (int row = 1; row <= grid.MaxRows(); ++row) {
    const int32_t id = grid.RowItemData(row);
    const std::string name = grid.Text(1, row);
    // A row whose name was cleared is left as it is stored.
    if (platform::trimSpaces(name).empty()) continue;
    dict->SetValue("NewName", Variant(name));
    dict->SetValue("Visible", Variant(int32_t{grid.Value(2, row)}));
    dict->SetValue("Index", Variant(int32_t{grid.Value(3, row)}));
    if (base == kTopClassBase) {
      update->UpdateTopClass(id, dict, info);
    } else if (base == kSubSystemBase) {
      update->UpdateSystemFunc(id, dict, info);
    } else {
      update->UpdateSubSysFunc(id, dict, info);
    }
    // The tree shows the name just stored, not the one it was filled with. Saved
    // for another user (apply to users), the rows are not this user's names.
    if (!info || !info->Lookup("TemplateUserID")) {
      const char* prefix = base == kTopClassBase ? kTopPrefix : base == kSubSystemBase ? kSysPrefix : kSubPrefix;
      widgets::TreeNode node = tvFunc_->Find(MakeKey(prefix, id));
      if (!node.isNull()) node.SetText(name);
    }
  }
}

void dlgSetProp::SaveTopClasses(platform::DictionaryPtr& info) { saveOutline(kTopClassBase, info); }
void dlgSetProp::SaveSubSystems(platform::DictionaryPtr& info) { saveOutline(kSubSystemBase, info); }
void dlgSetProp::SaveSubFuncs(platform::DictionaryPtr& info) { saveOutline(kSubFuncBase, info); }

void dlgSetProp::SaveDetailFuncs(platform::DictionaryPtr& info) {
  Grid& grid = *vaDetailProp_;
  if (grid.isHidden()) return;
  auto dict = std::make_shared<platform::Dictionary>();
  auto update = newUpdate();
  // Every row goes, locked ones with their unchanged values.
  for (int row = 1; row <= grid.MaxRows(); ++row) {
    const int32_t id = grid.RowItemData(row);
    dict->SetValue("NewName", Variant(grid.Text(1, row)));
    dict->SetValue("HelpCode", Variant(grid.Text(2, row)));
    dict->SetValue("Visible", Variant(int32_t{grid.Value(3, row)}));
    dict->SetValue("Enable", Variant(int32_t{grid.Value(4, row)}));
    dict->SetValue("Index", Variant(int32_t{grid.Value(5, row)}));
    update->UpdateDetailFuncAttr(id, dict, info);
  }
}

// ---- tool states ----

void dlgSetProp::SetSaveState(bool dirty) {
  auto security = platform::Registry::instance().createAs<erp::api::ISecurityInfo>(erp::progid::kSecurity);
  m_intAdmin = security->IsAdministrator(context::PropsString()) ? 1 : -1;
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
  bar_->SetToolEnabled("Modify", custom && m_lngLevel == kDetailFuncBase);
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
