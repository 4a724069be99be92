// The favourites editor never throws the user's work away: a list that fails its
// checks keeps its edits with the named row focused, New off the grid makes a
// group, the picker opens beside the editor, and a rename that changed nothing
// asks nothing.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dialogs/dlg_add_item.h"
#include "erp/api/progids.h"
#include "erp/storage/connection.h"
#include "platform/automation/registry.h"
#include "store/data_info.h"
#include "favourites_fixture.h"

namespace wayfind::favourites::testing {
namespace {

using windowtests::join;

class EditsKeptTest : public FavouritesTest {};

TEST_F(EditsKeptTest, AListFailingItsCheckKeepsItsEditsAndGroupAndFocusesTheNamedRow) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::string>> typed;  // (row, help code) or, for column 3, the show name
    int col;
    int expectRow, expectCol;
  };
  const Case cases[] = {
      {"a quote in a help code", {{3, "a'b"}}, 2, 3, 2},
      {"a quote in a show name", {{2, "x'y"}}, 3, 2, 3},
      {"a help code twice", {{1, "DUP"}, {4, " DUP"}}, 2, 4, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    login(kZhang);
    auto& ed = openEditor();
    const int32_t group = ed.currentGroupId();
    const auto stored = storedList(group);
    for (const auto& [row, text] : c.typed) ASSERT_TRUE(ed.vaNormal->userTypeText(c.col, row, text));
    const auto edited = gridRows();
    messages->calls.clear();
    messages->answers = {true};
    // The user picks the other group: the save is asked and fails its check.
    ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(2));
    EXPECT_EQ(messages->warnings().size(), 1u) << shownMessages();
    EXPECT_EQ(gridRows(), edited);
    EXPECT_TRUE(ed.Modified());
    EXPECT_EQ(ed.currentGroupId(), group);
    EXPECT_EQ(ed.tvGroup->SelectedItem().Key(), "Top" + std::to_string(group));
    EXPECT_EQ(ed.vaNormal->ActiveRow(), c.expectRow);
    EXPECT_EQ(ed.vaNormal->ActiveCol(), c.expectCol);
    EXPECT_EQ(ed.focusWidget(), ed.vaNormal);
    EXPECT_EQ(storedList(group), stored);
    // Mended, the list saves under its own group.
    ed.vaNormal->userTypeText(c.col, c.expectRow, "");
    messages->answers = {true};
    ed.Bar->ClickTool("SetProps");
    EXPECT_FALSE(ed.Modified()) << shownMessages();
    EXPECT_EQ(storedList(group), gridRows());
    ed.Unload();
  }
}

TEST_F(EditsKeptTest, NewWithNeitherTheTreeNorTheGridFocusedMakesAGroup) {
  login(kZhang);
  auto& ed = openEditor();
  ed.btnCancel->setFocus();
  modal().push("dlgAddItem", [](QDialog& d) {
    EXPECT_EQ(static_cast<dialogs::dlgAddItem&>(d).curLevel, "Grp1");
    d.reject();
  });
  EXPECT_TRUE(ed.Bar->ClickTool("New"));
  EXPECT_TRUE(modal().done()) << join(modal().failures());
}

TEST_F(EditsKeptTest, ThePickerOpensBesideTheEditorNotOverItsList) {
  login(kZhang);
  auto& ed = openEditor();
  ed.setGeometry(20, 40, 300, 400);  // leaves the screen room on the right
  focusGrid();
  QRect picker;
  modal().push("frmAllFunc", [&](QDialog& d) {
    picker = d.frameGeometry();
    d.reject();
  });
  ed.Bar->ClickTool("New");
  ASSERT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_FALSE(picker.intersects(ed.frameGeometry())) << "picker at " << picker.x() << "," << picker.y();
  EXPECT_GT(picker.left(), ed.frameGeometry().right());
}

