// The list of the favourites editor: dropping functions on it, its checks and
// the save, including a save the server fails half-way.
#include <QPushButton>

#include "erp/middletier/datas_update.h"
#include "erp/storage/database.h"
#include "erp/storage/versions.h"
#include "favourites_fixture.h"
#include "store/cache_files.h"
#include "store/data_info.h"

namespace wayfind::favourites::testing {
namespace {

using Kind = erp::client::ScriptedMessageService::Kind;

class ListTest : public FavouritesTest {
 protected:
  // Puts the functions of sub-function 10101 into a fresh list of the first group.
  dlgSetNormal& editorWith(const std::vector<int32_t>& ids) {
    auto& ed = openEditor();
    ed.vaNormal->ClearRows();
    for (int32_t id : ids) ed.AddFunctionRow(id);
    return ed;
  }
};

TEST_F(ListTest, DroppingAListedFunctionOrAnotherLevelAddsNothingAndSaysNothing) {
  login(kZhang);
  auto& ed = openEditor();
  const auto before = gridRows();
  const int32_t listed = ed.vaNormal->RowItemData(1);
  EXPECT_FALSE(over("Det" + std::to_string(listed)));
  drop("Det" + std::to_string(listed));
  for (const char* key : {"Sub10101", "Sys101", "Top1", "Det", "Det12x"}) {
    EXPECT_FALSE(over(key)) << key;
    drop(key);
  }
  EXPECT_EQ(gridRows(), before);
  EXPECT_FALSE(ed.m_bDirty);
  EXPECT_TRUE(shownCalls().empty()) << shownMessages();

  // A function not listed yet is taken and goes to the end.
  int32_t fresh = 0;
  for (int32_t id : functionsOf(10101))
    if (!ed.IsInList(id)) fresh = id;
  ASSERT_NE(fresh, 0);
  EXPECT_TRUE(over("Det" + std::to_string(fresh)));
  drop("Det" + std::to_string(fresh));
  ASSERT_EQ(ed.vaNormal->MaxRows(), static_cast<int>(before.size()) + 1);
  EXPECT_EQ(ed.vaNormal->RowItemData(ed.vaNormal->MaxRows()), fresh);
  EXPECT_TRUE(ed.m_bDirty);
  EXPECT_FALSE(over("Det" + std::to_string(fresh)));
}

TEST_F(ListTest, HelpCodesDifferingInSpacesOrLetterCaseAreDuplicatesAndTheLastIsShown) {
  login(kZhang);
  const auto ids = functionsOf(10101);
  ASSERT_GE(ids.size(), 4u);
  auto& ed = editorWith({ids[0], ids[1], ids[2], ids[3]});
  ed.vaNormal->SetText(2, 1, " pz");
  ed.vaNormal->SetText(2, 2, "");
  ed.vaNormal->SetText(2, 3, "PZ ");
  ed.vaNormal->SetText(2, 4, "");
  EXPECT_FALSE(ed.ValidateList());
  ASSERT_EQ(messages->warnings().size(), 1u);
  EXPECT_EQ(messages->warnings()[0], "功能项 [" + ed.vaNormal->Text(1, 3) + "] 的助记码与其它功能项的助记码重复, 请修改!");
  EXPECT_EQ(ed.vaNormal->ActiveRow(), 3);

  // Three equal codes: the last of them; empty codes never clash.
  ed.vaNormal->SetText(2, 4, "Pz");
  EXPECT_FALSE(ed.ValidateList());
  EXPECT_EQ(ed.vaNormal->ActiveRow(), 4);
  EXPECT_EQ(ed.vaNormal->ActiveCol(), 1);
  ed.vaNormal->SetText(2, 1, "");
  ed.vaNormal->SetText(2, 3, "");
  EXPECT_TRUE(ed.ValidateList());

  // A quote in a show name is refused before any duplicate is looked at.
  ed.vaNormal->SetText(3, 2, "it's");
  ed.vaNormal->SetText(2, 1, "Pz");
  EXPECT_FALSE(ed.ValidateList());
  EXPECT_EQ(messages->warnings().back(), "功能项 [" + ed.vaNormal->Text(1, 2) + "] 的显示名称含有非法字符(如单引号)！");
}

TEST_F(ListTest, AShowNameOfSpacesIsSavedAsTheFunctionNameAndThenSaid) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 2, "   "));
  messages->answers = {true};
  ed.Bar->ClickTool("SetProps");
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"显示名称不能为空!"});
  const auto stored = storedList(group);
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[1].substr(stored[1].rfind(':') + 1), ed.vaNormal->Text(1, 2));
  EXPECT_EQ(gridRows(), stored);
}

TEST_F(ListTest, ShowNamesWithLineBreaksComeOnOneLine) {
  login(kZhang);
  const int32_t id = functionsOf(10101).at(0);
  {
    auto conn = erp::storage::connectionFor(database);
    auto st = conn->prepare("UPDATE t_NavDetailFunc SET FShowName = ? WHERE FDetailFuncID = ?");
    st.bindAll(std::string("凭证\r\n录入\n"), id);
    st.run();
    erp::storage::bumpTemplateRevision(*conn);
  }
  store::DataInfo::instance().reset();
  auto& ed = editorWith({id});
  ASSERT_EQ(ed.vaNormal->MaxRows(), 1);
  EXPECT_EQ(ed.vaNormal->Text(3, 1), "凭证  录入");
}

TEST_F(ListTest, AnEmptyListSavedEmptiesTheGroup) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  while (ed.vaNormal->MaxRows() > 0) {
    ed.vaNormal->SetActiveCell(1, 1);
    ed.RemoveActiveRow();
  }
  messages->answers = {true};
  EXPECT_TRUE(ed.SaveAndSwitchGroup());
  EXPECT_TRUE(storedList(group).empty());
  EXPECT_EQ(storedGroups().size(), 2u);
  EXPECT_TRUE(messages->warnings().empty());
}

TEST_F(ListTest, AServerFailingOnTheThirdRowLeavesTheWholeOldListAndTheEditsInTheEditor) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  const auto stored = storedList(group);
  // Reordered and one more: the first row goes to the end, a new one after it.
  ed.vaNormal->SetActiveCell(1, 1);
  ed.RemoveActiveRow();
  ed.AddFunctionRow(std::stoi(stored[0]));
  for (int32_t id : functionsOf(10101))
    if (!ed.IsInList(id)) {
      ed.AddFunctionRow(id);
      break;
    }
  ASSERT_EQ(ed.vaNormal->MaxRows(), 5);
  const auto edited = gridRows();
  int rows = 0;
  erp::middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method == "ReplaceNormalList" && point == "row" && ++rows == 3)
      throw platform::AutomationError(999, "ZelWayfind.DatasUpdate", "磁盘已满");
  });
  messages->answers = {true};
  ed.Bar->ClickTool("SetProps");
  erp::middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"在进行数据操作时发生错误: 磁盘已满\n\n错误号: 999"});
  EXPECT_TRUE(ed.isLoaded());
  EXPECT_TRUE(ed.Modified());
  EXPECT_EQ(gridRows(), edited);
  EXPECT_EQ(storedList(group), stored);

  // Closing asks again; Yes saves the same list and closes.
  messages->answers = {true};
  EXPECT_TRUE(ed.Unload()) << shownMessages();
  EXPECT_EQ(storedList(group), edited);
}

}  // namespace
}  // namespace wayfind::favourites::testing
