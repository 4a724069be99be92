// Two main-console editors open on one database, and saves that fail: no save
// undoes another window's, a field changed in both is asked about, and a failed
// save keeps its edits pending.
#include <QCheckBox>
#include <QDialog>
#include <memory>

#include "dialogs/frm_select_user.h"
#include "editor/set_prop_fixture.h"
#include "erp/middletier/datas_update.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/recordset.h"
#include "store/datas_info.h"
#include "widgets/toolbar.h"

namespace wayfind::editortests {
namespace {

using Kind = erp::client::ScriptedMessageService::Kind;

class ConcurrentEditors : public SetPropTest {
 protected:
  void TearDown() override {
    erp::middletier::setChangeFaultHookForTesting({});
    SetPropTest::TearDown();
  }

  // A second editor, open beside the first, on subsystem 101 or (details) on its
  // sub-function 10101.
  std::unique_ptr<editor::dlgSetProp> second(bool details = false) {
    auto other = std::make_unique<editor::dlgSetProp>();
    other->Load();
    auto* tree = other->tvFunc();
    tree->simulateExpand(tree->Node("Top1"));
    if (details) {
      tree->simulateExpand(tree->Node("Sys101"));
      tree->simulateClick(tree->Node("Sub10101"));
    } else {
      tree->simulateClick(tree->Node("Sys101"));
    }
    return other;
  }
  // Fails every node update at its write with the database's "locked".
  static void failSaves() {
    erp::middletier::setChangeFaultHookForTesting([](std::string_view method, std::string_view point) {
      if (method.rfind("Update", 0) == 0 && point == "write")
        erp::storage::raiseDatabaseError("无法开始写事务", "database is locked");
    });
  }
};

TEST_F(ConcurrentEditors, TheLaterSaveKeepsTheEarlierOnesAndAsksAboutTheSameField) {
  // Each case: the second window changes row 2's name, and row 1's name too when
  // `clash` (the first window renamed row 1); the user answers keep or take.
  struct Case {
    const char* what;
    bool clash, keepMine;
    bool firstKept;  // row 1 stored afterwards, and shown by the second window, is the first window's
  };
  int round = 0;
  for (const Case& c : {Case{"different rows", false, false, true}, Case{"same field, keep mine", true, true, false},
                        Case{"same field, take theirs", true, false, true}}) {
    SCOPED_TRACE(c.what);
    const std::string n = std::to_string(++round);
    const std::string firstName = "第一个窗口的名称" + n, secondName = "第二个窗口的名称" + n,
                      row2 = "第二个窗口的第二行" + n;
    messages->calls.clear();
    auto& first = open();
    show("Top1", "Sys101");
    auto later = second();
    auto& grid = *later->vaOutlineProp();

    ASSERT_TRUE(first.vaOutlineProp()->userTypeText(1, 1, firstName));
    ASSERT_TRUE(clickTool("SetProps"));
    if (c.clash) {
      ASSERT_TRUE(grid.userTypeText(1, 1, secondName));
    }
    ASSERT_TRUE(grid.userTypeText(1, 2, row2));
    messages->answers = {c.keepMine};
    ASSERT_TRUE(later->Bar()->ClickTool("SetProps"));

    const std::string row1 = c.firstKept ? firstName : secondName;
    const auto stored = subFuncs(101);
    EXPECT_EQ(stored[0].second, row1);
    EXPECT_EQ(stored[1].second, row2) << "the rest of the save is stored whatever the answer";
    EXPECT_EQ(grid.Text(1, 1), row1) << "after the save the window shows what is stored";
    EXPECT_FALSE(later->dirty());
    const auto questions = messages->questions();
    ASSERT_EQ(questions.size(), c.clash ? 1u : 0u);
    if (c.clash) {
      EXPECT_NE(questions[0].find(firstName), std::string::npos) << questions[0];
      EXPECT_NE(questions[0].find(secondName), std::string::npos) << questions[0];
    }
    later->Unload();
    first.Unload();
  }
}

TEST_F(ConcurrentEditors, AUsersSaveKeepsWhatTheAdministratorAppliedMeanwhile) {
  login(16385);  // 张伟's editor is open on 凭证's functions
  auto& mine = open();
  showDetails("Sub10101");
  auto& grid = *mine.vaDetailProp();
  ASSERT_GE(grid.MaxRows(), 3);
  const int32_t renamed = grid.RowItemData(2), recoded = grid.RowItemData(grid.MaxRows());

  // The administrator renames row 2 and applies the level to 张伟.
  login(windowtests::kAdministrator);
  auto admin = second(true);
  const int adminRow = admin->vaDetailProp()->FindRowByItemData(renamed);
  ASSERT_TRUE(admin->vaDetailProp()->userTypeText(1, adminRow, "查询凭证ADM"));
  modal().push("frmSelectUser", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::frmSelectUser&>(d);
    dlg.chkAll->setChecked(false);
    dlg.chkAll_Click();
    dlg.tvUserGroup->simulateExpand(dlg.tvUserGroup->Node("G2"));
    dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node("U16385,2"), true);
    dlg.cmdOk_Click();
  });
  ASSERT_TRUE(admin->Bar()->ClickTool("mnuAllUser"));
  ASSERT_TRUE(modal().done()) << windowtests::join(modal().failures());

  // 张伟 changes another row's help code in the window he had open, and saves.
  login(16385);
  ASSERT_TRUE(grid.userTypeText(2, grid.FindRowByItemData(recoded), "ZWX"));
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_EQ(messages->questions().size(), 0u);
  EXPECT_EQ(detailHelpCode(10101, recoded), "ZWX");
  auto info = store::newDatasInfo();
  info->RegetDataInfo();
  auto rs = info->GetDetailFunc_All(10101);
  std::string name;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
    if (platform::CLng(rs->value("FDetailFuncID")) == renamed) name = platform::fieldText(*rs, "FFuncName");
  EXPECT_EQ(name, "查询凭证ADM") << "the administrator's change is not undone";
  admin->Unload();
}

TEST_F(ConcurrentEditors, AFailedSaveKeepsItsEditsUntilItIsStoredOrDeclined) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "等会儿再存"));
  failSaves();
  ASSERT_TRUE(clickTool("SetProps"));
  ASSERT_EQ(messages->warnings().size(), 1u);
  const std::string warning = messages->warnings()[0];
  EXPECT_EQ(warning.rfind("保存出错: 另一位用户正在保存", 0), 0u) << warning;
  EXPECT_NE(warning.find("\r\n\r\n错误号: -2147467259"), std::string::npos) << warning;
  EXPECT_EQ(warning.find("database is locked"), std::string::npos) << "no database words: " << warning;
  EXPECT_TRUE(f.dirty());
  EXPECT_TRUE(enabled("SetProps"));

  // Leaving the node or closing asks again, and a failed save keeps the editor where it is.
  messages->answers = {true, true};
  click("All0");
  EXPECT_EQ(f.currentKey(), "Sys101");
  f.Unload();
  EXPECT_TRUE(f.isLoaded());
  EXPECT_EQ(f.vaOutlineProp()->Text(1, 1), "等会儿再存");

  // Once the database takes writes again, applying stores the edits.
  erp::middletier::setChangeFaultHookForTesting({});
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_FALSE(f.dirty());
  EXPECT_EQ(subFuncs(101)[0].second, "等会儿再存");
  EXPECT_EQ(messages->questions().size(), 2u);
}

}  // namespace
}  // namespace wayfind::editortests
