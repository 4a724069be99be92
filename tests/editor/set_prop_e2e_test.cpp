// The main-console editor end to end on the embedded ERP: changes made in the
// editor, then read back by the wayfind program in a new process on the same
// database, as the host would see them at its next start.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include "dialogs/dlg_add_item.h"
#include "dialogs/frm_select_user.h"
#include "editor/set_prop_fixture.h"
#include "widgets/file_chooser.h"

namespace wayfind::editortests {
namespace {

namespace fs = std::filesystem;

class SetPropEndToEnd : public SetPropTest {
 protected:
  // `wayfind --user <user> tree [--all]` in a process of its own; its output.
  std::string tree(int32_t user, bool all = false) {
    const fs::path out = folder / "tree.txt";
    const std::string cmd = "WAYFIND_DB='" + database.string() + "' WAYFIND_CACHE_DIR='" +
                            (folder / ("cli-cache-" + std::to_string(user))).string() + "' '" WAYFIND_EXE
                            "' --user " + std::to_string(user) + " tree" + (all ? " --all" : "") + " >'" +
                            out.string() + "' 2>>'" + (folder / "cli-errors.txt").string() + "' </dev/null";
    const int raw = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << cmd;
    std::ifstream in(out);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  static bool has(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos || text.find(line + "  ") != std::string::npos;
  }

  // The tree without identifiers: imported custom items get identifiers of their own.
  static std::string shape(const std::string& tree) {
    std::string out;
    size_t start = 0;
    while (start < tree.size()) {
      size_t end = tree.find('\n', start);
      if (end == std::string::npos) end = tree.size();
      std::string line = tree.substr(start, end - start);
      const size_t level = line.find_first_not_of(' ');
      const size_t idStart = line.find(' ', level);
      const size_t idEnd = line.find("  ", idStart);
      if (level != std::string::npos && idStart != std::string::npos && idEnd != std::string::npos)
        line = line.substr(0, idStart) + line.substr(idEnd);
      out += line + "\n";
      start = end + 1;
    }
    return out;
  }
};

TEST_F(SetPropEndToEnd, EditsMadeInTheEditorShowInTheNextProgramsTree) {
  auto& f = open();
  show("Top1", "Sys101");
  auto& outline = *f.vaOutlineProp();
  // Rename a sub-function.
  ASSERT_EQ(outline.RowItemData(1), 10101);
  ASSERT_TRUE(outline.userTypeText(1, 1, "凭证（新名）"));
  ASSERT_TRUE(clickTool("SetProps"));

  // Hide a detail function and change another's help code; leaving the node saves.
  showDetails("Sub10101");
  auto& detail = *f.vaDetailProp();
  const int32_t hidden = detail.RowItemData(2), recoded = detail.RowItemData(1);
  const std::string hiddenName = detail.Text(1, 2);
  ASSERT_TRUE(detail.userSetValue(3, 2, 0));
  ASSERT_TRUE(detail.userTypeText(2, 1, "XINMA"));
  messages->answers = {true};
  click("Sys102");
  ASSERT_EQ(messages->questions().size(), 1u);

  // Move the first sub-function of receivables one place down.
  const int32_t first = outline.RowItemData(1), second = outline.RowItemData(2);
  outline.userClick(1, 1);
  ASSERT_TRUE(clickTool("MoveDown"));
  ASSERT_TRUE(clickTool("SetProps"));

  // Create a custom sub-function, and a second one that is deleted again.
  auto create = [&](const std::string& name) {
    modal().push("dlgAddItem", [name](QDialog& d) {
      auto& dlg = static_cast<dialogs::dlgAddItem&>(d);
      dlg.txtName->setText(QString::fromStdString(name));
      dlg.btnOk_Click();
    });
    EXPECT_TRUE(clickTool("New"));
    return outline.RowItemData(outline.MaxRows());
  };
  const int32_t kept = create("留下的自定义功能");
  const int32_t dropped = create("删掉的自定义功能");
  ASSERT_NE(kept, dropped);
  outline.userClick(1, rowOf(outline, dropped));
  messages->answers = {true};
  ASSERT_TRUE(clickTool("Delete"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  ASSERT_TRUE(clickTool("Close"));
  EXPECT_EQ(messages->count(erp::client::ScriptedMessageService::Kind::Error), 0);

  const std::string t = tree(currentUser);
  const std::string all = tree(currentUser, true);
  EXPECT_TRUE(has(t, "    Sub 10101  凭证（新名）")) << t;
  EXPECT_FALSE(has(t, "      Det " + std::to_string(hidden) + "  " + hiddenName)) << "hidden";
  EXPECT_TRUE(has(all, "      Det " + std::to_string(hidden) + "  " + hiddenName)) << "hidden, not deleted";
  EXPECT_NE(t.find("Det " + std::to_string(recoded) + "  "), std::string::npos);
  EXPECT_NE(t.find("[XINMA]"), std::string::npos);
  const size_t firstAt = t.find("    Sub " + std::to_string(first) + "  ");
  const size_t secondAt = t.find("    Sub " + std::to_string(second) + "  ");
  ASSERT_NE(firstAt, std::string::npos);
  ASSERT_NE(secondAt, std::string::npos);
  EXPECT_LT(secondAt, firstAt) << "moved down";
  EXPECT_TRUE(has(t, "    Sub " + std::to_string(kept) + "  留下的自定义功能"));
  EXPECT_EQ(t.find("删掉的自定义功能"), std::string::npos);
}

TEST_F(SetPropEndToEnd, ATemplateExportedByOneUserIsImportedByAnother) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "王芳的凭证"));
  ASSERT_TRUE(clickTool("SetProps"));
  const fs::path file = folder / "wangfang.dat";
  {
    widgets::ScopedFileChoices files({file.string()});
    ASSERT_TRUE(clickTool("Export"));
  }
  ASSERT_TRUE(fs::exists(file));
  ASSERT_TRUE(clickTool("Close"));

