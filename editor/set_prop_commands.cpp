// The editor's toolbar commands. Every command ends at its first failure, which
// the message service reports; the editor stays open with the state the command
// left.
#include <QLineEdit>

#include "context/language.h"
#include "context/login_props.h"
#include "dialogs/dlg_add_item.h"
#include "dialogs/frm_select_user.h"
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
#include "widgets/help_window.h"
#include "widgets/toolbar.h"

namespace wayfind::editor {

using platform::Variant;

namespace {

constexpr const char* kAddItemForm = "dlgAddItem";
constexpr const char* kSelectUserForm = "frmSelectUser";
constexpr const char* kPropertiesForm = "dlgProperties";

std::shared_ptr<update::DatasUpdate> newUpdate() {
  return update::newDatasUpdate();
}

// The file chooser of the template commands.
widgets::FileRequest templateFileRequest(bool save) {
  widgets::FileRequest request;
  // The export asks for a file to write, under the command's own name.
  request.title = context::GetLangText(save ? "引出模板" : "选择目录");
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
    } else if (name == "Help") {
      widgets::ShowHelpFor(*this);
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
  const PropRows& rows = detailView_->rows();
  int row = detailView_->activeRow();
  if (!rows.contains(row)) return;
  // A name or help code typed in the grid and not yet saved is settled first:
  // the dialog stores what it shows against what was read, and the grid's own
  // save would then take the dialog's value for another user's. Saved or
  // declined, the rows are read again (a declined edit or move undone), and the
  // item found again.
  const PropRow& r = rows.at(row);
  for (int col : {detail_col::kName, detail_col::kHelpCode})
    if (static_cast<size_t>(col) > r.read.size() || r.cell(col) != r.read[static_cast<size_t>(col - 1)]) {
      const int32_t item = r.id;
      settleEdits();
      runNodeClickFor(m_strCurKey);
      row = detailView_->grid().FindRowByItemData(item);
      if (row == 0) return;
      detailView_->setActiveRow(row);
      break;
    }
  auto& dlg = addItemDialog();
  UnloadWhenDone unload(dlg);
  dlg.curLevel = "EditDetail";
  dlg.DetailFuncID = rows.at(row).id;
  dlg.Load();
  // Written after loading, so the grid's values win over what loading looked up.
  dlg.txtName->setText(QString::fromStdString(rows.cellText(detail_col::kName, row)));
  dlg.txtHelpCode->setText(QString::fromStdString(rows.cellText(detail_col::kHelpCode, row)));
  // What the grid read, so that only what the user changes (here or in the grid)
  // is stored, and a change another window made meanwhile is asked about.
  const auto& read = rows.at(row).read;
  for (const auto& [key, col] : {std::pair<const char*, int>{"NewName", detail_col::kName},
                                 {"HelpCode", detail_col::kHelpCode}})
    if (read.size() >= static_cast<size_t>(col)) dlg.ReadValues[key] = read[static_cast<size_t>(col - 1)];
  dlg.ShowModal();
  if (confirmedByTag(dlg)) runNodeClickFor(m_strCurKey);
}

void dlgSetProp::DeleteRow() {
  PropGridBinding& view = visibleView();
  const int row = view.activeRow();
  if (!view.rows().contains(row)) return;
  int32_t id = view.rows().at(row).id;
  int32_t base = m_lngLevel;
  // Children another window added since the list was read count too.
  const bool hasChild = widgets::RunBusy(this, [&] { return FreshQuery()->IsHasChild(base, id); });
  if (hasChild) {
    erp::api::messages().warn(context::GetLangText("选定的项目还存在子项目，不能删除。"));
    return;
  }
  // A template item is never deleted; the list is shown again either way. The
  // middle tier is asked itself, so that a refusal is reported, not passed over.
  if (id >= base) {
    const std::string props = context::PropsString();
    bool templateItem = false;
    widgets::RunBusy(this, [&] { erp::api::newServerDatasUpdate()->DeleteItem(props, base, id, templateItem); });
    if (base == nav::kTopClassBase) m_blnModified = true;
    // The deleted item's own edits go with it, and with nothing else left to
    // save nothing is asked about.
    PropRow& deleted = view.rows().at(row);
    deleted.cells = deleted.read;
    dropPendingIfNothingToSave(view);
  }
  runNodeClickFor(m_strCurKey);
}

void dlgSetProp::moveRow(int from, int to) {
  PropGridBinding& view = visibleView();
  if (!m_blnSaveShown) SetSaveState(true);
  model_.markPending();
  view.rows().move(from, to);
  view.showRow(to);
  view.showRow(from);
  view.setActiveRow(to);
}

void dlgSetProp::MoveRowUp() {
  const int row = visibleView().activeRow();
  if (row > 1) moveRow(row, row - 1);
}

void dlgSetProp::MoveRowDown() {
  const PropGridBinding& view = visibleView();
  const int row = view.activeRow();
  if (row > 0 && row != view.rows().count()) moveRow(row, row + 1);
}

void dlgSetProp::RestoreDefault() {
  // Asked of the middle tier itself: a failure is reported, not passed over.
  const std::string props = context::PropsString();
  widgets::RunBusy(this, [&] { erp::api::newServerDatasUpdate()->SetDefault(props); });
}

void dlgSetProp::ApplyToUsers() {
  auto& chooser = *static_cast<dialogs::frmSelectUser*>(widgets::forms().form(kSelectUserForm));
  {
    UnloadWhenDone unload(chooser);
    m_userChoice = chooser.Choose();
  }
  if (!m_userChoice) return;
  dialogs::UserChoice& choice = *m_userChoice;
  // Nobody chosen: nothing is sent, and the edits stay as they are.
  if (!choice.applyAll && choice.firstUserId.empty()) return;
  const std::string props = context::PropsString();
  if (choice.applyAll) {
    // Every other user's whole setup is replaced by this user's: asked first.
    const int32_t users = widgets::RunBusy(this, [] { return dialogs::frmSelectUser::AllUsersCount(); });
    if (!erp::api::messages().askYesNo(context::FormatLangText(
            "“全部应用”将用您的主控台设置替换其他 %1 位用户的全部设置（公司的全部用户，包括不属于任何用户组的用户和已禁用的用户）。是否继续？",
            {Variant(users)})))
      return;
    if (!SaveChanges(false, nullptr)) return;
    auto server = erp::api::newServerDatasUpdate();
    platform::DictionaryPtr none;
    widgets::RunBusy(this, [&] { server->ApplyAllUser(props, choice.otherUsers, none); });
  } else if (!choice.firstUserId.empty()) {
    // Each chosen user gets the level this window shows, as it shows it: the first
    // one through the save, the others from the rows that save recorded. A level of
    // this user's own items records none (they are nobody else's), and the others
    // then get nothing: without recorded rows the middle tier would give them the
    // first user's whole setup.
    auto info = std::make_shared<platform::Dictionary>();
    info->SetValue("TemplateUserID", Variant(choice.firstUserId));
    if (!SaveChanges(false, info)) return;
    if (info->Lookup(erp::api::kAppliedRowsKey)) {
      auto server = erp::api::newServerDatasUpdate();
      widgets::RunBusy(this, [&] { server->ApplyAllUser(props, choice.otherUsers, info); });
    }
  }
  model_.clearPending();
  SetSaveState(false);
  // What was sent went to the chosen users; the editor shows its own user's rows
  // again.
  runNodeClickFor(m_strCurKey);
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
    store::newDatasInfo()->Export(file);
  });
}

}  // namespace wayfind::editor
