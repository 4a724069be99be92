// The main-console editor's toolbar commands on the demo company.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "dialogs/dlg_add_item.h"
#include "dialogs/frm_select_user.h"
#include "editor/export_target.h"
#include "editor/set_prop_fixture.h"
#include "erp/storage/database.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/containers/dictionary.h"
#include "platform/navigation/levels.h"
#include "store/datas_info.h"
#include "widgets/file_chooser.h"
#include "widgets/toolbar.h"

namespace wayfind::editortests {
namespace {

namespace fs = std::filesystem;
using Kind = erp::client::ScriptedMessageService::Kind;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The user's customisation written to a template file, as the export writes it.
void exportFor(const fs::path& file) { store::DatasInfo().Export(file.string()); }

TEST_F(SetPropTest, NewAtTheRootMarksTheTopLevelChangedEvenWhenCancelled) {
  auto& f = open();
  modal().push("dlgAddItem", [](QDialog& d) { static_cast<dialogs::dlgAddItem&>(d).btnCancel_Click(); });
  ASSERT_TRUE(clickTool("New"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  EXPECT_TRUE(f.Modified());
}

TEST_F(SetPropTest, NewBelowTheRootCreatesAChildAndShowsIt) {
  auto& f = open();
  show("Top1", "Sys101");
  const auto before = ids(*f.vaOutlineProp());
  modal().push("dlgAddItem", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::dlgAddItem&>(d);
    EXPECT_EQ(dlg.curLevel, "Sys101");
    dlg.txtName->setText("我的新功能");
    dlg.btnOk_Click();
  });
  ASSERT_TRUE(clickTool("New"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  EXPECT_FALSE(f.Modified()) << "only the root's list concerns the host's top level";
  auto& grid = *f.vaOutlineProp();
  ASSERT_EQ(grid.MaxRows(), static_cast<int>(before.size()) + 1);
  const int added = grid.MaxRows();
  EXPECT_EQ(grid.Text(1, added), "我的新功能");
  EXPECT_GE(grid.RowItemData(added), nav::kSubFuncBase);
  EXPECT_TRUE(f.tvFunc()->Exists("Sub" + std::to_string(grid.RowItemData(added))));

  // Deleting it asks first; No keeps it, Yes removes it.
  grid.userClick(1, added);
  ASSERT_TRUE(enabled("Delete"));
  messages->answers = {false, true};
  ASSERT_TRUE(clickTool("Delete"));
  EXPECT_EQ(grid.MaxRows(), added);
  ASSERT_TRUE(clickTool("Delete"));
  EXPECT_EQ(ids(grid), before);
  EXPECT_EQ(messages->questions(),
            (std::vector<std::string>{"是否确认要删除该自定义项目？", "是否确认要删除该自定义项目？"}));
}

TEST_F(SetPropTest, AnItemWithChildrenIsNotDeleted) {
  login(16385);  // 张伟: custom top class 1000 with his subsystem 100000 under it
  auto& f = open();
  auto& grid = *f.vaOutlineProp();
  const int row = rowOf(grid, 1000);
  ASSERT_GT(row, 0);
  grid.userClick(1, row);
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Delete"));
  EXPECT_EQ(messages->warnings(), (std::vector<std::string>{"选定的项目还存在子项目，不能删除。"}));
  EXPECT_GT(rowOf(grid, 1000), 0);
  EXPECT_FALSE(f.Modified());
}

TEST_F(SetPropTest, ModifyEditsACustomDetailFunctionWithTheGridsValues) {
  exec("INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FHelpCode, FIndex, FVisible, "
       "FEnable, FClassName, FClassParam) VALUES (?, 10101, 1000000000, '自定义明细', 'ZDY', 60, 1, 1, '/bin/true', "
       "'SelfDefine')",
       {currentUser});
  bumpUser(currentUser);
  auto& f = open();
  showDetails("Sub10101");
  auto& grid = *f.vaDetailProp();
  const int row = rowOf(grid, 1000000000);
  ASSERT_GT(row, 0);
  grid.userClick(1, row);
  ASSERT_TRUE(enabled("Modify"));
  // Another window stores a name and a help code of its own meanwhile: the
  // help code, not changed here, stays theirs; the name is asked about.
  exec("UPDATE t_NavUserDetailFunc SET FFuncName = '别人的明细', FHelpCode = 'THEIRS' WHERE FUserID = ? AND "
       "FDetailFuncID = 1000000000",
       {currentUser});
  bumpUser(currentUser);
  messages->answers = {true};  // keep mine
  modal().push("dlgAddItem", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::dlgAddItem&>(d);
    EXPECT_EQ(dlg.curLevel, "EditDetail");
    EXPECT_EQ(dlg.DetailFuncID, 1000000000);
    EXPECT_EQ(dlg.txtName->text().toStdString(), "自定义明细");
    EXPECT_EQ(dlg.txtHelpCode->text().toStdString(), "ZDY");
    dlg.txtName->setText("改过的明细");
    dlg.btnOk_Click();
  });
  ASSERT_TRUE(clickTool("Modify"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  EXPECT_EQ(messages->questions().size(), 1u);
  EXPECT_EQ(grid.Text(1, rowOf(grid, 1000000000)), "改过的明细");
  EXPECT_EQ(detailHelpCode(10101, 1000000000), "THEIRS");
}

TEST_F(SetPropTest, EditsOfAnItemDeletedMeanwhileAreDroppedAndTheRestSaved) {
  for (const bool here : {false, true}) {
    SCOPED_TRACE(here ? "deleted here" : "deleted by another window");
    exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
         "VALUES (?, 10000000, 101, '自定义子功能', 60, 1)", {currentUser});
    bumpUser(currentUser);
    auto& f = open();
    show("Top1", "Sys101");
    auto& grid = *f.vaOutlineProp();
    const int custom = rowOf(grid, 10000000), other = rowOf(grid, 10101);
    ASSERT_GT(custom, 0);
    ASSERT_TRUE(grid.userTypeText(1, custom, "改了又删"));
    ASSERT_TRUE(grid.userTypeText(1, other, "保存的名字"));
    messages->answers = {true, true};
    if (here) {
      grid.userClick(1, custom);
      ASSERT_TRUE(clickTool("Delete"));  // asked to delete, then to save the other edit
    } else {
      // Deleted, and its number taken by a new item under another subsystem: the
      // new item does not get the edits.
      exec("UPDATE t_NavUserSubFunc SET FSubSysID = 102, FFuncName = '别处的新项' WHERE FUserID = ? AND "
           "FSubFuncID = 10000000", {currentUser});
      bumpUser(currentUser);
      ASSERT_TRUE(clickTool("SetProps"));
      EXPECT_EQ(messages->warnings().size(), 1u) << "the deleted item is named";
      const auto elsewhere = subFuncs(102);
      EXPECT_NE(std::find(elsewhere.begin(), elsewhere.end(), std::pair<int32_t, std::string>{10000000, "别处的新项"}),
                elsewhere.end());
    }
    EXPECT_EQ(messages->count(Kind::Error), 0);
    EXPECT_FALSE(f.dirty());
    if (here) {
      EXPECT_EQ(rowOf(grid, 10000000), 0);
    }
    // The grid shows what was saved, read after the save.
    EXPECT_EQ(grid.Text(1, rowOf(grid, 10101)), "保存的名字");
    const auto stored = subFuncs(101);
    EXPECT_NE(std::find(stored.begin(), stored.end(), std::pair<int32_t, std::string>{10101, "保存的名字"}), stored.end());
    f.Unload();
    exec("DELETE FROM t_NavUserSubFunc WHERE FUserID = ?", {currentUser});
    bumpUser(currentUser);
    messages->calls.clear();
  }
}

TEST_F(SetPropTest, NoToAnyQuestionChangesNothing) {
  exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
       "VALUES (?, 10000000, 101, '自定义子功能', 60, 1)", {currentUser});
  bumpUser(currentUser);
  auto& f = open();
  show("Top1", "Sys101");
  const std::string version = userVersion(currentUser);
  const auto before = ids(*f.vaOutlineProp());
  widgets::ScopedFileChoices files({std::nullopt});
  f.vaOutlineProp()->userClick(1, rowOf(*f.vaOutlineProp(), 10000000));
  messages->answers = {false, false, false};
  ASSERT_TRUE(clickTool("Delete"));
  ASSERT_TRUE(clickTool("mnudefault"));
  ASSERT_TRUE(clickTool("Import"));
  EXPECT_EQ(messages->questions(),
            (std::vector<std::string>{"是否确认要删除该自定义项目？", "恢复默认设置将使你本地的所有修改无效，是否继续？",
                                      "引入模板将使你本地的所有修改无效，是否继续？"}));
  EXPECT_TRUE(files.requests().empty()) << "no file was asked for";
  EXPECT_EQ(userVersion(currentUser), version);
  EXPECT_EQ(ids(*f.vaOutlineProp()), before);
  EXPECT_EQ(f.currentKey(), "Sys101");
}

TEST_F(SetPropTest, RestoringTheDefaultDropsTheUsersRowsAndRebuildsTheTree) {
  login(16385);
  auto& f = open();
  show("Top1", "Sys101");
  messages->answers = {true};
  ASSERT_TRUE(clickTool("mnudefault"));
  EXPECT_EQ(f.currentKey(), "All0");
  EXPECT_EQ(rowOf(*f.vaOutlineProp(), 1000), 0) << "his own top class is gone";
  EXPECT_EQ(userRowCount("t_NavUserTopClass", 16385), 0);
}

TEST_F(SetPropTest, ImportAsksForAnExistingFileAndNamesTheUserWhenDone) {
  const fs::path file = folder / "zhang.dat";
  login(16385);
  exportFor(file);
  login(currentUser);

  auto& f = open();
  show("Top1", "Sys101");
  const std::string missing = (folder / "missing.dat").string();
  widgets::ScopedFileChoices files({missing, file.string()});
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Import"));
  EXPECT_EQ(messages->warnings(), (std::vector<std::string>{"文件不存在，请重新选择！"}));
  ASSERT_EQ(files.requests().size(), 2u);
  const auto& request = files.requests()[0];
  EXPECT_EQ(request.filter, "模板 (*.dat)|*.dat");
  EXPECT_EQ(request.defaultExt, "dat");
  EXPECT_EQ(request.title, "选择目录");
  EXPECT_TRUE(request.initialDir.empty()) << "the chooser starts in the home folder";
  EXPECT_FALSE(request.mustExist) << "the import's own check answers a missing file, not Qt's";
  EXPECT_EQ(messages->informations(),
            (std::vector<std::string>{"用户" + windowtests::userName(database, currentUser) + "的模板数据引入成功"}));
  // The tree is built again from the root, with the imported top class.
  EXPECT_EQ(f.currentKey(), "All0");
  EXPECT_FALSE(f.vaOutlineProp()->isHidden());
  bool imported = false;
  for (int r = 1; r <= f.vaOutlineProp()->MaxRows(); ++r)
    imported = imported || f.vaOutlineProp()->Text(1, r) == "张伟的工具";
  EXPECT_TRUE(imported);
}

TEST_F(SetPropTest, ACancelledImportShowsNothing) {
  auto& f = open();
  show("Top1", "Sys101");
  const std::string version = userVersion(currentUser);
  widgets::ScopedFileChoices files({std::nullopt});
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Import"));
  EXPECT_TRUE(messages->informations().empty());
  EXPECT_EQ(messages->count(Kind::Warning) + messages->count(Kind::Error), 0);
  EXPECT_EQ(f.currentKey(), "Sys101");
  EXPECT_EQ(userVersion(currentUser), version);
}

TEST_F(SetPropTest, AnInvalidTemplateFileIsReportedAndNothingChanges) {
  const fs::path file = folder / "broken.dat";
  std::ofstream(file) << "not a template";
  open();
  const std::string version = userVersion(currentUser);
  widgets::ScopedFileChoices files({file.string()});
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Import"));
  ASSERT_EQ(messages->count(Kind::Error), 1);
  EXPECT_EQ(messages->callsOf(Kind::Error)[0].text, "无效或错误的模板文件，请重新选择。");
  EXPECT_TRUE(messages->informations().empty());
  EXPECT_EQ(userVersion(currentUser), version);
}

// The earlier file is never deleted before the export: a failing export keeps it.
TEST_F(SetPropTest, AFailingExportKeepsTheEarlierFile) {
  const fs::path file = folder / "mine.dat";
  std::ofstream(file) << "earlier export";
  open();
  widgets::ScopedFileChoices files({file.string()});
  {
    platform::ScopedUnregistration noServer("ZelWayfind.DatasInfo");
    ASSERT_TRUE(clickTool("Export"));
  }
  EXPECT_EQ(messages->count(Kind::Error), 1);
  EXPECT_EQ(readFile(file), "earlier export");
  ASSERT_EQ(files.requests().size(), 1u);
  EXPECT_TRUE(files.requests()[0].save);
  EXPECT_EQ(files.requests()[0].title, "引出模板") << "it asks for a file, not a folder";
  EXPECT_TRUE(files.requests()[0].initialDir.empty());
}

TEST_F(SetPropTest, ExportReplacesAFileWithACompleteTemplate) {
  const fs::path file = folder / "mine.dat";
  std::ofstream(file) << "earlier export";
  open();
  widgets::ScopedFileChoices files({file.string()});
  ASSERT_TRUE(clickTool("Export"));
  EXPECT_EQ(messages->count(Kind::Error) + messages->count(Kind::Warning), 0);
  platform::Dictionary saved;
  EXPECT_TRUE(saved.Load(file));
  EXPECT_TRUE(saved.Lookup("TopClass"));
}

TEST_F(SetPropTest, ATargetThatCannotBeReplacedIsRefusedAndNothingIsWritten) {
  const fs::path folderAsTarget = folder / "a-folder.dat";
  fs::create_directories(folderAsTarget);
  const fs::path underAFile = folder / "plain.txt" / "mine.dat";
  std::ofstream(folder / "plain.txt") << "x";
  open();
  widgets::ScopedFileChoices files({folderAsTarget.string(), underAFile.string()});
  ASSERT_TRUE(clickTool("Export"));
  ASSERT_TRUE(clickTool("Export"));
  EXPECT_EQ(messages->warnings(), (std::vector<std::string>(2, "对不起,您没有文件的操作权限,不能进行导出!")));
  EXPECT_TRUE(fs::is_directory(folderAsTarget));
  EXPECT_TRUE(fs::is_empty(folderAsTarget));
  EXPECT_EQ(readFile(folder / "plain.txt"), "x");
}

TEST(ExportTarget, PermissionsOfFolderAndFile) {
  const fs::path dir = fs::temp_directory_path() / ("wayfind-export-target-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  EXPECT_TRUE(editor::ClearExportTarget((dir / "new.dat").string()));
  std::ofstream(dir / "old.dat") << "old";
  EXPECT_TRUE(editor::ClearExportTarget((dir / "old.dat").string()));
  EXPECT_TRUE(fs::exists(dir / "old.dat")) << "checking never deletes";
  EXPECT_FALSE(editor::ClearExportTarget((dir / "no-such-folder" / "x.dat").string()));
  EXPECT_FALSE(editor::ClearExportTarget(""));
  if (::geteuid() != 0) {  // the superuser may write anywhere
    fs::permissions(dir / "old.dat", fs::perms::owner_read);
    EXPECT_FALSE(editor::ClearExportTarget((dir / "old.dat").string())) << "a read-only file is protected";
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(editor::ClearExportTarget((dir / "new.dat").string()));
    fs::permissions(dir, fs::perms::owner_all);
  }
  fs::remove_all(dir);
}

// The user chooser as the user works it: "全部应用" cleared, some users ticked, OK.
widgets::ModalScript chooseUsers(std::vector<std::string> userKeys) {
  return [userKeys](QDialog& d) {
    auto& dlg = static_cast<dialogs::frmSelectUser&>(d);
    dlg.chkAll->setChecked(false);
    dlg.chkAll_Click();
    for (const auto& key : userKeys) {
      const std::string group = "G" + key.substr(key.find(',') + 1);
      dlg.tvUserGroup->simulateExpand(dlg.tvUserGroup->Node(group));
      dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node(key), true);
    }
    dlg.cmdOk_Click();
  };
}

TEST_F(SetPropTest, ApplyingToChosenUsersSavesForTheFirstAndCopiesToTheOthers) {
  auto& f = open();
  show("Top1", "Sys101");
  const std::string myVersion = userVersion(currentUser);
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "分发的名称"));
  modal().push("frmSelectUser", chooseUsers({"U16385,2", "U16386,2"}));
  ASSERT_TRUE(clickTool("mnuAllUser"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  ASSERT_TRUE(f.userChoice());
  EXPECT_EQ(f.userChoice()->firstUserId, "16385");
  EXPECT_FALSE(f.dirty());
  EXPECT_EQ(messages->count(Kind::Error) + messages->count(Kind::Warning), 0);
  EXPECT_EQ(userVersion(currentUser), myVersion) << "the edits went to the first chosen user";
  for (int32_t user : {16385, 16386}) {
    login(user);
    EXPECT_EQ(subFuncs(101)[0].second, "分发的名称") << user;
  }
  // The server answers the users it applied to.
  ASSERT_EQ(f.userChoice()->otherUsers->Count(), 1);
  EXPECT_EQ(platform::CLng(f.userChoice()->otherUsers->Item(1)), 16386);
}

TEST_F(SetPropTest, ApplyingToAllUsersSavesForTheUserAndCopiesToEveryone) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "所有人的名称"));
  modal().push("frmSelectUser", [](QDialog& d) { static_cast<dialogs::frmSelectUser&>(d).cmdOk_Click(); });
  messages->answers = {true};
  ASSERT_TRUE(clickTool("mnuAllUser"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  ASSERT_TRUE(f.userChoice());
  EXPECT_TRUE(f.userChoice()->applyAll);
  // Asked first, naming how many users are replaced: every user of the demo company but this one.
  ASSERT_EQ(messages->questions().size(), 1u);
  EXPECT_NE(messages->questions()[0].find("其他 10 位用户"), std::string::npos) << messages->questions()[0];
  EXPECT_EQ(subFuncs(101)[0].second, "所有人的名称");
  login(16390);
  EXPECT_EQ(subFuncs(101)[0].second, "所有人的名称");
}

TEST_F(SetPropTest, ApplyingGivesEachChosenUserTheLevelShownAndNothingElse) {
  // 张伟 (16385) has a setup of his own on other levels; 赵磊 (16390) is chosen after him.
  auto rowsOutside = [&](int32_t user) {
    auto conn = erp::storage::connectionFor(database);
    std::string out;
    for (const char* sql : {"SELECT * FROM t_NavUserTopClass WHERE FUserID = ? ORDER BY FTopClassID",
                            "SELECT * FROM t_NavUserSubSystem WHERE FUserID = ? ORDER BY FSubSysID",
                            "SELECT * FROM t_NavUserSubFunc WHERE FUserID = ? AND FSubSysID <> 101 ORDER BY FSubFuncID",
                            "SELECT * FROM t_NavUserDetailFunc WHERE FUserID = ? ORDER BY FSubFuncID, FDetailFuncID",
                            "SELECT * FROM t_NavUserProfile WHERE FUserID = ? ORDER BY FName"}) {
      auto st = conn->prepare(sql);
      st.bind(1, user);
      while (st.step())
        for (int i = 0; i < st.columnCount(); ++i) out += st.value(i).debugString() + (i + 1 < st.columnCount() ? "|" : "\n");
    }
    return out;
  };
  const std::string zhang = rowsOutside(16385), zhao = rowsOutside(16390), mine = userVersion(currentUser);
  auto& f = open();
  show("Top1", "Sys101");
  const std::string ownName = f.vaOutlineProp()->Text(1, 1);
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "分给两位的名称"));
  modal().push("frmSelectUser", chooseUsers({"U16385,2", "U16390,4"}));
  ASSERT_TRUE(clickTool("mnuAllUser"));
  EXPECT_EQ(messages->count(Kind::Error) + messages->count(Kind::Warning), 0);
  for (int32_t user : {16385, 16390}) {
    login(user);
    EXPECT_EQ(subFuncs(101)[0].second, "分给两位的名称") << user;
  }
  EXPECT_EQ(rowsOutside(16385), zhang);
  EXPECT_EQ(rowsOutside(16390), zhao) << "none of 张伟's own setup reaches 赵磊";
  EXPECT_EQ(userVersion(currentUser), mine);
  // The editor shows its own user's rows again, with nothing pending.
  EXPECT_EQ(f.vaOutlineProp()->Text(1, 1), ownName);
  EXPECT_FALSE(f.dirty());
  EXPECT_FALSE(enabled("SetProps"));
}

TEST_F(SetPropTest, ApplyingIsRefusedForAUserWhoIsNoAdministrator) {
  login(16385);
  auto& f = open();
  const std::string other = userVersion(16386);
  modal().push("frmSelectUser", chooseUsers({"U16386,2", "U16391,2"}));
  f.ToolClick("mnuAllUser");  // the tool is disabled; the server refuses all the same
  ASSERT_EQ(messages->count(Kind::Warning), 1) << "the save for the first user is refused";
  EXPECT_NE(messages->warnings()[0].find("管理员"), std::string::npos) << messages->warnings()[0];
  EXPECT_EQ(userVersion(16386), other);
  EXPECT_TRUE(f.isLoaded());
}

TEST_F(SetPropTest, CancellingTheChooserOrChoosingNobodyAppliesNothingAndKeepsTheEdits) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "留着"));
  const std::string mine = userVersion(currentUser), theirs = userVersion(16385);
  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancelled" : "nobody ticked");
    if (cancel)
      modal().push("frmSelectUser", [](QDialog& d) { static_cast<dialogs::frmSelectUser&>(d).cmdCancel_Click(); });
    else
      modal().push("frmSelectUser", chooseUsers({}));
    ASSERT_TRUE(clickTool("mnuAllUser"));
    EXPECT_EQ(bool(f.userChoice()), !cancel);
    EXPECT_TRUE(f.dirty()) << "the edits are still pending";
    EXPECT_EQ(f.vaOutlineProp()->Text(1, 1), "留着");
    EXPECT_EQ(userVersion(currentUser), mine);
    EXPECT_EQ(userVersion(16385), theirs);
  }
  // Shown again by the user (clicked, expanded or collapsed), the node keeps them too.
  click("Sys101");
  EXPECT_TRUE(f.dirty());
  EXPECT_EQ(f.vaOutlineProp()->Text(1, 1), "留着");
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_EQ(subFuncs(101)[0].second, "留着");
}