  login(16385);
  open();
  {
    widgets::ScopedFileChoices files({file.string()});
    messages->answers = {true};
    ASSERT_TRUE(clickTool("Import"));
  }
  EXPECT_EQ(messages->informations().size(), 1u);
  ASSERT_TRUE(clickTool("Close"));
  const std::string mine = tree(currentUser), theirs = tree(16385);
  EXPECT_TRUE(has(theirs, "    Sub 10101  王芳的凭证")) << theirs;
  EXPECT_EQ(shape(theirs), shape(mine));
}

TEST_F(SetPropEndToEnd, AnAdministratorAppliesTheSettingsToChosenUsers) {
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "统一的凭证"));
  modal().push("frmSelectUser", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::frmSelectUser&>(d);
    dlg.chkAll->setChecked(false);  // ticked when shown: clearing it frees the tree
    dlg.chkAll_Click();
    for (const char* key : {"U16391,2", "U16392,2"}) {
      dlg.tvUserGroup->simulateExpand(dlg.tvUserGroup->Node("G2"));
      dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node(key), true);
    }
    dlg.cmdOk_Click();
  });
  ASSERT_TRUE(clickTool("mnuAllUser"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  for (int32_t user : {16391, 16392}) EXPECT_TRUE(has(tree(user), "    Sub 10101  统一的凭证")) << user;
  EXPECT_FALSE(has(tree(16386), "    Sub 10101  统一的凭证"));
}

TEST_F(SetPropEndToEnd, ApplyingToOneChosenUserLeavesEveryOtherUserAsTheyWere) {
  const int32_t chosen = 16387;  // 刘洋
  const std::vector<int32_t> others{16384, 16385, 16386, 16389, 16390, 16391, 16392, 16393, 16394};
  std::map<int32_t, std::string> before;
  for (int32_t user : others) before[user] = tree(user, true);
  auto& f = open();
  show("Top1", "Sys101");
  ASSERT_TRUE(f.vaOutlineProp()->userTypeText(1, 1, "刘洋的凭证"));
  modal().push("frmSelectUser", [chosen](QDialog& d) {
    auto& dlg = static_cast<dialogs::frmSelectUser&>(d);
    dlg.chkAll->setChecked(false);
    dlg.chkAll_Click();
    const std::string key = "U" + std::to_string(chosen) + ",4";
    dlg.tvUserGroup->simulateExpand(dlg.tvUserGroup->Node("G4"));
    dlg.tvUserGroup->simulateCheck(dlg.tvUserGroup->Node(key), true);
    dlg.cmdOk_Click();
  });
  ASSERT_TRUE(clickTool("mnuAllUser"));
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  EXPECT_TRUE(has(tree(chosen), "    Sub 10101  刘洋的凭证"));
  for (int32_t user : others) EXPECT_EQ(tree(user, true), before[user]) << user;
}

TEST_F(SetPropEndToEnd, AnEditChangesTheRowAtThePlaceShown) {
  // 张伟 keeps 销售订单录入 (2020201) in his folder 我的单据 and has no row of
  // his own at its template place, where the editor shows it.
  login(16385);
  currentUser = 16385;
  auto& f = open();
  showDetails("Sub20202");
  auto& detail = *f.vaDetailProp();
  const int row = rowOf(detail, 2020201);
  ASSERT_TRUE(detail.userTypeText(2, row, "XSDD2"));
  ASSERT_TRUE(clickTool("SetProps"));
  EXPECT_TRUE(messages->questions().empty()) << "nobody else changed it";
  EXPECT_EQ(detail.Text(2, row), "XSDD2");
  ASSERT_TRUE(clickTool("Close"));
  EXPECT_EQ(detailHelpCode(20202, 2020201), "XSDD2");
  EXPECT_EQ(detailHelpCode(750103, 2020201), "XSDDLR");
}

TEST_F(SetPropEndToEnd, AHelpCodeChangedInEnglishLeavesTheChineseNames) {
  login(16385, "en");
  currentUser = 16385;
  auto& f = open();
  show("Top1", "Sys101");
  showDetails("Sub10102");
  auto& detail = *f.vaDetailProp();
  const int32_t id = detail.RowItemData(1);
  ASSERT_TRUE(detail.userTypeText(2, 1, "ZWMA"));
  ASSERT_TRUE(clickTool("SetProps"));
  ASSERT_TRUE(clickTool("Close"));
  const std::string chinese = tree(16385);
  const std::string line = "      Det " + std::to_string(id) + "  ";
  const size_t at = chinese.find(line);
  ASSERT_NE(at, std::string::npos) << chinese;
  const std::string shown = chinese.substr(at, chinese.find('\n', at) - at);
  EXPECT_NE(shown.find("[ZWMA]"), std::string::npos) << shown;
  // No Latin letter in the name: it is the Chinese one, not the English the editor showed.
  const std::string name = shown.substr(line.size(), shown.find("  [") - line.size());
  EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }))
      << shown;
  const fs::path out = folder / "search.txt";
  const std::string cmd = "WAYFIND_DB='" + database.string() + "' WAYFIND_CACHE_DIR='" + (folder / "search-cache").string() +
                          "' '" WAYFIND_EXE "' --user 16385 search ZWMA >'" + out.string() + "' 2>&1 </dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  const std::string found{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(found.find(name), std::string::npos) << found;
}

}  // namespace
}  // namespace wayfind::editortests
