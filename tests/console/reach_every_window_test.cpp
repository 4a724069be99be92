// Every window can be reached: from the console, by the user's commands only
// (menus, toolbar tools, buttons, a node's menu), every registered window opens.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <set>

#include "console_fixture.h"
#include "erp/storage/connection.h"
#include "editor/dlg_set_prop.h"
#include "favourites/dlg_set_normal.h"
#include "widgets/form_registry.h"
#include "widgets/toolbar.h"


namespace wayfind::app::console::testing {
namespace {

using windowtests::join;

QAction* menuAction(QWidget& window, const char* name) {
  auto* action = window.findChild<QAction*>(name);
  EXPECT_NE(action, nullptr) << name;
  return action;
}

class ReachEveryWindowTest : public ConsoleTest {};

TEST_F(ReachEveryWindowTest, TheUsersCommandsOpenEveryRegisteredWindowFromTheConsole) {
  auto close = [](QDialog& d) { d.reject(); };
  auto* c = &open();  // the administrator: applying to other users is theirs

  // Tools > main-console editor: New, Options and Apply to users open their dialogs.
  modal().push("dlgSetProp", [&](QDialog& d) {
    auto& editor = static_cast<editor::dlgSetProp&>(d);
    editor.tvFunc()->simulateClick(editor.tvFunc()->NodeAt(1));
    for (const char* tool : {"New", "Property", "mnuAllUser"}) EXPECT_TRUE(editor.Bar()->ClickTool(tool)) << tool;
    d.reject();
  });
  modal().push("dlgAddItem", close).push("dlgProperties", close).push("frmSelectUser", close);
  menuAction(*c, "mnuSetProp")->trigger();

  login(kZhang);  // a user with two favourites groups
  c = &open();

  // Tools > favourites: New in the list opens the picker, "属性设置" the editor again.
  modal().push("dlgSetNormal", [&](QDialog& d) {
    auto& favourites = static_cast<favourites::dlgSetNormal&>(d);
    favourites.vaNormal->setFocus();
    EXPECT_TRUE(favourites.Bar->ClickTool("New"));
    favourites.Command1->click();
    d.reject();
  });
  modal().push("frmAllFunc", close).push("dlgSetProp", close);
  menuAction(*c, "mnuSetNormal")->trigger();

  modal().push("dlgOptions", close);
  menuAction(*c, "mnuOption")->trigger();

  // A detail function's menu: add to the favourites asks which of the two groups.
  modal().push("dlgGroup", close);
  QTreeWidgetItem* function = node("Det1010101");
  ASSERT_NE(function, nullptr);
  std::unique_ptr<QMenu> menu(c->contextMenuFor(function));
  ASSERT_TRUE(menu);
  menuAction(*menu, "mnuAddFavourite")->trigger();

  EXPECT_TRUE(modal().done()) << join(modal().failures());
  const auto shownList = modal().shown();
  const std::set<std::string> shown(shownList.begin(), shownList.end());
  for (const std::string& name : widgets::forms().names()) {
    if (name.find('.') != std::string::npos) continue;  // a picture's view of a window, not a window
    EXPECT_TRUE(shown.count(name)) << name << " was not reached; shown: " << join(shownList);
  }
}

TEST_F(ReachEveryWindowTest, AddingToTheFavouritesPutsTheFunctionInTheGroupChosen) {
  login(kZhang);
  auto& c = open();
  QTreeWidgetItem* function = node("Det1010104");
  ASSERT_NE(function, nullptr);
  const QString name = function->text(0);
  modal().push("dlgGroup", [](QDialog& d) {
    auto* groups = d.findChild<QComboBox*>("cboGroup");
    ASSERT_EQ(groups->count(), 2);
    groups->setCurrentIndex(1);
    d.findChild<QPushButton*>("cmdOk")->click();
  });
  EXPECT_TRUE(c.addToFavourites(function));
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  ASSERT_EQ(favouritesTree()->topLevelItemCount(), 2);
  QStringList second;
  for (int i = 0; i < favouritesTree()->topLevelItem(1)->childCount(); ++i)
    second << favouritesTree()->topLevelItem(1)->child(i)->text(0);
  EXPECT_TRUE(second.contains(name)) << second.join(", ").toStdString();
  EXPECT_TRUE(status().contains(name)) << status().toStdString();

  // The group chosen is deleted in another window meanwhile: the user is told
  // why nothing was added.
  modal().push("dlgGroup", [&](QDialog& d) {
    auto* groups = d.findChild<QComboBox*>("cboGroup");
    groups->setCurrentIndex(1);
    auto conn = erp::storage::Connection::open(database);
    conn->exec("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = " + groups->currentData().toString().toStdString());
    conn->exec("DELETE FROM t_NavFuncGroup WHERE FFuncGroupID = " + groups->currentData().toString().toStdString());
    d.findChild<QPushButton*>("cmdOk")->click();
  });
  messages->calls.clear();
  EXPECT_FALSE(c.addToFavourites(node("Det1010101")));
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  const auto errors = messages->callsOf(erp::client::ScriptedMessageService::Kind::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].text.find("不存在"), std::string::npos) << errors[0].text;
}

}  // namespace
}  // namespace wayfind::app::console::testing
