// The editor's toolbar commands. Every command ends at its first failure, which
// the message service reports; the editor stays open with the state the command
// left.
#include <QLineEdit>

#include "context/language.h"
#include "context/login_props.h"
#include "dialogs/dlg_add_item.h"
#include "editor/dlg_set_prop.h"
#include "editor/export_target.h"
#include "editor/handler_guard.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_update.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/node_keys.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "widgets/busy_state.h"
#include "widgets/file_chooser.h"
#include "widgets/form_registry.h"
#include "widgets/toolbar.h"

namespace wayfind::editor {

using platform::Variant;
using widgets::Grid;

namespace {

constexpr const char* kAddItemForm = "dlgAddItem";
constexpr const char* kSelectUserForm = "frmSelectUser";
constexpr const char* kPropertiesForm = "dlgProperties";

std::shared_ptr<update::DatasUpdate> newUpdate() {
  return platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
}

// The file chooser of the template commands.
widgets::FileRequest templateFileRequest(bool save) {
  widgets::FileRequest request;
  request.title = context::GetLangText("选择目录");
  request.filter = context::GetLangText("模板 (*.dat)|*.dat");
  request.defaultExt = "dat";
  request.initialDir.clear();  // the user's home folder
  request.fileName.clear();
  request.save = save;
  // The import checks the file itself and says "文件不存在，请重新选择！" in the
  // session's words; the chooser lets a missing name through to that check.
  request.mustExist = false;
  return request;
}

// Unloads a dialog when the command is done with it, however the command ends.
class UnloadWhenDone {
 public:
  explicit UnloadWhenDone(widgets::Form& form) : form_(form) {}
  ~UnloadWhenDone() {
    if (form_.isLoaded()) form_.Unload();
  }

 private:
  widgets::Form& form_;
};

bool confirmedByTag(const widgets::Form& form) {
  return form.Tag.isString() && form.Tag.asString() == "OK";
}

}  // namespace

void dlgSetProp::ToolClick(const std::string& name) {
  // A shortcut pressed while a cell is edited takes the cell along.
  vaOutlineProp_->CommitEdit();
  vaDetailProp_->CommitEdit();
  RunGuarded([&] {
    if (name == "New") {
      NewItem();
    } else if (name == "Modify") {
      ModifyItem();
    } else if (name == "Delete") {
      if (IsCustomRow() && erp::api::messages().askYesNo(context::GetLangText("是否确认要删除该自定义项目？")))
        DeleteRow();
    } else if (name == "SetProps") {
      SaveChanges(false, nullptr);
    } else if (name == "mnuAllUser") {
      ApplyToUsers();
    } else if (name == "Refresh") {
      RefreshTree();
    } else if (name == "mnudefault") {
      if (erp::api::messages().askYesNo(
              context::GetLangText("恢复默认设置将使你本地的所有修改无效，是否继续？"))) {
        RestoreDefault();
        RefreshTree();
      }
    } else if (name == "Property") {
      widgets::Form* properties = widgets::forms().form(kPropertiesForm);
      UnloadWhenDone unload(*properties);
      properties->ShowModal();
    } else if (name == "MoveUp") {
      MoveRowUp();
    } else if (name == "MoveDown") {
      MoveRowDown();
    } else if (name == "Import") {
      if (erp::api::messages().askYesNo(context::GetLangText("引入模板将使你本地的所有修改无效，是否继续？")) &&
          ImportTemplate()) {
        RefreshTree();
        erp::api::messages().inform(
            context::FormatLangText("用户%1的模板数据引入成功", {Variant(context::UserName())}));
      }
    } else if (name == "Export") {
      ExportTemplate();
    } else if (name == "Close") {
      Unload();
      return;
    }
  });
  if (name != "Close") RunGuarded([&] { UpdateRowCommands(); });
}

// The item dialog lives in another window library; the editor reaches it through
// the form registry and sets its public variables before loading it.
static dialogs::dlgAddItem& addItemDialog() {
  return *static_cast<dialogs::dlgAddItem*>(widgets::forms().form(kAddItemForm));
}

void dlgSetProp::NewItem() {
  const std::string key = m_strCurKey;
  auto& dlg = addItemDialog();
  UnloadWhenDone unload(dlg);
  dlg.curLevel = key;
  dlg.ShowModal();
  const bool created = confirmedByTag(dlg);
  // The host reloads its top level whenever the user went to create a top class.
  if (nav::KeyPrefix(key) == nav::kRootPrefix) m_blnModified = true;
  if (created) runNodeClickFor(m_strCurKey);
}

void dlgSetProp::ModifyItem() {
  Grid& grid = *vaDetailProp_;
  const int row = grid.ActiveRow();
  if (row < 1 || row > grid.MaxRows()) return;
  auto& dlg = addItemDialog();
  UnloadWhenDone unload(dlg);
  dlg.curLevel = "EditDetail";
  dlg.DetailFuncID = grid.RowItemData(row);
  dlg.Load();
  // Written after loading, so the grid's values win over what loading looked up.
  dlg.txtName->setText(QString::fromStdString(grid.Text(1, row)));
  dlg.txtHelpCode->setText(QString::fromStdString(grid.Text(2, row)));
  dlg.ShowModal();
  if (confirmedByTag(dlg)) runNodeClickFor(m_strCurKey);
}

void dlgSetProp::DeleteRow() {
  Grid* grid = visibleGrid();
  const int row = grid->ActiveRow();
  if (row < 1 || row > grid->MaxRows()) return;
  int32_t id = grid->RowItemData(row);
  int32_t base = m_lngLevel;
  const bool hasChild = widgets::RunBusy(this, [&] {
    return platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId)->IsHasChild(base, id);
  });
  if (hasChild) {
    erp::api::messages().warn(context::GetLangText("选定的项目还存在子项目，不能删除。"));
    return;
  }
  // A template item is never deleted; the list is shown again either way.
  if (id >= base) {
    widgets::RunBusy(this, [&] { newUpdate()->DeleteItem(base, id); });
    if (base == nav::kTopClassBase) m_blnModified = true;
  }
  runNodeClickFor(m_strCurKey);
}

