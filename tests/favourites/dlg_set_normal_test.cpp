// The favourites editor as a whole: groups, the toolbar, saving when switching
// groups, renaming, closing.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "favourites_fixture.h"
#include "dialogs/dlg_add_item.h"
#include "erp/api/help.h"
#include "erp/api/progids.h"
#include "erp/client/help_viewer.h"
#include "platform/automation/registry.h"
#include "widgets/form_registry.h"
#include "widgets/toolbar.h"

namespace wayfind::favourites::testing {
namespace {

using Kind = erp::client::ScriptedMessageService::Kind;
using windowtests::join;

class EditorTest : public FavouritesTest {};

TEST_F(EditorTest, WithoutGroupsNewOpensTheGroupDialogWhateverHasTheFocus) {
  login(kLiu);
  auto& ed = openEditor();
  EXPECT_EQ(ed.tvGroup->Count(), 0);
  EXPECT_EQ(ed.vaNormal->MaxRows(), 0);
  focusGrid();
  modal().push("dlgAddItem", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::dlgAddItem&>(d);
    EXPECT_EQ(dlg.curLevel, "Grp1");
    dlg.txtName->setText("日常");
    dlg.btnOk->click();
  });
  EXPECT_TRUE(ed.Bar->ClickTool("New"));
  EXPECT_TRUE(modal().done()) << join(modal().failures()) << shownMessages();
  ASSERT_EQ(ed.tvGroup->Count(), 1);
  EXPECT_EQ(ed.tvGroup->NodeAt(1).Text(), "日常");
  EXPECT_EQ(ed.currentGroupId(), firstGroup());
  EXPECT_TRUE(shownCalls().empty()) << shownMessages();
}

TEST_F(EditorTest, AGroupWithFunctionsIsKeptUntilItsListIsEmptiedAndApplied) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  ASSERT_EQ(ed.vaNormal->MaxRows(), 4);
  focusTree();
  messages->answers = {true};
  ed.Bar->ClickTool("Delete");
  EXPECT_EQ(messages->informations(), std::vector<std::string>{"该组下存在明细功能，无法删除!"});
  EXPECT_EQ(storedGroups().size(), 2u);

  // Emptied with "<<" and the toolbar's Delete on the grid, then applied.
  focusGrid();
  ed.vaNormal->SetActiveCell(1, 1);
  ed.btnDel->click();
  messages->answers = {true, true, true, true};
  ed.vaNormal->SetActiveCell(1, 1);
  ed.Bar->ClickTool("Delete");
  ed.vaNormal->SetActiveCell(1, 2);
  ed.btnDel->click();
  ed.vaNormal->SetActiveCell(1, 1);
  ed.btnDel->click();
  EXPECT_EQ(ed.vaNormal->MaxRows(), 0);
  EXPECT_FALSE(ed.btnDel->isEnabled());
  EXPECT_TRUE(ed.m_bDirty);
  ed.Bar->ClickTool("SetProps");
  EXPECT_EQ(storedList(group), std::vector<std::string>{});

  focusTree();
  ed.Bar->ClickTool("Delete");
  EXPECT_EQ(storedGroups().size(), 1u);
  ASSERT_EQ(ed.tvGroup->Count(), 1);
  EXPECT_EQ(ed.tvGroup->NodeAt(1).Text(), "月末工作");
  EXPECT_TRUE(ed.Bar->ToolEnabled("Delete"));
  EXPECT_EQ(messages->informations().size(), 1u);
}

TEST_F(EditorTest, ClickingTheSelectedGroupSavesAfterAskingAndReloadsIt) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 2, "我的凭证"));
  EXPECT_TRUE(ed.m_bDirty);
  messages->answers = {true};
  ed.tvGroup->simulateClick(ed.tvGroup->SelectedItem());
  EXPECT_EQ(messages->questions(), std::vector<std::string>{"您刚才对常用功能属性进行了修改，是否保存？"});
  EXPECT_FALSE(ed.m_bDirty);
  EXPECT_EQ(ed.currentGroupId(), group);
  EXPECT_EQ(storedList(group), gridRows());
  EXPECT_EQ(ed.vaNormal->Text(3, 2), "我的凭证");
}

TEST_F(EditorTest, AnsweringNoDiscardsTheEditsAndShowsTheStoredList) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  const auto stored = storedList(group);
  ASSERT_TRUE(ed.vaNormal->userTypeText(2, 1, "XX"));
  messages->answers = {false};
  ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(2));
  EXPECT_EQ(storedList(group), stored);
  EXPECT_NE(ed.currentGroupId(), group);
  // Back on the first group: its stored list.
  ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(1));
  EXPECT_EQ(gridRows(), stored);
  EXPECT_EQ(messages->questions().size(), 1u);
}