TEST_F(EditsKeptTest, ReadsThatFailLeaveTheListOnItsGroupAndThePickerToLoadAgain) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  const auto shown = gridRows();
  int32_t fresh = 0;
  for (int32_t id : functionsOf(10101))
    if (!ed.IsInList(id)) fresh = id;
  ASSERT_NE(fresh, 0);
  focusGrid();
  {
    // The database refuses every statement for a while.
    struct Down {
      Down() {
        store::DataInfo::instance().reset();
        erp::storage::setStatementObserverForTesting([](const std::string&) {
          throw platform::AutomationError(platform::err::kInvalidProcedureCall, "test", "数据库暂时不可用");
        });
      }
      ~Down() { erp::storage::setStatementObserverForTesting({}); }
    } down;
    ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(2));
    drop("Det" + std::to_string(fresh));  // reported, not thrown through Qt's drop
    ed.Bar->ClickTool("New");  // the picker cannot load
  }
  EXPECT_EQ(ed.currentGroupId(), group);
  EXPECT_EQ(ed.tvGroup->SelectedItem().Key(), "Top" + std::to_string(group));
  EXPECT_EQ(gridRows(), shown);
  EXPECT_EQ(shownCalls().size(), 3u) << shownMessages();
  // Working again, the picker loads its tree afresh.
  int topClasses = 0;
  modal().push("frmAllFunc", [&](QDialog& d) {
    topClasses = static_cast<frmAllFunc&>(d).tvFunc->Count();
    d.reject();
  });
  focusGrid();
  ed.Bar->ClickTool("New");
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_GT(topClasses, 0);

  // Refreshed, and opened again, while only the lists cannot be read: the list
  // stays with the group it was read from (or, newly opened, with none), so a
  // function added then and saved keeps the group's others.
  const auto stored = storedList(group);
  for (bool reopen : {false, true}) {
    SCOPED_TRACE(reopen ? "opened again" : "refreshed");
    messages->calls.clear();
    {
      store::DataInfo::instance().reset();
      erp::storage::setStatementObserverForTesting([](const std::string& sql) {
        if (sql.find("t_NavFuncGroupItem") != std::string::npos)
          throw platform::AutomationError(platform::err::kInvalidProcedureCall, "test", "列表暂时读不出");
      });
      if (reopen) {
        ed.Unload();
        openEditor();
      } else {
        ed.Bar->ClickTool("Refresh");
      }
      erp::storage::setStatementObserverForTesting({});
    }
    ASSERT_EQ(messages->warnings().size(), 1u) << shownMessages();
    EXPECT_NE(messages->warnings()[0].find("列表暂时读不出"), std::string::npos) << shownMessages();
    EXPECT_EQ(ed.currentGroupId(), reopen ? 0 : group);
    EXPECT_EQ(gridRows(), reopen ? std::vector<std::string>{} : shown);
    focusGrid();
    drop("Det" + std::to_string(fresh));
    messages->answers = {true};
    ed.Bar->ClickTool("SetProps");
    const auto after = storedList(group);
    for (const std::string& row : stored) EXPECT_NE(std::find(after.begin(), after.end(), row), after.end()) << row;
  }

  // A save whose following read fails, then the same row taken out again: the
  // window knows what it stored, so the removal is its own and goes through.
  // A declined save whose following read fails shows the list as read.
  messages->answers = {false};
  ed.tvGroup->simulateClick(ed.tvGroup->Find("Top" + std::to_string(group)));
  auto clickOtherGroupUnreadable = [&](bool save) {
    messages->answers = {save};
    platform::ScopedUnregistration noReads(erp::progid::kServerDatasInfo);
    ed.tvGroup->simulateClick(ed.tvGroup->NodeAt(2));
  };
  const auto savedRows = storedList(group);
  ASSERT_EQ(savedRows.size(), gridRows().size());
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 1, "改过"));
  clickOtherGroupUnreadable(true);
  EXPECT_EQ(ed.currentGroupId(), group);
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 1, savedRows.front().substr(savedRows.front().rfind(':') + 1)));
  messages->answers = {true};
  ed.Bar->ClickTool("SetProps");
  EXPECT_EQ(storedList(group), savedRows) << shownMessages();
  ASSERT_TRUE(ed.vaNormal->userTypeText(3, 1, "不要了"));
  const auto asRead = gridRows();
  clickOtherGroupUnreadable(false);
  EXPECT_NE(gridRows(), asRead);
  EXPECT_FALSE(ed.Modified());
  EXPECT_EQ(storedList(group), savedRows);
}

