// The main-console editor's tree, grids, locks, change tracking and saving.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

#include "editor/query_rows.h"
#include "editor/set_prop_fixture.h"
#include "platform/navigation/levels.h"
#include "platform/automation/conversions.h"
#include "update/mock_update_server.h"
#include "platform/automation/registry.h"
#include "platform/recordset/recordset.h"
#include "widgets/toolbar.h"
#include "widgets/twips.h"

namespace wayfind::editortests {
namespace {

using editor::dlgSetProp;
using Kind = erp::client::ScriptedMessageService::Kind;

bool contains(const std::vector<int32_t>& v, int32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }

TEST_F(SetPropTest, LoadListsTopClassesWithoutTheConsolesOwnAndSystemOnes) {
  auto& f = open();
  EXPECT_EQ(f.currentKey(), "All0");
  EXPECT_EQ(f.levelBase(), nav::kTopClassBase);
  EXPECT_FALSE(f.vaOutlineProp()->isHidden());
  EXPECT_TRUE(f.vaDetailProp()->isHidden());

  const auto rows = ids(*f.vaOutlineProp());
  EXPECT_TRUE(contains(rows, 1));
  EXPECT_FALSE(contains(rows, 7)) << "我的T/8 is the console's own";
  EXPECT_FALSE(contains(rows, 8)) << "FShowSysType 2 is shown by the system only";
  // The tree lists the same top classes, each with a placeholder for its children.
  auto root = f.tvFunc()->Node("All0");
  EXPECT_EQ(root.Text(), "功能列表");
  ASSERT_EQ(root.Children(), static_cast<int>(rows.size()));
  for (auto node : root.childNodes()) {
    EXPECT_EQ(node.Image(), "Top");
    ASSERT_FALSE(node.Child().isNull()) << node.Key();
    EXPECT_TRUE(node.Child().IsPlaceholder());
  }
  // The enabled column is hidden, its width shared by the name and the help code.
  EXPECT_TRUE(f.vaDetailProp()->ColHidden(4));
  EXPECT_EQ(messages->count(Kind::Error) + messages->count(Kind::Warning), 0);
}

// A custom top class has no template row and so no system flag; it is the user's
// own and listed all the same.
TEST_F(SetPropTest, TheUsersOwnTopClassIsListed) {
  login(16385);  // 张伟 has a top class of his own (1000)
  auto& f = open();
  const auto rows = ids(*f.vaOutlineProp());
  ASSERT_TRUE(contains(rows, 1000));
  EXPECT_EQ(f.vaOutlineProp()->Text(1, rowOf(*f.vaOutlineProp(), 1000)), "张伟的工具");
  EXPECT_FALSE(contains(rows, 7));
}

TEST_F(SetPropTest, ExpandingLoadsOnceAndClickingRefills) {
  auto& f = open();
  expand("Top1");
  EXPECT_EQ(f.currentKey(), "Top1");
  EXPECT_EQ(f.levelBase(), nav::kSubSystemBase);
  auto top = f.tvFunc()->Node("Top1");
  ASSERT_GT(top.Children(), 0);
  EXPECT_FALSE(top.Child().IsPlaceholder());
  EXPECT_EQ(ids(*f.vaOutlineProp()).front(), 101);
  for (auto sys : top.childNodes()) EXPECT_TRUE(sys.Child().IsPlaceholder()) << sys.Key();

  click("Sys101");
  EXPECT_EQ(f.levelBase(), nav::kSubFuncBase);
  // Sub-functions have no placeholder: their detail functions never become nodes.
  for (auto sub : f.tvFunc()->Node("Sys101").childNodes()) EXPECT_EQ(sub.Children(), 0);
  click("Sub10101");
  EXPECT_EQ(f.levelBase(), nav::kDetailFuncBase);
  EXPECT_TRUE(f.vaOutlineProp()->isHidden());
  EXPECT_FALSE(f.vaDetailProp()->isHidden());
  EXPECT_GT(f.vaDetailProp()->MaxRows(), 1);

  // Collapsing shows the collapsed node's children again.
  f.tvFunc()->simulateCollapse(f.tvFunc()->Node("Top1"));
  EXPECT_EQ(f.currentKey(), "Top1");
  EXPECT_FALSE(f.vaOutlineProp()->isHidden());
}

// Template rows under a refreshed parent are read-only, right up to the level base.
TEST_F(SetPropTest, RowsBelowTheLevelBaseAreLockedOnlyUnderARefreshedParent) {
  exec("INSERT INTO t_NavSubFunc(FSubFuncID, FSubSysID, FFuncName, FIndex) VALUES (9999999, 107, '边界模板', 50)");
  exec("INSERT INTO t_NavDetailFunc(FDetailFuncID, FSubFuncID, FFuncName, FIndex) VALUES (999999999, 10701, '边界明细', 50)");
  exec("INSERT INTO t_NavDetailFunc(FDetailFuncID, FSubFuncID, FFuncName, FIndex) VALUES (999999998, 10101, '普通明细', 50)");
  bumpTemplate();
  exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
       "VALUES (?, 10000000, 107, '自定义子功能', 60, 1)", {currentUser});
  exec("INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FIndex, FVisible, FEnable, "
       "FClassName, FClassParam) VALUES (?, 10701, 1000000000, '自定义明细', 60, 1, 1, '/bin/true', 'SelfDefine')",
       {currentUser});
  bumpUser(currentUser);

