#include "dialogs/frm_select_user.h"

#include <QCheckBox>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <cstdlib>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/data_access.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "widgets/busy_state.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/image_list.h"
#include "widgets/twips.h"
#include "widgets/twips_layout.h"

namespace wayfind::dialogs {

using platform::AutomationError;
using platform::Variant;
using widgets::TreeNode;
using widgets::twipsToPixels;

namespace {

using widgets::Box;

constexpr int kFormWidth = 4680;
constexpr int kFormHeight = 5700;
constexpr Box kTree{120, 120, 4440, 4560};
constexpr Box kChkAll{120, 4800, 2000, 300};
constexpr Box kCmdOk{2040, 5160, 1200, 405};
constexpr Box kCmdCancel{3360, 5160, 1200, 405};

using widgets::place;

// Runs body; a failure goes on to the caller with the procedure's name as its source.
template <class F>
void passOn(const char* procedure, F&& body) {
  try {
    body();
  } catch (const AutomationError& e) {
    throw AutomationError(e.number(), procedure, e.description(), e.helpFile(), e.helpContext());
  }
}

// What an event handler does with a failure: shows it; the dialog stays open.
template <class F>
void handled(F&& body) {
  try {
    body();
  } catch (const AutomationError& e) {
    erp::api::messages().reportError(e);
  }
}

bool isGroup(const TreeNode& node) { return node.Parent().isNull(); }

platform::RecordsetPtr getData(const std::string& sql) {
  auto access = platform::Registry::instance().createAs<erp::api::IBillUseInfo>(erp::progid::kBillUseInfo);
  return access->GetData(context::PropsString(), sql);
}

}  // namespace

frmSelectUser::frmSelectUser() : widgets::Form(kFormName) {
  widgets::SetHelpContext(*this, 520017);
  setWindowTitle(QStringLiteral("选择用户"));
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));

  imlMain = new widgets::ImageList(this);
  imlMain->setObjectName("imlMain");
  imlMain->Add("1", widgets::standardIcon("Group"));
  imlMain->Add("2", widgets::standardIcon("Group"));
  imlMain->Add("4", widgets::standardIcon("User"));

  tvUserGroup = new widgets::KeyedTree(this);
  tvUserGroup->setObjectName("tvUserGroup");
  tvUserGroup->SetImageList(imlMain);
  tvUserGroup->SetCheckBoxes(true);
  place(tvUserGroup, kTree);

  chkAll = place<QCheckBox>(this, "chkAll", kChkAll, QStringLiteral("全部应用"));

  cmdOk = place<QPushButton>(this, "cmdOk", kCmdOk, QStringLiteral("确定(&O)"));
  cmdOk->setDefault(true);
  cmdCancel = place<QPushButton>(this, "cmdCancel", kCmdCancel, QStringLiteral("取消(&C)"));

  connect(chkAll, &QCheckBox::clicked, this, [this] { handled([this] { chkAll_Click(); }); });
  connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  connect(tvUserGroup, &widgets::KeyedTree::expand, this, [this](TreeNode node) { tvUserGroup_Expand(node); });
  connect(tvUserGroup, &widgets::KeyedTree::nodeCheck, this, [this](TreeNode node) { tvUserGroup_NodeCheck(node); });
}

std::string frmSelectUser::groupsQuery() {
  return std::string("Select Distinct g.FGroupID,u.FName as FGroupName From t_User u Inner join t_Group g On") +
         " u.fUserid =g.fGroupID Order by g.FGroupID";
}

std::string frmSelectUser::usersQuery(int32_t groupId) {
  return std::string(
             "Select u.FUserID,u.FName as UserName,g.FGroupID From t_User u Left join t_Group g On u.FUserID=g.FUserID ") +
         "\r\n" + "Where u.FUserID>=16384 And u.FForbidden=0 And g.FGroupID=" + std::to_string(groupId);
}

int32_t frmSelectUser::AllUsersCount() {
  const std::string props = context::PropsString();
  const std::string me = context::GetKeyValue(props, "UserID", ";");
  std::string sql = "Select Count(*) As FCount From t_User Where FUserID>=16384";
  if (!me.empty() && me.find_first_not_of("0123456789") == std::string::npos && me.size() < 10) sql += " And FUserID<>" + me;
  auto rs = getData(sql);
  return rs && !rs->isEOF() ? platform::CLng(rs->value("FCount")) : 0;
}