void dlgSetProp::moveRow(int from, int to) {
  Grid* grid = visibleGrid();
  const int indexCol = grid == vaOutlineProp_ ? 3 : 5;
  if (!m_blnSaveShown) SetSaveState(true);
  m_blnDirty = true;
  const int32_t data = grid->RowItemData(to);
  grid->SetRowItemData(to, grid->RowItemData(from));
  grid->SetRowItemData(from, data);
  // The order numbers stay with their places: the moved item takes the number of
  // the place it moves to.
  for (int col = 1; col <= grid->MaxCols(); ++col) {
    if (col == indexCol) continue;
    if (grid->GetCellType(col, to) == Grid::CellType::CheckBox) {
      const int value = grid->Value(col, to);
      grid->SetValue(col, to, grid->Value(col, from));
      grid->SetValue(col, from, value);
    } else {
      const std::string text = grid->Text(col, to);
      grid->SetText(col, to, grid->Text(col, from));
      grid->SetText(col, from, text);
    }
  }
  grid->SetActiveCell(1, to);
}

void dlgSetProp::MoveRowUp() {
  const int row = visibleGrid()->ActiveRow();
  if (row > 1) moveRow(row, row - 1);
}

void dlgSetProp::MoveRowDown() {
  Grid* grid = visibleGrid();
  const int row = grid->ActiveRow();
  if (row > 0 && row != grid->MaxRows()) moveRow(row, row + 1);
}

void dlgSetProp::RestoreDefault() {
  widgets::RunBusy(this, [] { newUpdate()->SetDefault(); });
}

void dlgSetProp::ApplyToUsers() {
  m_strFirstUserID.clear();
  m_blnOk = false;
  m_blnApplyAll = true;
  widgets::Form* chooser = widgets::forms().form(kSelectUserForm);
  {
    UnloadWhenDone unload(*chooser);
    chooser->ShowModal();
  }
  if (!m_blnOk) return;
  const std::string props = context::PropsString();
  if (m_blnApplyAll) {
    SaveChanges(false, nullptr);
    auto server = platform::Registry::instance().createAs<erp::api::IServerDatasUpdate>(
        erp::progid::kServerDatasUpdate);
    platform::DictionaryPtr none;
    widgets::RunBusy(this, [&] { server->ApplyAllUser(props, m_vctUser, none); });
    m_blnDirty = false;
  } else if (!m_strFirstUserID.empty()) {
    // The first chosen user gets the pending edits and passes the whole
    // customisation on to the others.
    auto info = std::make_shared<platform::Dictionary>();
    info->SetValue("TemplateUserID", Variant(m_strFirstUserID));
    SaveChanges(false, info);
    auto server = platform::Registry::instance().createAs<erp::api::IServerDatasUpdate>(
        erp::progid::kServerDatasUpdate);
    widgets::RunBusy(this, [&] { server->ApplyAllUser(props, m_vctUser, info); });
    m_blnDirty = false;
  }
}

bool dlgSetProp::ImportTemplate() {
  try {
    for (;;) {
      std::string file;
      try {
        file = widgets::ChooseFile(templateFileRequest(false), this);
      } catch (const platform::AutomationError& e) {
        if (e.number() == widgets::kErrCancel) return false;
        throw;
      }
      if (!erp::api::messages().fileExists(file)) {
        erp::api::messages().warn(context::GetLangText("文件不存在，请重新选择！"));
        continue;
      }
      if (platform::trimSpaces(file).empty()) return false;
      widgets::RunBusy(this, [&] { newUpdate()->Import(Variant(file)); });
      return true;
    }
  } catch (const platform::AutomationError& e) {
    erp::api::messages().reportError(e);
    return false;
  }
}

void dlgSetProp::ExportTemplate() {
  std::string file;
  try {
    file = widgets::ChooseFile(templateFileRequest(true), this);
  } catch (const platform::AutomationError& e) {
    if (e.number() == widgets::kErrCancel) return;
    throw;
  }
  if (platform::trimSpaces(file).empty()) return;
  // The file is checked, never deleted: the export replaces it only with a
  // complete new one, so a failing export leaves the earlier file in place.
  if (!ClearExportTarget(file)) {
    erp::api::messages().warn(context::GetLangText("对不起,您没有文件的操作权限,不能进行导出!"));
    return;
  }
  widgets::RunBusy(this, [&] {
    platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId)->Export(file);
  });
}

}  // namespace wayfind::editor