  auto& f = open();
  show("Top1", "Sys107");
  auto& outline = *f.vaOutlineProp();
  const int below = rowOf(outline, 9999999), atBase = rowOf(outline, 10000000);
  ASSERT_GT(below, 0);
  ASSERT_GT(atBase, 0);
  EXPECT_TRUE(outline.Lock(1, below));
  EXPECT_TRUE(outline.Lock(3, below));
  EXPECT_EQ(outline.BackColor(1, below), outline.palette().color(QPalette::Window));
  EXPECT_FALSE(outline.Lock(1, atBase));
  // Delete is offered at the level base and not one below; Modify never in an outline grid.
  outline.userClick(1, atBase);
  EXPECT_TRUE(enabled("Delete"));
  EXPECT_FALSE(enabled("Modify"));
  outline.userClick(1, below);
  EXPECT_FALSE(enabled("Delete"));
  EXPECT_FALSE(enabled("MoveUp"));
  EXPECT_FALSE(enabled("MoveDown"));

  click("Sub10701");
  auto& detail = *f.vaDetailProp();
  const int dBelow = rowOf(detail, 999999999), dBase = rowOf(detail, 1000000000);
  ASSERT_GT(dBelow, 0);
  ASSERT_GT(dBase, 0);
  EXPECT_TRUE(detail.Lock(1, dBelow));
  EXPECT_FALSE(detail.Lock(1, dBase));
  detail.userClick(1, dBase);
  EXPECT_TRUE(enabled("Delete"));
  EXPECT_TRUE(enabled("Modify"));
  detail.userClick(1, dBelow);
  EXPECT_FALSE(enabled("Delete"));
  EXPECT_FALSE(enabled("Modify"));

