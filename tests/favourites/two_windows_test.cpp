// Two favourites editors open on one list (the same user twice): the later save
// keeps what the earlier stored, asks about what both changed, and a save that
// failed below the window keeps its edits until saving again stores them.
#include <QPushButton>

#include "erp/middletier/datas_update.h"
#include "favourites_fixture.h"
#include "store/datas_info.h"
#include "update/datas_update.h"

namespace wayfind::favourites::testing {
namespace {

using windowtests::join;

class TwoWindowsTest : public FavouritesTest {
 protected:
  std::vector<NormalRow> listRowsOf(int32_t group) {
    std::vector<NormalRow> rows;
    auto rs = store::DatasInfo().GetDetailNormalFunc(group);
    for (; rs && !rs->isEOF(); rs->MoveNext()) rows.push_back(NormalRowOfList(*rs));
    return rows;
  }
  void restore(int32_t group, const std::vector<NormalRow>& rows) {
    bool filled = false;
    update::DatasUpdate().ReplaceNormalList(group, NormalListSaveData(rows, filled));
  }
};

// "id:help:show" of the rows, with one field of row (from 1) replaced.
std::vector<std::string> withField(std::vector<std::string> rows, size_t row, int field, const std::string& text) {
  std::string& r = rows[row - 1];
  const auto c1 = r.find(':'), c2 = r.find(':', c1 + 1);
  if (field == 2) r = r.substr(0, c1 + 1) + text + r.substr(c2);
  else r = r.substr(0, c2 + 1) + text;
  return rows;
}

TEST_F(TwoWindowsTest, TheLaterSaveKeepsTheEarlierOnesWorkAndAsksAboutTheFieldBothChanged) {
  std::vector<NormalRow> original;
  for (const bool keepMine : {true, false}) {
    SCOPED_TRACE(keepMine ? "keep mine" : "take theirs");
    login(kZhang);
    auto& first = openEditor();
    if (original.empty()) original = listRowsOf(first.currentGroupId());
    dlgSetNormal second;
    second.Load();
    second.show();
    const int32_t group = first.currentGroupId();
    ASSERT_EQ(second.currentGroupId(), group);
    const auto read = storedList(group);
    ASSERT_EQ(read.size(), 4u);

    // The first window: row 1's help code, row 2's show name; saved.
    first.vaNormal->userTypeText(2, 1, "A1");
    first.vaNormal->userTypeText(3, 2, "甲的名称");
    messages->answers = {true};
    first.Bar->ClickTool("SetProps");
    ASSERT_FALSE(first.Modified()) << shownMessages();

    // The second, opened before that save: row 1's help code too, row 3's, and row 4 out.
    second.vaNormal->userTypeText(2, 1, "B1");
    second.vaNormal->userTypeText(2, 3, "C3");
    second.vaNormal->SetActiveCell(1, 4);
    second.RemoveActiveRow();
    messages->calls.clear();
    messages->answers = {true, keepMine};
    second.Bar->ClickTool("SetProps");

    const auto questions = messages->questions();
    ASSERT_EQ(questions.size(), 2u) << shownMessages();
    EXPECT_NE(questions[1].find("“A1”"), std::string::npos) << questions[1];
    EXPECT_NE(questions[1].find("“B1”"), std::string::npos) << questions[1];
    EXPECT_TRUE(messages->warnings().empty()) << shownMessages();
    auto expected = withField(withField(withField(read, 1, 2, keepMine ? "B1" : "A1"), 2, 3, "甲的名称"), 3, 2, "C3");
    expected.pop_back();
    EXPECT_EQ(storedList(group), expected);
    EXPECT_FALSE(second.Modified());
    std::vector<std::string> shown;
    for (int row = 1; row <= second.vaNormal->MaxRows(); ++row)
      shown.push_back(std::to_string(second.vaNormal->RowItemData(row)) + ":" + second.vaNormal->Text(2, row) + ":" +
                      second.vaNormal->Text(3, row));
    EXPECT_EQ(shown, expected) << "the second window shows the list as stored";

    second.Unload();
    first.Unload();
    restore(group, original);
  }
}

TEST_F(TwoWindowsTest, AGroupChangedInAnotherWindowIsNeitherRenamedOverNorDeletedUnasked) {
  login(kZhang);
  update::DatasUpdate().AddNormalFuncGroup("空组");
  auto& ed = openEditor();
  const std::string group = storedGroups().back();
  const int32_t id = std::stoi(group);
  widgets::TreeNode node = ed.tvGroup->Find("Top" + std::to_string(id));
  ASSERT_TRUE(node);
  const std::string listed = node.Text();
  auto renameElsewhere = [&](const std::string& name) { update::DatasUpdate().UpdateNormalFuncGroup(id, name); };

  renameElsewhere("甲");
  messages->answers = {true, false};  // save the new label: Yes; keep mine: No
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, "乙"));
  ASSERT_EQ(messages->questions().size(), 2u) << shownMessages();
  EXPECT_NE(messages->questions()[1].find("“甲”"), std::string::npos) << messages->questions()[1];
  EXPECT_EQ(node.Text(), "甲");
  EXPECT_EQ(storedGroups().back(), std::to_string(id) + ":甲");

