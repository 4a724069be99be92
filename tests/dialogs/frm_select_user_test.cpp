// frmSelectUser on the demo company's users and groups: what opens checked, how
// checks spread between groups and users, and the choice the dialog answers.
//
// The demo's groups: 1 系统管理员组 (16384, 16394), 2 财务组 (16385, 16386, 16391,
// 16392, 16394), 3 销售组 (16386), 4 仓储组 (16387, 16390), 5 生产组 (16389,
// 16392), 6 外部审计组 (only 16388, who is forbidden, and 16000, below 16384).
#include <QCheckBox>
#include <QPushButton>

#include "dialogs/frm_select_user.h"
#include "erp/api/data_access.h"
#include "erp/client/bill_use_info.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"

namespace wayfind::dialogs {
namespace {

using erp::client::ScriptedMessageService;
using widgets::TreeNode;
using windowtests::join;

std::vector<std::string> userIds(const platform::VectorPtr& v) {
  std::vector<std::string> out;
  for (const auto& item : v->items()) out.push_back(platform::CStr(item));
  return out;
}

class FrmSelectUserTest : public windowtests::WindowTest {
 protected:
  frmSelectUser& form() {
    auto* f = qobject_cast<frmSelectUser*>(widgets::forms().form(frmSelectUser::kFormName));
    if (!f) throw std::runtime_error("frmSelectUser is not the registered frmSelectUser");
    return *f;
  }

  // Lets the user choose; act works on the dialog while it is open. The choice
  // goes to answer.
  void show(const std::function<void(frmSelectUser&)>& act) {
    auto& dlg = form();
    modal().push("frmSelectUser", [&](QDialog&) { act(dlg); });
    answer = dlg.Choose();
    EXPECT_TRUE(modal().done()) << join(modal().failures());
  }

  static std::vector<std::string> childKeys(const TreeNode& node) {
    std::vector<std::string> keys;
    for (const TreeNode& c : node.childNodes()) keys.push_back(c.Key());
    return keys;
  }

  std::optional<UserChoice> answer;
};

TEST_F(FrmSelectUserTest, OpensWithAllUsersCheckedAndConfirmingAtOnceAppliesToAll) {
  show([&](frmSelectUser& dlg) {
    EXPECT_TRUE(dlg.chkAll->isChecked());
    EXPECT_FALSE(dlg.tvUserGroup->isEnabled());
    auto groups = dlg.tvUserGroup->topNodes();
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_EQ(groups[0].Key(), "G1");
    EXPECT_EQ(groups[0].Text(), "系统管理员组");
    // Every group is loaded and checked with its users.
    EXPECT_EQ(childKeys(groups[0]), (std::vector<std::string>{"U16384,1", "U16394,1"}));
    for (const TreeNode& g : groups) {
      EXPECT_TRUE(g.Checked()) << g.Key();
      for (const TreeNode& u : g.childNodes()) EXPECT_TRUE(u.Checked()) << u.Key();
    }
    dlg.cmdOk->click();
  });
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->applyAll);
  EXPECT_EQ(answer->firstUserId, "");
  EXPECT_EQ(answer->otherUsers->Count(), 0);
}

TEST_F(FrmSelectUserTest, ClearingApplyToAllClearsEveryCheckAndEnablesTheTree) {
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    EXPECT_TRUE(dlg.tvUserGroup->isEnabled());
    for (int i = 1; i <= dlg.tvUserGroup->Count(); ++i)
      EXPECT_FALSE(dlg.tvUserGroup->NodeAt(i).Checked()) << dlg.tvUserGroup->NodeAt(i).Key();
    dlg.cmdOk->click();
  });
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->applyAll);
  EXPECT_EQ(answer->firstUserId, "");
  EXPECT_EQ(answer->otherUsers->Count(), 0);
}

TEST_F(FrmSelectUserTest, AUserCheckedUnderSeveralGroupsIsChosenOnce) {
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    auto& tree = *dlg.tvUserGroup;
    // 16394 is in groups 1 and 2, 16386 in groups 2 and 3.
    for (const char* key : {"U16394,1", "U16394,2", "U16386,2", "U16386,3", "U16391,2"})
      tree.simulateCheck(tree.Node(key), true);
    dlg.cmdOk->click();
  });
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->applyAll);
  // The first in the tree's order comes first; the others once each, without it.
  EXPECT_EQ(answer->firstUserId, "16394");
  EXPECT_EQ(userIds(answer->otherUsers), (std::vector<std::string>{"16386", "16391"}));
}

TEST_F(FrmSelectUserTest, ChecksSpreadBetweenAGroupAndItsUsers) {
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    auto& tree = *dlg.tvUserGroup;
    TreeNode warehouse = tree.Node("G4");
    tree.simulateCheck(tree.Node("U16387,4"), true);
    EXPECT_FALSE(warehouse.Checked()) << "one of two users";
    tree.simulateCheck(tree.Node("U16390,4"), true);
    EXPECT_TRUE(warehouse.Checked()) << "the last user checks the group";
    tree.simulateCheck(tree.Node("U16387,4"), false);
    EXPECT_FALSE(warehouse.Checked()) << "unchecking a user unchecks the group";
    EXPECT_TRUE(tree.Node("U16390,4").Checked());

    tree.simulateCheck(tree.Node("G5"), true);
    EXPECT_TRUE(tree.Node("U16389,5").Checked());
    EXPECT_TRUE(tree.Node("U16392,5").Checked());
    tree.simulateCheck(tree.Node("G5"), false);
    EXPECT_FALSE(tree.Node("U16392,5").Checked());
    dlg.cmdCancel->click();
  });
  EXPECT_FALSE(answer);
}