  // A parent that is not refreshed locks nothing.
  click("Sys101");
  for (int r = 1; r <= outline.MaxRows(); ++r) EXPECT_FALSE(outline.Lock(1, r)) << r;
  showDetails("Sub10101");
  ASSERT_GT(rowOf(detail, 999999998), 0);
  for (int r = 1; r <= detail.MaxRows(); ++r) EXPECT_FALSE(detail.Lock(1, r)) << r;
}

TEST_F(SetPropTest, SaveToolsFollowPendingEditsAndTheAdministratorRight) {
  auto& f = open();
  const std::vector<std::string> cleanTools = {"Refresh", "New", "mnudefault", "Import", "Export"};
  EXPECT_FALSE(enabled("SetProps"));
  for (const auto& t : cleanTools) EXPECT_TRUE(enabled(t)) << t;
  EXPECT_TRUE(enabled("mnuAllUser"));
  EXPECT_TRUE(enabled("Close"));
  EXPECT_TRUE(enabled("Property"));

  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "新的名字"));
  EXPECT_TRUE(f.dirty());
  EXPECT_TRUE(enabled("SetProps"));
  for (const auto& t : cleanTools) EXPECT_FALSE(enabled(t)) << t;
  EXPECT_TRUE(enabled("Close"));
  EXPECT_TRUE(enabled("Property"));

  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_EQ(f.tvFunc()->Node("Top" + std::to_string(f.vaOutlineProp()->RowItemData(1))).Text(), "新的名字");
  EXPECT_FALSE(f.dirty());
  EXPECT_FALSE(enabled("SetProps"));
  for (const auto& t : cleanTools) EXPECT_TRUE(enabled(t)) << t;
  EXPECT_TRUE(f.Modified()) << "saved top classes";
  EXPECT_EQ(messages->count(Kind::Question), 0) << "applying does not ask";

  // Declining the question when leaving also ends the pending state.
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 2, "又改了"));
  messages->answers = {false};
  click("Sys102");
  EXPECT_FALSE(enabled("SetProps"));
  for (const auto& t : cleanTools) EXPECT_TRUE(enabled(t)) << t;
}

TEST_F(SetPropTest, TypingADetailOrderNumberIsAnEditAndIsSaved) {
  auto& f = open();
  showDetails("Sub10101");
  auto& grid = *f.vaDetailProp();
  const int32_t id = grid.RowItemData(1);
  // A text that is no number is refused, not stored as 0; full-width digits read.
  const std::string before = grid.Text(5, 1);
  ASSERT_TRUE(grid.userTypeText(5, 1, "1e3"));
  EXPECT_EQ(grid.Text(5, 1), before);
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"序号必须是整数。"});
  ASSERT_TRUE(grid.userTypeText(5, 1, "\uff14\uff12"));
  EXPECT_TRUE(f.dirty());
  ASSERT_TRUE(clickTool("SetProps"));
  click("Sub10101");
  EXPECT_EQ(grid.Text(5, rowOf(grid, id)), "42");
}

// Keystrokes taken back, with Esc or by hand before Enter, leave nothing to
// save, and nothing pending.
TEST_F(SetPropTest, KeystrokesTakenBackLeaveNothingPending) {
  auto& f = open();
  show("Top1", "Sys101");
  auto& grid = *f.vaOutlineProp();
  for (Qt::Key undo : {Qt::Key_Escape, Qt::Key_Backspace}) {
    grid.setCurrentCell(0, 0);
    grid.edit(grid.currentIndex());
    auto* line = qobject_cast<QLineEdit*>(grid.indexWidget(grid.currentIndex()));
    ASSERT_NE(line, nullptr);
    line->end(false);
    QTest::keyClick(line, Qt::Key_X);
    EXPECT_TRUE(f.dirty());
    QTest::keyClick(line, undo);
    if (undo != Qt::Key_Escape) QTest::keyClick(line, Qt::Key_Tab);  // Enter ends it as well, a moment later
    EXPECT_FALSE(f.dirty()) << undo;
    EXPECT_TRUE(enabled("Refresh"));
  }
}

// A click on a locked row's check box is no edit: nothing shows pending.
TEST_F(SetPropTest, AClickOnALockedCheckBoxLeavesNothingPending) {
  auto& f = open();
  showDetails("Sub10701");
  auto& grid = *f.vaDetailProp();
  ASSERT_TRUE(grid.Lock(3, 1));
  grid.userClick(3, 1);
  EXPECT_FALSE(f.dirty());
  EXPECT_FALSE(enabled("SetProps"));
  EXPECT_TRUE(enabled("Refresh"));
  EXPECT_FALSE(grid.userSetValue(3, 1, 0));
}