TEST_F(EditorTest, AGroupNameOfFiftyCharactersIsTakenAndOfFiftyOneRefused) {
  login(kZhang);
  auto& ed = openEditor();
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "组";
  auto node = ed.tvGroup->NodeAt(1);
  messages->answers = {true};
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, fifty));
  EXPECT_EQ(node.Text(), fifty);
  EXPECT_EQ(storedGroups()[0], std::to_string(ed.currentGroupId()) + ":" + fifty);

  EXPECT_FALSE(ed.tvGroup->simulateLabelEdit(node, fifty + "X"));
  EXPECT_EQ(node.Text(), fifty);
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"项目名称超过了50个字符，请重新输入。"});
  EXPECT_EQ(storedGroups()[0], std::to_string(ed.currentGroupId()) + ":" + fifty);

  // No to the question keeps the old label; a name the server refuses (the other
  // group's) is reported and not shown.
  messages->answers = {false, true};
  EXPECT_FALSE(ed.tvGroup->simulateLabelEdit(node, "新名"));
  EXPECT_FALSE(ed.tvGroup->simulateLabelEdit(node, "月末工作"));
  EXPECT_EQ(node.Text(), fifty);
  EXPECT_EQ(messages->count(Kind::Error), 1);
}

TEST_F(EditorTest, ClosingWithAListThatFailsItsChecksStaysOpenWithTheEdits) {
  login(kZhang);
  auto& ed = openEditor();
  const auto stored = storedList(ed.currentGroupId());
  ASSERT_TRUE(ed.vaNormal->userTypeText(2, 3, "a'b"));
  const auto edited = gridRows();
  messages->answers = {true};
  EXPECT_FALSE(ed.Unload());
  EXPECT_TRUE(ed.isLoaded());
  ASSERT_EQ(messages->warnings().size(), 1u);
  EXPECT_EQ(messages->warnings()[0], "功能项 [" + ed.vaNormal->Text(1, 3) + "] 的助记码含有非法字符(如单引号)！");
  EXPECT_EQ(gridRows(), edited);
  EXPECT_TRUE(ed.Modified());
  // Closing again asks again; No closes and leaves the stored list as it was.
  messages->answers = {false};
  EXPECT_TRUE(ed.Unload());
  EXPECT_EQ(messages->questions().size(), 2u);
  EXPECT_EQ(storedList(firstGroup()), stored);
}

TEST_F(EditorTest, RefreshSavesFirstAndF1ShowsTheEditorsHelp) {
  login(kZhang);
  auto& ed = openEditor();
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 1, "凭证"));
  messages->answers = {true};
  ed.Bar->ClickTool("Refresh");
  EXPECT_EQ(storedList(firstGroup())[0].substr(storedList(firstGroup())[0].rfind(':')), ":凭证");
  EXPECT_FALSE(ed.Modified());
  int32_t shown = 0;
  // The topic as the help viewer hands it to the windows' presenter.
  struct Recorder : erp::api::IHelpPresenter {
    int32_t* shown = nullptr;
    void Present(const erp::api::HelpTopic& t) override { *shown = t.helpContext; }
  };
  platform::ScopedRegistration presenter(erp::progid::kHelpPresenter, [&] {
    auto r = std::make_shared<Recorder>();
    r->shown = &shown;
    return r;
  });
  QTest::keyClick(ed.tvGroup, Qt::Key_F2);
  EXPECT_EQ(shown, 0);
  QTest::keyClick(ed.tvGroup, Qt::Key_F1);
  EXPECT_EQ(shown, 520014);
}

TEST_F(EditorTest, PropertySettingsOpensTheMainConsoleEditorByName) {
  if (!widgets::forms().contains("dlgSetProp")) GTEST_SKIP() << "the main-console editor is not registered";
  login(kZhang);
  auto& ed = openEditor();
  modal().push("dlgSetProp", [](QDialog& d) { d.reject(); });
  ed.Command1->click();
  EXPECT_TRUE(modal().done()) << join(modal().failures()) << shownMessages();
  EXPECT_FALSE(widgets::forms().form("dlgSetProp")->isLoaded());
  EXPECT_TRUE(shownCalls().empty()) << shownMessages();
}

}  // namespace
}  // namespace wayfind::favourites::testing
