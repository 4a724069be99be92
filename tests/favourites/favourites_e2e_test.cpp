// End to end: a group made and filled in the editor is what the program lists
// for the user in a process of its own.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

#include "dialogs/dlg_add_item.h"
#include "erp/storage/database.h"
#include "favourites_fixture.h"
#include "widgets/form_registry.h"
#include "widgets/toolbar.h"

namespace wayfind::favourites::testing {
namespace {

using windowtests::join;

class FavouritesEndToEnd : public FavouritesTest {
 protected:
  std::string wayfindFavourites(int32_t userId) {
    erp::storage::releaseThreadConnections();
    const auto out = folder / "favourites.txt";
    const std::string cmd = "'" WAYFIND_EXE "' favourites --db '" + database.string() + "' --cache-dir '" +
                            (folder / "e2e-cache").string() + "' --user " + std::to_string(userId) + " >'" +
                            out.string() + "' 2>&1 </dev/null";
    const int raw = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << cmd;
    std::ifstream in(out);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(FavouritesEndToEnd, AGroupMadeFilledReorderedSavedAndRenamedIsWhatTheProgramLists) {
  login(kLiu);
  auto& ed = openEditor();
  ASSERT_EQ(ed.tvGroup->Count(), 0);

  // A new group.
  modal().push("dlgAddItem", [](QDialog& d) {
    auto& dlg = static_cast<dialogs::dlgAddItem&>(d);
    dlg.txtName->setText("日常");
    dlg.btnOk->click();
  });
  ed.Bar->ClickTool("New");
  ASSERT_EQ(ed.tvGroup->Count(), 1);

  // Filled from the picker: three functions by double click.
  std::vector<int32_t> picked;
  focusGrid();
  modal().push("frmAllFunc", [&](QDialog&) {
    auto& p = widgets::forms().instance<frmAllFunc>();
    for (const char* key : {"Top1", "Sys101", "Sub10101"}) p.tvFunc->simulateExpand(p.tvFunc->Node(key));
    for (auto node : p.tvFunc->Node("Sub10101").childNodes()) {
      if (picked.size() == 3) break;
      p.tvFunc->scrollToItem(node.item());
      const QPoint at = p.tvFunc->visualItemRect(node.item()).center();
      QTest::mouseClick(p.tvFunc->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(p.tvFunc->viewport(), Qt::LeftButton, {}, at);
      picked.push_back(detailFuncIdOfKey(node.Key()));
    }
    p.btnCancel->click();
  });
  ed.Bar->ClickTool("New");
  ASSERT_TRUE(modal().done()) << join(modal().failures()) << shownMessages();
  ASSERT_EQ(picked.size(), 3u);
  ASSERT_EQ(ed.vaNormal->MaxRows(), 3);

  // Reordered: the first function taken out and dragged back in at the end; a
  // help code and a show name of the user's own.
  ed.vaNormal->SetActiveCell(1, 1);
  ed.btnDel->click();
  drop("Det" + std::to_string(picked[0]));
  ASSERT_TRUE(ed.vaNormal->userTypeText(2, 1, "RC"));
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 2, "我的查询"));
  ASSERT_EQ(ed.vaNormal->RowItemData(3), picked[0]);

  // Saved, then renamed.
  messages->answers = {true, true};
  ed.Bar->ClickTool("SetProps");
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(ed.tvGroup->NodeAt(1), "每日工作"));
  std::string expected = "Group " + std::to_string(firstGroup()) + "  每日工作\n";
  for (int row = 1; row <= ed.vaNormal->MaxRows(); ++row) {
    const std::string help = ed.vaNormal->Text(2, row);
    expected += "  Det " + std::to_string(ed.vaNormal->RowItemData(row)) + "  " + ed.vaNormal->Text(3, row) +
                (help.empty() ? "" : "  [" + help + "]") + "\n";
  }
  EXPECT_TRUE(ed.Unload());
  EXPECT_TRUE(shownCalls().size() == 2u) << shownMessages();  // the two questions

  EXPECT_NE(expected.find("  Det " + std::to_string(picked[1]) + "  "), std::string::npos);
  EXPECT_NE(expected.find("  [RC]\n"), std::string::npos);
  EXPECT_NE(expected.find("  我的查询"), std::string::npos);
  EXPECT_EQ(wayfindFavourites(kLiu), expected);
}

}  // namespace
}  // namespace wayfind::favourites::testing