TEST_F(SetPropTest, ApplyToUsersIsForAdministratorsOnly) {
  login(16385);  // 张伟, not an administrator
  auto& f = open();
  EXPECT_EQ(f.admin(), -1);
  EXPECT_FALSE(enabled("mnuAllUser"));
  EXPECT_FALSE(clickTool("mnuAllUser"));
}

TEST_F(SetPropTest, MovesExchangeRowsButNotTheirOrderNumbers) {
  auto& f = open();
  show("Top1", "Sys101");
  auto& grid = *f.vaOutlineProp();
  ASSERT_GE(grid.MaxRows(), 3);
  const auto idsBefore = ids(grid);
  const auto namesBefore = column(grid, 1);
  const auto indexBefore = column(grid, 3);

  grid.userClick(1, 1);
  EXPECT_FALSE(enabled("MoveUp"));
  EXPECT_TRUE(enabled("MoveDown"));
  grid.userClick(1, grid.MaxRows());
  EXPECT_TRUE(enabled("MoveUp"));
  EXPECT_FALSE(enabled("MoveDown"));

  grid.userClick(1, 2);
  ASSERT_TRUE(clickTool("MoveDown"));
  EXPECT_EQ(grid.ActiveRow(), 3);
  EXPECT_EQ(grid.RowItemData(2), idsBefore[2]);
  EXPECT_EQ(grid.RowItemData(3), idsBefore[1]);
  EXPECT_EQ(grid.Text(1, 3), namesBefore[1]);
  EXPECT_EQ(column(grid, 3), indexBefore) << "order numbers stay with their places";
  EXPECT_TRUE(f.dirty());
  EXPECT_TRUE(enabled("SetProps"));

  ASSERT_TRUE(clickTool("MoveUp"));
  EXPECT_EQ(ids(grid), idsBefore);
  EXPECT_EQ(column(grid, 1), namesBefore);

  grid.userClick(1, 2);
  ASSERT_TRUE(clickTool("MoveDown"));
  ASSERT_TRUE(clickTool("SetProps"));
  const auto stored = subFuncs(101);
  ASSERT_GE(stored.size(), 3u);
  EXPECT_EQ(stored[1].first, idsBefore[2]);
  EXPECT_EQ(stored[2].first, idsBefore[1]);
}

TEST_F(SetPropTest, NoMoveOnALockedRowNorUpOntoOne) {
  exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
       "VALUES (?, 10000000, 107, '自定义子功能', 60, 1)", {currentUser});
  bumpUser(currentUser);
  auto& f = open();
  show("Top1", "Sys107");
  auto& grid = *f.vaOutlineProp();
  const int custom = rowOf(grid, 10000000);
  ASSERT_EQ(custom, grid.MaxRows());
  ASSERT_TRUE(grid.Lock(1, 1));
  grid.userClick(1, 1);
  EXPECT_FALSE(enabled("MoveUp"));
  EXPECT_FALSE(enabled("MoveDown"));
  // The custom row sits under a locked one: it may not move up past it.
  grid.userClick(1, custom);
  EXPECT_FALSE(enabled("MoveUp"));
  EXPECT_FALSE(enabled("MoveDown"));
}

TEST_F(SetPropTest, ADuplicateHelpCodeWarnsOnceNamingTheEditedRowAndIsStillSaved) {
  auto& f = open();
  showDetails("Sub10101");
  auto& grid = *f.vaDetailProp();
  ASSERT_GE(grid.MaxRows(), 3);
  const std::string taken = grid.Text(2, 1);
  ASSERT_FALSE(taken.empty());

  ASSERT_TRUE(grid.userTypeText(2, 3, taken));
  ASSERT_EQ(messages->warnings().size(), 1u);
  EXPECT_EQ(messages->warnings()[0],
            "功能项 [" + grid.Text(1, 3) + "] 的助记码与其它功能项的助记码重复，请重新输入!");
  EXPECT_TRUE(f.dirty());

  // Blanks are never compared, and a code that differs only in case is another code.
  ASSERT_TRUE(grid.userTypeText(2, 1, "  "));
  ASSERT_TRUE(grid.userTypeText(2, 2, " "));
  std::string lower = taken;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  ASSERT_TRUE(grid.userTypeText(2, 2, lower));
  EXPECT_EQ(messages->warnings().size(), 1u);

  const int32_t duplicated = grid.RowItemData(3);
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_EQ(detailHelpCode(10101, duplicated), taken);
}

