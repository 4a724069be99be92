// The all-functions picker over the editor's list.
#include <QPushButton>
#include <QTest>

#include "erp/storage/connection.h"
#include "favourites_fixture.h"
#include "store/data_info.h"
#include "widgets/form_registry.h"

namespace wayfind::favourites::testing {
namespace {

using windowtests::join;

class PickerTest : public FavouritesTest {
 protected:
  frmAllFunc& picker() { return widgets::forms().instance<frmAllFunc>(); }

  // Opens the picker on the editor's grid and runs script while it is open; the
  // picker is closed afterwards as the user would close it.
  void withPicker(const std::function<void(frmAllFunc&)>& script) {
    modal().push("frmAllFunc", [&](QDialog&) {
      script(picker());
      picker().btnCancel->click();
    });
    picker().ShowMe(editor().vaNormal);
    EXPECT_TRUE(modal().done()) << join(modal().failures()) << shownMessages();
  }

  // Expands the path of keys from a top class down, as the user would.
  widgets::TreeNode expandPath(frmAllFunc& p, const std::vector<std::string>& keys) {
    widgets::TreeNode node;
    for (const auto& key : keys) {
      node = p.tvFunc->Node(key);
      p.tvFunc->simulateExpand(node);
    }
    return node;
  }

  // The user's double click: the first click selects the node.
  static void doubleClick(frmAllFunc& p, const widgets::TreeNode& node) {
    p.tvFunc->scrollToItem(node.item());
    const QPoint at = p.tvFunc->visualItemRect(node.item()).center();
    QTest::mouseClick(p.tvFunc->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(p.tvFunc->viewport(), Qt::LeftButton, {}, at);
  }
};

TEST_F(PickerTest, TheFavouritesOwnClassIsNotOfferedAndLevelsLoadOnce) {
  login(kZhang);
  openEditor();
  withPicker([&](frmAllFunc& p) {
    EXPECT_EQ(p.tvFunc->Find("Top7"), widgets::TreeNode());  // "我的T/8"
    ASSERT_TRUE(p.tvFunc->Exists("Top1"));
    EXPECT_TRUE(p.tvFunc->Node("Top1").Child().IsPlaceholder());
    auto sub = expandPath(p, {"Top1", "Sys101", "Sub10101"});
    const int children = sub.Children();
    EXPECT_EQ(children, static_cast<int>(functionsOf(10101).size()));
    EXPECT_EQ(sub.Child().Image(), "Acct");
    const int before = p.tvFunc->Count();
    p.tvFunc->simulateCollapse(p.tvFunc->Node("Sys101"));
    p.tvFunc->simulateExpand(p.tvFunc->Node("Sys101"));
    p.tvFunc->simulateExpand(sub);
    EXPECT_EQ(p.tvFunc->Count(), before);
    EXPECT_EQ(sub.Children(), children);
    // Only a detail function can be picked.
    p.tvFunc->simulateClick(sub);
    EXPECT_FALSE(p.btnOk->isEnabled());
    p.tvFunc->simulateClick(sub.Child());
    EXPECT_TRUE(p.btnOk->isEnabled());
  });
  EXPECT_TRUE(shownCalls().empty()) << shownMessages();

  // A level whose read fails can be opened again once the database answers.
  withPicker([&](frmAllFunc& p) {
    expandPath(p, {"Top1", "Sys101"});
    auto sub = p.tvFunc->Node("Sub10101");
    store::DataInfo::instance().reset();
    erp::storage::setStatementObserverForTesting([](const std::string&) {
      throw platform::AutomationError(platform::err::kInvalidProcedureCall, "test", "数据库暂时不可用");
    });
    p.tvFunc->simulateExpand(sub);
    erp::storage::setStatementObserverForTesting({});
    EXPECT_EQ(shownCalls().size(), 1u) << shownMessages();
    EXPECT_TRUE(sub.Child().IsPlaceholder());
    p.tvFunc->simulateExpand(sub);
    EXPECT_EQ(sub.Children(), static_cast<int>(functionsOf(10101).size()));
  });
}

TEST_F(PickerTest, DoubleClickAddsAFunctionOnceAndMarksTheEditorChangedEitherWay) {
  login(kZhang);
  auto& ed = openEditor();
  const int rows = ed.vaNormal->MaxRows();
  const int32_t listed = ed.vaNormal->RowItemData(1);
  focusGrid();
  modal().push("frmAllFunc", [&](QDialog&) {
    auto& p = picker();
    // Only the list takes part while the picker is open.
    EXPECT_FALSE(ed.Bar->isEnabled());
    EXPECT_FALSE(ed.tvGroup->isEnabled());
    EXPECT_FALSE(ed.btnCancel->isEnabled());
    EXPECT_TRUE(ed.vaNormal->isEnabled());
    auto sub = expandPath(p, {"Top1", "Sys101", "Sub10101"});
    auto node = p.tvFunc->Node("Det" + std::to_string(listed));
    doubleClick(p, node);
    EXPECT_EQ(ed.vaNormal->MaxRows(), rows);
    EXPECT_TRUE(ed.m_bDirty);
    for (auto n : sub.childNodes()) {
      if (ed.IsInList(detailFuncIdOfKey(n.Key()))) continue;
      doubleClick(p, n);
      ASSERT_EQ(ed.vaNormal->MaxRows(), rows + 1);
      EXPECT_EQ(ed.vaNormal->RowItemData(rows + 1), detailFuncIdOfKey(n.Key()));
      EXPECT_EQ(ed.vaNormal->Text(1, rows + 1), n.Text());
      break;
    }
    p.btnCancel->click();
  });
  ed.Bar->ClickTool("New");
  EXPECT_TRUE(modal().done()) << join(modal().failures()) << shownMessages();
  EXPECT_TRUE(ed.Bar->isEnabled());
  EXPECT_TRUE(ed.tvGroup->isEnabled());
}

TEST_F(PickerTest, ChooseAddsTheSelectedFunctionOnlyAfterAMouseDownOnANode) {
  login(kZhang);
  auto& ed = openEditor();
  const int rows = ed.vaNormal->MaxRows();
  withPicker([&](frmAllFunc& p) {
    auto sub = expandPath(p, {"Top1", "Sys101", "Sub10101"});
    std::vector<widgets::TreeNode> unlisted;
    for (auto n : sub.childNodes())
      if (!ed.IsInList(detailFuncIdOfKey(n.Key()))) unlisted.push_back(n);
    ASSERT_GE(unlisted.size(), 2u);
    const widgets::TreeNode fresh = unlisted[0];
    // Selected by no gesture of the user's (no mouse-down, no key in the tree): nothing.
    p.tvFunc->SetSelectedItem(fresh);
    p.NodeClick(fresh);
    p.btnOk->click();
    EXPECT_EQ(ed.vaNormal->MaxRows(), rows);
    // A click on the node, then "选中".
    QTest::mouseClick(p.tvFunc->viewport(), Qt::LeftButton, {}, p.tvFunc->visualItemRect(fresh.item()).center());
    p.btnOk->click();
    EXPECT_EQ(ed.vaNormal->MaxRows(), rows + 1);
    // A click on another, then Enter.
    QTest::mouseClick(p.tvFunc->viewport(), Qt::LeftButton, {}, p.tvFunc->visualItemRect(unlisted[1].item()).center());
    QTest::keyClick(p.tvFunc, Qt::Key_Return);
    EXPECT_EQ(ed.vaNormal->MaxRows(), rows + 2);
  });
}

TEST_F(PickerTest, WithTheKeysAloneAFunctionIsFoundAndAddedByEnterOrChoose) {
  login(kZhang);
  auto& ed = openEditor();
  const int rows = ed.vaNormal->MaxRows();
  withPicker([&](frmAllFunc& p) {
    p.tvFunc->SetSelectedItem(p.tvFunc->Node("Top1"));
    p.tvFunc->setFocus();
    // Open each level with Right and step into it with Down, down to a function.
    for (int level = 0; level < 3; ++level) {
      QTest::keyClick(p.tvFunc, Qt::Key_Right);
      QTest::keyClick(p.tvFunc, Qt::Key_Down);
    }
    auto current = [&] { return p.tvFunc->SelectedItem(); };
    ASSERT_EQ(current().Key().substr(0, 3), "Det");
    while (ed.IsInList(detailFuncIdOfKey(current().Key())) && current().Next())
      QTest::keyClick(p.tvFunc, Qt::Key_Down);
    ASSERT_FALSE(ed.IsInList(detailFuncIdOfKey(current().Key())));
    EXPECT_TRUE(p.btnOk->isEnabled());
    QTest::keyClick(p.tvFunc, Qt::Key_Return);
    EXPECT_EQ(ed.vaNormal->MaxRows(), rows + 1);
    // The next one down, with "选中" pressed from the keyboard.
    ASSERT_TRUE(current().Next());
    QTest::keyClick(p.tvFunc, Qt::Key_Down);
    if (!ed.IsInList(detailFuncIdOfKey(current().Key()))) {
      p.btnOk->setFocus();
      QTest::keyClick(p.btnOk, Qt::Key_Space);
      EXPECT_EQ(ed.vaNormal->MaxRows(), rows + 2);
    }
  });
  EXPECT_TRUE(ed.Modified());
}

}  // namespace
}  // namespace wayfind::favourites::testing