std::string frmSelectUser::GetUserID(const std::string& key) {
  std::string rest = key.size() > 1 ? key.substr(1) : std::string();
  return rest.substr(0, rest.find(','));
}

void frmSelectUser::ApplyCaptions() {
  // Each caption on its own: a failing lookup leaves that one in Chinese.
  setWindowTitle(QString::fromStdString(context::GetLangText("选择用户")));
  chkAll->setText(QString::fromStdString(context::GetLangText("全部应用")));
  chkAll->setToolTip(QString::fromStdString(context::GetLangText("公司的全部用户，包括不属于任何用户组的用户和已禁用的用户")));
  cmdCancel->setText(QString::fromStdString(context::GetLangText("取消(&C)")));
  cmdOk->setText(QString::fromStdString(context::GetLangText("确定(&O)")));
}

void frmSelectUser::Form_Load() {
  ApplyCaptions();
  context::SetFormFont(automationObject());
  chkAll->setChecked(false);
  tvUserGroup->setEnabled(true);
  handled([this] { LoadAllUserGroup(); });
}

std::optional<UserChoice> frmSelectUser::Choose() {
  choice_.reset();
  ShowModal();
  return choice_;
}

std::string frmSelectUser::placeholderText() const { return context::GetLangText("正在加载数据"); }

void frmSelectUser::LoadAllUserGroup() {
  passOn(":LoadAllUserGroup", [this] {
    const std::string sql = groupsQuery();
    auto rs = widgets::RunBusy(this, [&] { return getData(sql); });
    tvUserGroup->Clear();
    for (; rs && !rs->isEOF(); rs->MoveNext()) {
      const std::string group = std::string("G").append(platform::fieldText(*rs, "FGroupID"));
      TreeNode node = tvUserGroup->Add(TreeNode(), group, platform::fieldText(*rs, "FGroupName"), "1");
      tvUserGroup->Add(node, group + "C1", placeholderText());
    }
  });
}

void frmSelectUser::showEvent(QShowEvent* event) {
  widgets::Form::showEvent(event);
  if (!event->spontaneous()) Form_Activate();
}

void frmSelectUser::Form_Activate() {
  handled([this] {
    tvUserGroup->hide();
    chkAll->setChecked(true);
    chkAll_Click();
  });
  tvUserGroup->show();
  // The tree scrolls only once it is shown: the list opens at its top.
  if (tvUserGroup->Count() > 0) tvUserGroup->NodeAt(1).EnsureVisible();
}

void frmSelectUser::chkAll_Click() {
  const bool all = chkAll->isChecked();
  CheckNode(all);
  tvUserGroup->setEnabled(!all);
}

void frmSelectUser::CheckNode(bool checked) {
  // The handlers' work without their own reporting, so the first failure ends the
  // whole run and is shown once, by whoever asked for it.
  passOn(":CheckNode", [&] {
    const int n = tvUserGroup->Count();
    // Loading a group's users adds nodes and removes its placeholder: the count of
    // the start bounds the walk, the current count the index.
    for (int i = 1; i <= n && i <= tvUserGroup->Count(); ++i) {
      TreeNode node = tvUserGroup->NodeAt(i);
      if (node.Key().rfind("G", 0) != 0 || !isGroup(node)) continue;
      if (!node.Expanded()) {
        node.SetExpanded(true);
        loadGroupOnExpand(node);
      }
      node.SetChecked(checked);
      spreadCheck(node);
      tvUserGroup->NodeAt(1).EnsureVisible();
    }
  });
}

void frmSelectUser::tvUserGroup_Expand(TreeNode node) {
  handled([&] { loadGroupOnExpand(node); });
}

void frmSelectUser::loadGroupOnExpand(TreeNode node) {
  if (node.Children() == 1 && node.Child().Text() == placeholderText()) LoadUserByGroup(node);
}