TEST_F(SetPropTest, OutlineRowsWithBlankNamesAreNotSaved) {
  auto& f = open();
  show("Top1", "Sys101");
  auto& grid = *f.vaOutlineProp();
  const auto before = subFuncs(101);
  ASSERT_TRUE(grid.userTypeText(1, 1, "   "));
  ASSERT_TRUE(grid.userTypeText(1, 2, "新账簿"));
  ASSERT_TRUE(clickTool("SetProps"));
  const auto after = subFuncs(101);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1].second, "新账簿");
}

// Only the rows the user changed go to the server, each with the keys changed and
// the values read; a blank name of a detail row is sent as it is.
TEST_F(SetPropTest, OnlyChangedDetailRowsAreSentBlankNamesIncluded) {
  exec("INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FIndex, FVisible, FEnable, "
       "FClassName, FClassParam) VALUES (?, 10701, 1000000000, '自定义明细', 60, 1, 1, '/bin/true', 'SelfDefine')",
       {currentUser});
  bumpUser(currentUser);
  auto& f = open();
  showDetails("Sub10701");
  auto& detail = *f.vaDetailProp();
  const int custom = rowOf(detail, 1000000000);
  ASSERT_GT(custom, 0);
  ASSERT_GT(detail.MaxRows(), 1);
  ASSERT_TRUE(detail.userTypeText(1, custom, " "));

  auto server = std::make_shared<::testing::NiceMock<fakes::MockUpdateServer>>();
  std::vector<std::pair<int32_t, std::string>> sent;
  EXPECT_CALL(*server, UpdateDetailFuncAttr)
      .WillRepeatedly([&](const std::string&, int32_t& id, platform::DictionaryPtr& dict, bool,
                          platform::DictionaryPtr&) {
        sent.emplace_back(id, platform::CStr(dict->GetValue("NewName")));
        EXPECT_EQ(dict->Keys(), (std::vector<std::string>{"NewName", "Read"}));
        EXPECT_EQ(platform::CStr(dict->GetValue("Read").objectAs<platform::Dictionary>()->GetValue("NewName")),
                  "自定义明细");
      });
  {
    platform::ScopedRegistration fake("ZelWayfind.DatasUpdate", platform::sharedFactory(server));
    ASSERT_TRUE(clickTool("SetProps"));
  }
  EXPECT_EQ(sent, (std::vector<std::pair<int32_t, std::string>>{{1000000000, " "}}));
}

TEST_F(SetPropTest, ClosingOffersThePendingEdits) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "关闭前保存"));
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Close"));
  EXPECT_FALSE(f.isLoaded());
  EXPECT_EQ(messages->questions().size(), 1u);
  EXPECT_EQ(subFuncs(101)[0].second, "关闭前保存");
}

TEST_F(SetPropTest, ASaveThatFailsIsReportedAndTheEditorStaysUsable) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "保存失败"));
  {
    platform::ScopedUnregistration noServer("ZelWayfind.DatasUpdate");
    ASSERT_TRUE(clickTool("SetProps"));
  }
  ASSERT_EQ(messages->warnings().size(), 1u);
  EXPECT_EQ(messages->warnings()[0].rfind("保存出错: ", 0), 0u) << messages->warnings()[0];
  EXPECT_NE(messages->warnings()[0].find("\r\n\r\n错误号: 429"), std::string::npos) << messages->warnings()[0];
  EXPECT_TRUE(f.dirty()) << "the edits stay pending";
  EXPECT_TRUE(enabled("SetProps"));
  // Applying again stores them; the editor goes on working.
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_FALSE(enabled("SetProps"));
  EXPECT_TRUE(enabled("Refresh"));
  EXPECT_EQ(subFuncs(101)[0].second, "保存失败");
  click("Sys102");
  EXPECT_EQ(f.currentKey(), "Sys102");
  EXPECT_EQ(messages->questions().size(), 0u);
}