TEST_F(EditsKeptTest, ARenameThatChangedNothingAsksNothing) {
  login(kZhang);
  auto& ed = openEditor();
  widgets::TreeNode node = ed.tvGroup->NodeAt(1);
  const std::string name = node.Text();
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, name));
  EXPECT_TRUE(messages->questions().empty()) << shownMessages();
  EXPECT_EQ(node.Text(), name);
  // Blanks typed around a name are not stored, nor shown; the next rename then
  // finds the name it shows stored, and asks only whether to save.
  messages->answers = {true};
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, " 新名 "));
  EXPECT_EQ(node.Text(), "新名");
  messages->calls.clear();
  messages->answers = {true};
  EXPECT_TRUE(ed.tvGroup->simulateLabelEdit(node, "再改"));
  EXPECT_EQ(messages->questions().size(), 1u) << shownMessages();
  EXPECT_EQ(node.Text(), "再改");

  // Refreshed while the name is still being typed: the rename is stored, and the
  // groups read after it show it.
  ed.tvGroup->editItem(node.item());
  auto* line = ed.tvGroup->findChild<QLineEdit*>();
  ASSERT_NE(line, nullptr);
  line->setText(QString::fromUtf8("开着刷新"));
  messages->calls.clear();
  messages->answers = {true};
  ed.Bar->ClickTool("Refresh");
  EXPECT_EQ(ed.tvGroup->NodeAt(1).Text(), "开着刷新") << shownMessages();
  const auto groups = storedGroups();
  EXPECT_TRUE(std::any_of(groups.begin(), groups.end(), [](const std::string& g) { return g.ends_with(":开着刷新"); }));

  // A name refused (too long) is not thrown away: its box opens again on it.
  const std::string tooLong(51, 'x');
  messages->calls.clear();
  EXPECT_FALSE(ed.tvGroup->simulateLabelEdit(ed.tvGroup->NodeAt(1), tooLong));
  EXPECT_EQ(messages->warnings().size(), 1u) << shownMessages();
  QCoreApplication::processEvents();
  auto* again = qobject_cast<QLineEdit*>(ed.tvGroup->indexWidget(ed.tvGroup->currentIndex()));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->text().toStdString(), tooLong);
  EXPECT_EQ(ed.tvGroup->NodeAt(1).Text(), "开着刷新");
}

}  // namespace
}  // namespace wayfind::favourites::testing

namespace wayfind::favourites::testing {
namespace {

TEST_F(EditsKeptTest, AShortcutPressedWhileACellIsEditedSavesWhatWasTyped) {
  login(kZhang);
  auto& ed = openEditor();
  QApplication::setActiveWindow(&ed);
  const int32_t group = ed.currentGroupId();
  ed.vaNormal->setFocus();
  ed.vaNormal->SetActiveCell(2, 1);
  QTest::keyClick(ed.vaNormal, Qt::Key_K);  // typing opens the cell's editor
  QWidget* cell = ed.vaNormal->indexWidget(ed.vaNormal->currentIndex());
  ASSERT_NE(cell, nullptr) << "a cell editor is open";
  QTest::keyClick(cell, Qt::Key_B);
  messages->answers = {true};
  QTest::keyClick(cell, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ed.vaNormal->Text(2, 1), "kb");
  EXPECT_FALSE(ed.Modified()) << shownMessages();
  EXPECT_NE(storedList(group).front().find(":kb:"), std::string::npos) << join(storedList(group));
}

}  // namespace
}  // namespace wayfind::favourites::testing