void frmSelectUser::DeleteChildNodes(TreeNode node) {
  passOn(":DeleteChildNodes", [&] {
    if (node.Children() == 0) return;
    std::vector<std::string> keys;
    for (const TreeNode& child : node.childNodes()) keys.push_back(child.Key());
    for (const std::string& key : keys) tvUserGroup->Remove(tvUserGroup->Node(key));
  });
}

void frmSelectUser::LoadUserByGroup(TreeNode group) {
  passOn(":LoadUserByGroup", [&] {
    // The group's id as its key carries it; a key that is not a number is no group.
    const std::string digits = group.Key().substr(1);
    char* end = nullptr;
    const long long id = std::strtoll(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || id < INT32_MIN || id > INT32_MAX)
      platform::raise(platform::err::kTypeMismatch, ":LoadUserByGroup");
    const std::string sql = usersQuery(static_cast<int32_t>(id));
    auto rs = widgets::RunBusy(this, [&] { return getData(sql); });
    // Only now that the users are read: a read that fails leaves the placeholder,
    // and the group is read again when it is next expanded, ticked or confirmed.
    DeleteChildNodes(group);
    for (; rs && !rs->isEOF(); rs->MoveNext())
      tvUserGroup->Add(group, std::string("U").append(platform::fieldText(*rs, "FUserID")).append(",").append(platform::fieldText(*rs, "FGroupID")),
                       platform::fieldText(*rs, "UserName"), "4");
  });
}

void frmSelectUser::tvUserGroup_NodeCheck(TreeNode node) {
  handled([&] { spreadCheck(node); });
}

void frmSelectUser::spreadCheck(TreeNode node) {
  const bool checked = node.Checked();
  if (checked) tvUserGroup->SetSelectedItem(node);
  if (node.Children() > 0) loadGroupOnExpand(node);
  if (node.Key().rfind("G", 0) == 0 && isGroup(node)) {
    for (TreeNode child : node.childNodes()) {
      child.SetChecked(checked);
      for (TreeNode grandChild : child.childNodes()) grandChild.SetChecked(checked);
    }
    return;
  }
  TreeNode group = node.Parent();
  if (group.isNull()) return;
  if (checked) {
    const auto users = group.childNodes();
    if (std::all_of(users.begin(), users.end(), [](const TreeNode& u) { return u.Checked(); })) group.SetChecked(true);
  } else {
    group.SetChecked(false);
  }
}

void frmSelectUser::cmdOk_Click() {
  UserChoice chosen;
  try {
    auto& users = chosen.otherUsers;
    std::string& first = chosen.firstUserId;
    bool haveFirst = false;
    if (!chkAll->isChecked()) {
      // A group ticked whose users could not be read yet is read now: its users
      // are never left out unseen.
      for (int i = 1; i <= tvUserGroup->Count(); ++i) {
        TreeNode node = tvUserGroup->NodeAt(i);
        if (node.Key().rfind("G", 0) != 0 || !isGroup(node) || !node.Checked()) continue;
        if (node.Children() == 1 && node.Child().Text() == placeholderText()) spreadCheck(node);
      }
      for (int i = 1; i <= tvUserGroup->Count(); ++i) {
        TreeNode node = tvUserGroup->NodeAt(i);
        if (node.Key().rfind("U", 0) != 0 || !node.Checked()) continue;
        const std::string u = GetUserID(node.Key());
        const auto& items = users->items();
        if (std::any_of(items.begin(), items.end(), [&](const Variant& v) { return platform::CStr(v) == u; })) continue;
        if (!haveFirst) {
          first = u;
          haveFirst = true;
        } else if (u != first) {
          users->Append(Variant(u));
        }
      }
    }
    chosen.applyAll = chkAll->isChecked();
  } catch (const AutomationError& e) {
    erp::api::messages().reportError(e);
    return;
  }
  choice_ = std::move(chosen);
  setResult(QDialog::Accepted);
  Unload();
}

void frmSelectUser::cmdCancel_Click() {
  choice_.reset();
  setResult(QDialog::Rejected);
  Unload();
}

void frmSelectUser::Register() { widgets::registerForm<frmSelectUser>(); }

}  // namespace wayfind::dialogs