TEST_F(SetPropTest, AQueryFailureInATreeEventIsReportedAndTheGridStays) {
  auto& f = open();
  {
    platform::ScopedUnregistration noQueries("WayfindInfo.DatasInfo");
    expand("Top1");
  }
  ASSERT_EQ(messages->count(Kind::Error), 1);
  EXPECT_EQ(messages->callsOf(Kind::Error)[0].error->number(), 429);
  EXPECT_EQ(f.currentKey(), "All0");
  EXPECT_FALSE(f.vaOutlineProp()->isHidden());
  click("Top1");
  EXPECT_EQ(f.currentKey(), "Top1");
}

TEST_F(SetPropTest, EveryCaptionIsTranslated) {
  for (const char* language : {"en", "cht"}) {
    setLanguage(language);
    auto& f = open();
    EXPECT_EQ(f.untranslated(), "") << language;
    EXPECT_NE(f.windowTitle().toStdString(), "主控台编辑器") << language;
    EXPECT_NE(f.tvFunc()->Node("All0").Text(), "功能列表") << language;
    f.Unload();
  }
}

TEST_F(SetPropTest, ALoadThatFailsIsReportedAndRefreshRecovers) {
  dlgSetProp* f = nullptr;
  {
    platform::ScopedUnregistration noQueries("WayfindInfo.DatasInfo");
    f = &open();
  }
  ASSERT_EQ(messages->count(Kind::Error), 1);
  EXPECT_TRUE(f->isLoaded());
  // The tree has its root; refreshing fills it once the store answers again.
  ASSERT_TRUE(clickTool("Refresh"));
  EXPECT_EQ(f->currentKey(), "All0");
  EXPECT_GT(f->vaOutlineProp()->MaxRows(), 0);
}

TEST_F(SetPropTest, RefreshShowsWhatTheMiddleTierHoldsNow) {
  auto& f = open();
  show("Top1", "Sys101");
  exec("INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
       "VALUES (?, 10101, 101, '别处改的名字', 1, 1)", {currentUser});
  bumpUser(currentUser);
  ASSERT_TRUE(clickTool("Refresh"));
  EXPECT_EQ(f.currentKey(), "All0");
  show("Top1", "Sys101");
  EXPECT_EQ(f.vaOutlineProp()->Text(1, rowOf(*f.vaOutlineProp(), 10101)), "别处改的名字");
}

TEST_F(SetPropTest, TheGridsFollowTheFormsSizeAndTheDetailGridStaysShown) {
  auto& f = open();
  showDetails("Sub10101");
  f.show();
  QCoreApplication::processEvents();
  const QRect before = f.vaDetailProp()->geometry();
  f.resize(f.width() + 150, f.height() + 90);
  QCoreApplication::processEvents();
  EXPECT_FALSE(f.vaDetailProp()->isHidden());
  EXPECT_EQ(f.vaDetailProp()->width(), before.width() + 150);
  EXPECT_EQ(f.vaDetailProp()->height(), before.height() + 90);
  EXPECT_EQ(f.vaOutlineProp()->geometry(), f.vaDetailProp()->geometry());
  EXPECT_EQ(f.tvFunc()->height(), f.vaDetailProp()->height());
}

TEST(QueryRows, ARecordSetWithoutAFieldIsRefused) {
  platform::Recordset rs;
  rs.appendField("FSubFuncID", platform::DataType::Integer);
  rs.appendField("FFuncName", platform::DataType::VarWChar, 80);
  rs.appendField("FVisible", platform::DataType::Integer);
  rs.open();
  try {
    editor::ReadSubFuncs(rs);
    FAIL() << "a record set without FIndex was read";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kItemNotFound);
  }
}

}  // namespace
}  // namespace wayfind::editortests