  renameElsewhere("丙");
  messages->answers = {true, true};  // keep mine: Yes
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, "丁"));
  EXPECT_EQ(node.Text(), "丁");
  EXPECT_EQ(storedGroups().back(), std::to_string(id) + ":丁");
  EXPECT_NE(listed, "丁");

  // The group looks empty here, but another window has put a function in it.
  ed.tvGroup->simulateClick(node);
  ASSERT_EQ(ed.vaNormal->MaxRows(), 0);
  update::DatasUpdate().AppendNormalItem(functionsOf(10101).front(), "", "", "", platform::Variant(id));
  messages->calls.clear();
  messages->answers = {true};
  focusTree();
  ed.Bar->ClickTool("Delete");
  EXPECT_EQ(messages->informations(), std::vector<std::string>{"该组下存在明细功能，无法删除!"}) << shownMessages();
  EXPECT_EQ(storedGroups().back(), std::to_string(id) + ":丁");
}

TEST_F(TwoWindowsTest, ASaveFailingBelowTheWindowKeepsTheEditsAndSavingAgainStoresThem) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  const auto stored = storedList(group);
  ed.vaNormal->userTypeText(2, 2, "QQ");
  ed.vaNormal->SetActiveCell(1, 1);
  ed.RemoveActiveRow();
  const auto edited = gridRows();
  int failures = 0;
  erp::middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method == "ReplaceNormalList" && point == "row") {
      ++failures;
      throw platform::AutomationError(999, "ZelWayfind.DatasUpdate", "磁盘已满");
    }
  });
  // Picking the other group: save Yes, fails; then closing: save Yes, fails again.
  messages->answers = {true, true};
  ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(2));
  EXPECT_FALSE(ed.Unload()) << "the close is cancelled";
  erp::middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(failures, 2);
  EXPECT_EQ(messages->warnings(), std::vector<std::string>(2, "在进行数据操作时发生错误: 磁盘已满\n\n错误号: 999"));
  EXPECT_TRUE(ed.isLoaded());
  EXPECT_TRUE(ed.Modified());
  EXPECT_EQ(ed.currentGroupId(), group);
  EXPECT_EQ(ed.tvGroup->SelectedItem().Key(), "Top" + std::to_string(group));
  EXPECT_EQ(gridRows(), edited);
  EXPECT_TRUE(ed.Bar->ToolEnabled("SetProps"));
  EXPECT_EQ(storedList(group), stored);

  messages->answers = {true};
  ed.Bar->ClickTool("SetProps");
  EXPECT_FALSE(ed.Modified()) << shownMessages();
  EXPECT_EQ(storedList(group), edited);
  EXPECT_TRUE(ed.Unload());
}

}  // namespace
}  // namespace wayfind::favourites::testing