TEST_F(FrmSelectUserTest, OnlyActiveUsersAreOfferedAndAGroupWithoutThemEndsEmpty) {
  show([&](frmSelectUser& dlg) {
    TreeNode auditors = dlg.tvUserGroup->Node("G6");
    EXPECT_EQ(auditors.Children(), 0);
    EXPECT_FALSE(dlg.tvUserGroup->Exists("U16388,6")) << "forbidden";
    EXPECT_FALSE(dlg.tvUserGroup->Exists("U16000,6")) << "a built-in account below 16384";
    dlg.cmdCancel->click();
  });
}

TEST_F(FrmSelectUserTest, GroupsStayUnloadedUntilExpandedOrChecked) {
  auto& dlg = form();
  dlg.Load();  // loaded, not yet shown: no activation
  auto& tree = *dlg.tvUserGroup;
  TreeNode finance = tree.Node("G2");
  EXPECT_EQ(childKeys(finance), std::vector<std::string>{"G2C1"});
  EXPECT_EQ(finance.Child().Text(), "正在加载数据");
  tree.simulateExpand(finance);
  EXPECT_EQ(childKeys(finance),
            (std::vector<std::string>{"U16385,2", "U16386,2", "U16391,2", "U16392,2", "U16394,2"}));
  // Expanding again does not load the users twice.
  tree.simulateCollapse(finance);
  tree.simulateExpand(finance);
  EXPECT_EQ(finance.Children(), 5);
}

// A choice made in an earlier showing is not the answer of a later one.
TEST_F(FrmSelectUserTest, ClosingByTheCloseBoxAnswersNoChoice) {
  show([&](frmSelectUser& dlg) { dlg.cmdOk->click(); });
  ASSERT_TRUE(answer);
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node("U16394,1"), true);
    dlg.close();
  });
  EXPECT_FALSE(answer);
  EXPECT_FALSE(form().choice());
}

TEST_F(FrmSelectUserTest, AFailingUserQueryIsShownAndTheDialogStaysUsable) {
  platform::ScopedUnregistration noDataAccess(erp::progid::kBillUseInfo);
  show([&](frmSelectUser& dlg) {
    EXPECT_EQ(dlg.tvUserGroup->Count(), 0);
    EXPECT_TRUE(dlg.isVisible());
    dlg.cmdOk->click();
  });
  ASSERT_GE(messages->count(ScriptedMessageService::Kind::Error), 1);
  EXPECT_EQ(messages->callsOf(ScriptedMessageService::Kind::Error)[0].error->source(), ":LoadAllUserGroup");
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->applyAll);
}

// The caller unloads the dialog when done with it; the choice is still there, and
// no other window needs to be open for it.
TEST_F(FrmSelectUserTest, TheChoiceOutlivesTheDialogsUnloading) {
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node("U16387,4"), true);
    dlg.cmdOk->click();
  });
  auto& dlg = form();
  EXPECT_FALSE(dlg.isLoaded());
  ASSERT_TRUE(dlg.choice());
  EXPECT_FALSE(dlg.choice()->applyAll);
  EXPECT_EQ(dlg.choice()->firstUserId, "16387");
  EXPECT_EQ(widgets::forms().existing("dlgSetProp"), nullptr);
}

// The ERP's data access that answers the groups and fails every users query.
class NoUsersDataAccess : public erp::api::IBillUseInfo {
 public:
  explicit NoUsersDataAccess(std::filesystem::path database) : real_(std::move(database)) {}
  platform::RecordsetPtr GetData(const std::string& props, const std::string& sql) override {
    if (failing && sql.find("FForbidden") != std::string::npos)
      throw platform::AutomationError(5, "T8MSmsManager.clsBillUseInfo", "用户表不可用");  // lang:data
    return real_.GetData(props, sql);
  }
  bool failing = true;

 private:
  erp::client::BillUseInfo real_;
};

TEST_F(FrmSelectUserTest, UsersThatCannotBeLoadedAreReportedOnceNotOncePerGroup) {
  platform::ScopedRegistration failing(erp::progid::kBillUseInfo,
                                       platform::sharedFactory(std::make_shared<NoUsersDataAccess>(database)));
  show([&](frmSelectUser& dlg) {
    EXPECT_EQ(dlg.tvUserGroup->topNodes().size(), 6u);
    dlg.cmdCancel->click();
  });
  ASSERT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
  const platform::AutomationError error = *messages->callsOf(ScriptedMessageService::Kind::Error)[0].error;
  EXPECT_EQ(error.source(), ":CheckNode");
  EXPECT_EQ(error.description(), "用户表不可用");
  EXPECT_FALSE(answer);
}

TEST_F(FrmSelectUserTest, AGroupTickedWhileItsUsersCouldNotBeReadIsReadWhenConfirmed) {
  auto access = std::make_shared<NoUsersDataAccess>(database);
  platform::ScopedRegistration failing(erp::progid::kBillUseInfo, platform::sharedFactory(access));
  show([&](frmSelectUser& dlg) {
    dlg.chkAll->click();
    dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node("G4"), true);  // reported
    access->failing = false;
    dlg.cmdOk->click();
  });
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->applyAll);
  EXPECT_EQ(answer->firstUserId, "16387");
  EXPECT_EQ(userIds(answer->otherUsers), std::vector<std::string>{"16390"});
}

}  // namespace
}  // namespace wayfind::dialogs