TEST_F(SetPropTest, ApplyingALevelOfTheAdministratorsOwnItemsGivesTheOthersNothing) {
  // Items of the administrator's own are theirs alone: no chosen user receives
  // them, and none of the first chosen user's setup reaches the others.
  exec("INSERT INTO t_NavUserSubSystem(FUserID, FSubSysID, FTopClassID, FName, FIndex, FVisible) "
       "VALUES (?, 100050, 1, '管理员工具', 90, 1)", {currentUser});
  exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
       "VALUES (?, 10000050, 100050, '我的工具', 1, 1), (?, 10000051, 100050, '旧工具', 2, 1)",
       {currentUser, currentUser});
  bumpUser(currentUser);
  const std::string first = userVersion(16385), second = userVersion(16386);
  auto& f = open();
  show("Top1", "Sys100050");
  ASSERT_EQ(f.vaOutlineProp()->MaxRows(), 2);
  // One of them deleted in another window meanwhile: left out and named, the
  // rest applied.
  exec("DELETE FROM t_NavUserSubFunc WHERE FSubFuncID = 10000051", {});
  bumpUser(currentUser);
  modal().push("frmSelectUser", chooseUsers({"U16385,2", "U16386,2"}));
  ASSERT_TRUE(clickTool("mnuAllUser"));
  ASSERT_EQ(messages->warnings().size(), 1u);
  EXPECT_NE(messages->warnings()[0].find("旧工具"), std::string::npos) << messages->warnings()[0];
  EXPECT_EQ(messages->count(Kind::Error), 0);
  EXPECT_EQ(userVersion(16385), first);
  EXPECT_EQ(userVersion(16386), second) << "李娜's setup was replaced by 张伟's";
}

TEST_F(SetPropTest, PropertyOpensTheCompanyProperties) {
  open();
  modal().push("dlgProperties", [](QDialog& d) { d.reject(); });
  ASSERT_TRUE(clickTool("Property"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  EXPECT_EQ(messages->count(Kind::Error), 0);
}

TEST_F(SetPropTest, AFailingCommandIsReportedAndTheEditorStaysOpen) {
  auto& f = open();
  {
    // The middle tier failing: restoring the defaults says so (the public class
    // would pass the failure over).
    platform::ScopedUnregistration noUpdates("ZelWayfind.DatasUpdate");
    messages->answers = {true};
    ASSERT_TRUE(clickTool("mnudefault"));
  }
  EXPECT_EQ(messages->count(Kind::Error), 1);
  EXPECT_TRUE(f.isLoaded());
  click("All0");
  EXPECT_EQ(f.currentKey(), "All0");
}

}  // namespace
}  // namespace wayfind::editortests
