// The main console: the tree read level by level, the favourites, starting
// functions, the settings it honours, the editors it opens and what it shows
// after they close.
#include <fstream>

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QGuiApplication>
#include <QTest>
#include <map>

#include "console_fixture.h"
#include "app/console/language_choice.h"
#include "editor/dlg_set_prop.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "store/datas_info.h"
#include "store/search.h"
#include "update/datas_update.h"
#include "widgets/grid.h"
#include "widgets/keyed_tree.h"

namespace wayfind::app::console::testing {
namespace {

using windowtests::join;

QAction* action(QWidget* window, const char* name) {
  auto* a = window->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

void clickItem(QTreeWidget* tree, QTreeWidgetItem* item, bool twice = false) {
  QCoreApplication::processEvents();  // a page just brought forward is laid out first
  tree->scrollToItem(item);
  const QPoint at = tree->visualItemRect(item).center();
  if (twice)
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
  else
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
}

TEST_F(ConsoleTest, ADriveThroughSearchHelpCodeAndTheEditorShowsTheNewName) {
  auto& c = open();
  // Search as the user types.
  auto* search = child<QLineEdit>("txtSearch");
  search->insert("凭证");  // typed through an input method
  ASSERT_GT(results()->topLevelItemCount(), 0);
  EXPECT_TRUE(results()->topLevelItem(0)->text(0).contains("凭证"));
  search->insert("录入");
  ASSERT_GE(results()->topLevelItemCount(), 1);
  EXPECT_EQ(results()->topLevelItem(0)->text(0), "凭证录入");
  EXPECT_EQ(results()->topLevelItem(0)->text(2), "财务会计 > 总账 > 凭证处理");

  // A help code and Enter start the function, whatever the letters' case.
  auto* code = child<QLineEdit>("txtHelpCode");
  QTest::keyClicks(code, "pzcx");
  QTest::keyClick(code, Qt::Key_Return);
  ASSERT_EQ(c.recent().items().size(), 1u);
  EXPECT_EQ(c.recent().items()[0].id, 1010102);
  EXPECT_TRUE(status().contains("凭证查询")) << status().toStdString();
  EXPECT_TRUE(status().contains("ZecglView.GLData")) << status().toStdString();
  EXPECT_EQ(child<QLabel>("lblFuncNameValue")->text(), "凭证查询");
  EXPECT_EQ(child<QLabel>("lblClassNameValue")->text(), "ZecglView.GLData");
  EXPECT_TRUE(code->text().isEmpty());

  // The main-console editor from the menu: rename the first sub-function of 总账.
  QTreeWidgetItem* sys = node("Sys101");
  ASSERT_NE(sys, nullptr);
  sys->setExpanded(true);
  ASSERT_GT(sys->childCount(), 0);
  const QString oldName = sys->child(0)->text(0);
  modal().push("dlgSetProp", [](QDialog& d) {
    auto& editor = static_cast<editor::dlgSetProp&>(d);
    editor.tvFunc()->simulateExpand(editor.tvFunc()->Node("Top1"));
    editor.tvFunc()->simulateClick(editor.tvFunc()->Node("Sys101"));
    ASSERT_TRUE(editor.vaOutlineProp()->userTypeText(1, 1, "凭证管理"));
    d.reject();  // closing asks whether to save; the scripted answer is Yes
  });
  messages->answers = {true};
  action(&c, "mnuSetProp")->trigger();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(messages->questions().size(), 1u) << join(messages->questions());

  sys = node("Sys101");
  ASSERT_NE(sys, nullptr);
  EXPECT_TRUE(sys->isExpanded());  // the console keeps what was open
  EXPECT_EQ(sys->child(0)->text(0), "凭证管理");
  EXPECT_NE(oldName, "凭证管理");
  EXPECT_EQ(storedSubFuncNames(101).front(), "凭证管理");
}

TEST_F(ConsoleTest, TheSearchFindsByAnyLanguageOrCodeShowsThePlaceAndStarts) {
  open();
  auto* search = child<QLineEdit>("txtSearch");
  QTest::keyClicks(search, "voucher e");  // an English name in a Chinese console
  ASSERT_GT(results()->topLevelItemCount(), 0);
  EXPECT_EQ(results()->topLevelItem(0)->text(0), "凭证录入");
  search->clear();
  EXPECT_EQ(results()->topLevelItemCount(), 0);
  QTest::keyClicks(search, "pzcx");
  ASSERT_GT(results()->topLevelItemCount(), 0);
  EXPECT_EQ(results()->topLevelItem(0)->text(1), "PZCX");  // the exact code first

  // A click shows the function in the tree; Enter in the box starts the first.
  QTest::mouseClick(results()->viewport(), Qt::LeftButton, {},
                    results()->visualItemRect(results()->topLevelItem(0)).center());
  ASSERT_NE(tree()->currentItem(), nullptr);
  EXPECT_EQ(tree()->currentItem()->data(0, Qt::UserRole).toString(), "Det1010102");
  QTest::keyClick(search, Qt::Key_Return);
  ASSERT_EQ(console().recent().items().size(), 1u);
  EXPECT_EQ(console().recent().items()[0].id, 1010102);
}

TEST_F(ConsoleTest, TheSearchIsMadeReadyBetweenEventsAndAPinyinResultSaysWhatItMatched) {
  store::FunctionSearch::instance().reset();
  open();
  // The console makes the index while it waits for the user: the first keystroke
  // finds it made, and makes nothing.
  ASSERT_TRUE(QTest::qWaitFor([] { return store::FunctionSearch::instance().buildCount() == 1; }, 20000));
  auto* search = child<QLineEdit>("txtSearch");
  QTest::keyClicks(search, "pzcx");
  EXPECT_EQ(store::FunctionSearch::instance().buildCount(), 1);
  QStringList notes;
  for (int i = 0; i < results()->topLevelItemCount(); ++i) notes << results()->topLevelItem(i)->text(3);
  EXPECT_EQ(notes.value(0), "");  // the exact help code says nothing more
  EXPECT_TRUE(notes.contains("拼音首字母：凭证查询")) << notes.join("|").toStdString();
}

TEST_F(ConsoleTest, TheTreeIsReadLevelByLevelAsTheStoreAnswers) {
  open();
  auto tops = store::DatasInfo().GetTopClass();
  ASSERT_EQ(tree()->topLevelItemCount(), tops->RecordCount());
  // A level is read when its parent opens: until then a placeholder stands in.
  QTreeWidgetItem* top = tree()->topLevelItem(0);
  ASSERT_EQ(top->childCount(), 1);
  EXPECT_TRUE(top->child(0)->text(0).isEmpty());
  top->setExpanded(true);
  auto systems = store::DatasInfo().GetSubSystem(top->data(0, Qt::UserRole + 2).toInt());
  ASSERT_EQ(top->childCount(), systems->RecordCount());
  systems->MoveFirst();
  EXPECT_EQ(top->child(0)->text(0).toStdString(), platform::CStr(systems->value("FName")));

  // Detail functions show their show names and help codes.
  QTreeWidgetItem* sub = node("Sub10101");
  ASSERT_NE(sub, nullptr);
  sub->setExpanded(true);
  ASSERT_GE(sub->childCount(), 2);
  EXPECT_EQ(sub->child(0)->text(0), "凭证录入");
  EXPECT_EQ(sub->child(0)->text(1), "PZLR");
  EXPECT_EQ(sub->child(0)->childCount(), 0);
}

// The child of a tree node with a key ("Det1010101"); nullptr when it has none.
QTreeWidgetItem* childWithKey(QTreeWidgetItem* parent, const QString& key) {
  for (int i = 0; parent && i < parent->childCount(); ++i) {
    if (parent->child(i)->data(0, Qt::UserRole).toString() == key) return parent->child(i);
  }
  return nullptr;
}

TEST_F(ConsoleTest, AFunctionReadsTheSameInTheTreeAndTheSearchAtEachOfItsPlaces) {
  // 张伟 renamed 1010101 in Vouchers and put it, unnamed, in his own folder
  // Frequent Vouchers. The merged rows of both places carry "凭证录入" as their
  // show name, which names the function at neither.
  login(kZhang, "en");
  open();
  auto* search = child<QLineEdit>("txtSearch");
  QTest::keyClicks(search, "voucher");
  ASSERT_GT(results()->topLevelItemCount(), 2);
  std::map<int, std::string> entry;  // 1010101's name in the results, by sub-function
  for (int i = 0; i < results()->topLevelItemCount(); ++i) {
    QTreeWidgetItem* hit = results()->topLevelItem(i);
    const auto ids = hit->data(0, Qt::UserRole).toList();
    ASSERT_EQ(ids.size(), 4);
    // A click shows the function in the tree, at the place the result names
    // (a level found by its name: the level).
    clickItem(results(), hit);
    QTreeWidgetItem* shown = tree()->currentItem();
    ASSERT_NE(shown, nullptr) << hit->text(0).toStdString();
    if (ids[3].toInt() == 0) {
      EXPECT_EQ(shown->text(0).toStdString(), hit->text(0).toStdString());
      continue;
    }
    ASSERT_NE(shown->parent(), nullptr);
    EXPECT_EQ(shown->data(0, Qt::UserRole).toString(), QString("Det%1").arg(ids[3].toInt()));
    EXPECT_EQ(shown->parent()->data(0, Qt::UserRole).toString(), QString("Sub%1").arg(ids[2].toInt()));
    EXPECT_EQ(shown->text(0).toStdString(), hit->text(0).toStdString()) << "at " << hit->text(2).toStdString();
    if (ids[3].toInt() == 1010101) entry[ids[2].toInt()] = hit->text(0).toStdString();
  }
  EXPECT_EQ(entry[7501031], "Voucher Entry");
  EXPECT_EQ(entry[10101], "记账凭证录入");
  EXPECT_EQ(entry.size(), 2u);
  // The same when the tree is opened by hand rather than by the search.
  QTreeWidgetItem* folder = node("Sub7501031");
  ASSERT_NE(folder, nullptr);
  folder->setExpanded(true);
  ASSERT_NE(childWithKey(folder, "Det1010101"), nullptr);
  EXPECT_EQ(childWithKey(folder, "Det1010101")->text(0).toStdString(), "Voucher Entry");
  // Chosen at one of its places, it is chosen there again when the tree is read
  // again (the folder comes first in the tree).
  QTreeWidgetItem* vouchers = node("Sub10101");
  ASSERT_NE(vouchers, nullptr);
  tree()->setCurrentItem(childWithKey(vouchers, "Det1010101"));
  console().refresh();
  ASSERT_NE(tree()->currentItem(), nullptr);
  ASSERT_NE(tree()->currentItem()->parent(), nullptr);
  EXPECT_EQ(tree()->currentItem()->parent()->data(0, Qt::UserRole).toString(), "Sub10101");
}

TEST_F(ConsoleTest, AFunctionRenamedInTheEditorShowsItsNewNameInTheTreeAndTheSearch) {
  open();
  modal().push("dlgSetProp", [](QDialog& d) {
    auto& editor = static_cast<editor::dlgSetProp&>(d);
    auto* tv = editor.tvFunc();
    tv->simulateExpand(tv->Node("Top1"));
    tv->simulateExpand(tv->Node("Sys101"));
    tv->simulateClick(tv->Node("Sub10101"));
    auto& grid = *editor.vaDetailProp();
    const int row = grid.FindRowByItemData(1010102);
    ASSERT_GT(row, 0);
    ASSERT_TRUE(grid.userTypeText(1, row, "查询我的凭证"));
    d.reject();  // closing asks whether to save; the scripted answer is Yes
  });
  messages->answers = {true};
  action(&console(), "mnuSetProp")->trigger();
  EXPECT_TRUE(modal().done()) << join(modal().failures());

  QTreeWidgetItem* sub = node("Sub10101");
  ASSERT_NE(sub, nullptr);
  sub->setExpanded(true);
  QTreeWidgetItem* renamed = childWithKey(sub, "Det1010102");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(renamed->text(0).toStdString(), "查询我的凭证");
  auto* search = child<QLineEdit>("txtSearch");
  search->insert("查询我的");
  ASSERT_EQ(results()->topLevelItemCount(), 1);
  EXPECT_EQ(results()->topLevelItem(0)->text(0).toStdString(), "查询我的凭证");
}

TEST_F(ConsoleTest, TheFavouritesShowTheUsersGroupsWithTheirFunctionsInOrder) {
  login(kZhang);
  open();
  auto groups = store::DatasInfo().GetNormalFuncGroup().objectAs<platform::Recordset>();
  ASSERT_TRUE(groups);
  ASSERT_EQ(favouritesTree()->topLevelItemCount(), groups->RecordCount());
  ASSERT_GT(groups->RecordCount(), 0);
  groups->MoveFirst();
  QTreeWidgetItem* first = favouritesTree()->topLevelItem(0);
  EXPECT_EQ(first->text(0).toStdString(), platform::CStr(groups->value("FFuncGroupName")));
  auto items = store::DatasInfo().GetDetailNormalFunc(platform::CLng(groups->value("FFuncGroupID")));
  ASSERT_EQ(first->childCount(), items->RecordCount());
  items->MoveFirst();
  EXPECT_EQ(first->child(0)->data(0, Qt::UserRole + 2).toInt(), platform::CLng(items->value("FDetailFuncID")));

  // A function of a group starts like one of the tree: 张伟 starts functions with
  // a single click.
  ASSERT_TRUE(console().settings().clickActivate);
  child<QTabWidget>("tabNav")->setCurrentWidget(favouritesTree());
  clickItem(favouritesTree(), first->child(0));
  ASSERT_EQ(console().recent().items().size(), 1u) << status().toStdString();
  EXPECT_EQ(console().recent().items()[0].id, platform::CLng(items->value("FDetailFuncID")));
  EXPECT_FALSE(console().recent().items()[0].className.empty());
  // The recent list names each one as its group does, help code and all, also
  // when it is started again from there.
  for (int i = 0; i < first->childCount(); ++i) {
    QTreeWidgetItem* entry = first->child(i);
    SCOPED_TRACE(entry->text(0).toStdString());
    clickItem(favouritesTree(), entry);
    const QString shown = entry->text(1).isEmpty() ? entry->text(0) : entry->text(0) + "  [" + entry->text(1) + "]";
    EXPECT_EQ(recentList()->item(0)->text(), shown);
    emit recentList()->itemActivated(recentList()->item(0));
    EXPECT_EQ(recentList()->item(0)->text(), shown);
  }
}

TEST_F(ConsoleTest, ClickActivateChoosesBetweenSingleAndDoubleClick) {
  for (bool single : {false, true}) {
    setProfile("CLICK_ACTIVATE", single ? "1" : "0");
    open();
    QTreeWidgetItem* det = node("Det1010101");
    ASSERT_NE(det, nullptr);
    clickItem(tree(), det);
    EXPECT_EQ(console().recent().items().size(), single ? 1u : 0u) << "single click, CLICK_ACTIVATE " << single;
    clickItem(tree(), det, /*twice=*/true);
    // A double click is two clicks and a double click: with single-click
    // activation the function starts once per click, never twice for the pair.
    EXPECT_EQ(console().recent().items().size(), 1u);
    // Enter on the current function starts it in either mode.
    tree()->setCurrentItem(det);
    QTest::keyClick(tree(), Qt::Key_Return);
    EXPECT_EQ(console().recent().items().size(), 1u);  // the same function moves to the top
    EXPECT_TRUE(status().contains("凭证录入"));
  }
}

TEST_F(ConsoleTest, RightAlignPutsTheNavigationOnTheRightAndSiteNamesBecomeLinks) {
  setProfile("RIGHT_ALIGN", "1");
  setProfile("T8HR", "   ");
  setProfile("T8BRIO", "门户<b>站</b>");
  open();
  auto* splitter = child<QSplitter>("splMain");
  EXPECT_EQ(splitter->indexOf(child<QWidget>("tabNav")), 1);
  EXPECT_TRUE(child<QLabel>("lblDecisionSite")->isVisibleTo(&console()));
  EXPECT_TRUE(child<QLabel>("lblDecisionSite")->text().contains("决策信息系统"));
  EXPECT_FALSE(child<QLabel>("lblHrSite")->isVisibleTo(&console()));  // blank: no link
  // A site name is shown as text, never as markup.
  EXPECT_TRUE(child<QLabel>("lblPortalSite")->text().contains("门户&lt;b&gt;站&lt;/b&gt;"));

  setProfile("RIGHT_ALIGN", "0");
  for (const char* site : {"T8EIS", "T8HR", "T8BRIO"}) setProfile(site, "");
  console().refresh();
  EXPECT_EQ(splitter->indexOf(child<QWidget>("tabNav")), 0);
  EXPECT_FALSE(child<QWidget>("picSites")->isVisibleTo(&console()));
}

TEST_F(ConsoleTest, DynamicRefreshReadsASelectedLevelAgainOnlyWhenSwitchedOn) {
  const auto first = [&](const char* key) {
    QTreeWidgetItem* item = node(key);
    if (!item) return QString();
    item->setExpanded(true);
    return item->childCount() ? item->child(0)->text(0) : QString();
  };
  // REFRESH_SYS off: a subsystem shows what was read when it first opened.
  setProfile("REFRESH_SYS", "0");
  open();
  const QString before = first("Sys101");
  ASSERT_FALSE(before.isEmpty());
  renameSubFunc(10101, "另一个程序改的名字");
  tree()->setCurrentItem(node("Sys101"));
  EXPECT_EQ(first("Sys101"), before);

  // REFRESH_SYS on: selecting it loads the newer version and reads it again.
  setProfile("REFRESH_SYS", "1");
  open();
  renameSubFunc(10101, "第二次改的名字");
  EXPECT_EQ(first("Sys101"), "另一个程序改的名字");  // the loaded tables, before the selection
  tree()->setCurrentItem(node("Sys101"));
  EXPECT_EQ(first("Sys101"), "第二次改的名字");
}

TEST_F(ConsoleTest, RefreshFuncReadsASelectedSubFunctionsFunctionsAgain) {
  const auto recode = [](int32_t id, const std::string& code) {
    auto dict = std::make_shared<platform::Dictionary>();
    dict->SetValue("HelpCode", platform::Variant(code));
    update::DatasUpdate().UpdateDetailFuncAttr(id, dict);
  };
  for (bool on : {false, true}) {
    setProfile("REFRESH_FUNC", on ? "1" : "0");
    open();
    QTreeWidgetItem* sub = node("Sub10101");
    ASSERT_NE(sub, nullptr);
    sub->setExpanded(true);
    const QString before = sub->child(0)->text(1);
    recode(1010101, on ? "NEWCODE" : "OLDCODE");
    tree()->setCurrentItem(sub);
    EXPECT_EQ(sub->child(0)->text(1), on ? QString("NEWCODE") : before) << "REFRESH_FUNC " << on;
  }
}

TEST_F(ConsoleTest, AHelpCodeThatNamesNoFunctionStartsNothingAndSaysSo) {
  open();
  auto* code = child<QLineEdit>("txtHelpCode");
  QTest::keyClicks(code, "NOSUCHCODE");
  QTest::keyClick(code, Qt::Key_Return);
  EXPECT_TRUE(console().recent().items().empty());
  EXPECT_TRUE(status().contains("NOSUCHCODE")) << status().toStdString();
  EXPECT_EQ(code->text(), "NOSUCHCODE");  // kept for correcting
  EXPECT_FALSE(console().startByHelpCode("   "));
  EXPECT_EQ(messages->count(erp::client::ScriptedMessageService::Kind::Error), 0);
}

TEST_F(ConsoleTest, ADisabledFunctionShowsGreyAndDoesNotStart) {
  auto dict = std::make_shared<platform::Dictionary>();
  dict->SetValue("Enable", platform::Variant(false));
  update::DatasUpdate().UpdateDetailFuncAttr(1010103, dict);
  store::DatasInfo().RegetDataInfo();
  open();
  QTreeWidgetItem* det = node("Det1010103");
  ASSERT_NE(det, nullptr);
  EXPECT_EQ(det->foreground(0).color(), QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
  EXPECT_FALSE(console().startByHelpCode("PZSH"));
  tree()->setCurrentItem(det);
  QTest::keyClick(tree(), Qt::Key_Return);
  EXPECT_TRUE(console().recent().items().empty());
  EXPECT_TRUE(status().contains("凭证审核")) << status().toStdString();
  EXPECT_TRUE(child<QLabel>("lblFuncNameValue")->text().isEmpty());
}

TEST_F(ConsoleTest, TheRecentListKeepsEachFunctionOnceMostRecentFirst) {
  open();
  for (const char* code : {"PZLR", "PZCX", "PZLR"}) ASSERT_TRUE(console().startByHelpCode(code)) << code;
  ASSERT_EQ(recentList()->count(), 2);
  EXPECT_TRUE(recentList()->item(0)->text().startsWith("凭证录入"));
  EXPECT_TRUE(recentList()->item(1)->text().startsWith("凭证查询"));
  // Starting again from the list: Enter (or the platform's activation) on an entry.
  recentList()->setCurrentRow(1);
  QTest::keyClick(recentList(), Qt::Key_Return);
  EXPECT_TRUE(recentList()->item(0)->text().startsWith("凭证查询")) << status().toStdString();
}

TEST_F(ConsoleTest, AUserWithoutTheRightToTheEditorIsToldSoInTheStatusBar) {
  login(16389);  // production planner
  open();
  action(&console(), "mnuSetProp")->trigger();
  EXPECT_TRUE(modal().shown().empty()) << join(modal().shown());
  EXPECT_EQ(status(), "主控台编辑没有打开：没有使用权限，或打开失败。");
}

TEST_F(ConsoleTest, TheFavouritesEditorsChangesShowWhenItCloses) {
  login(kZhang);
  open();
  const int groupsBefore = favouritesTree()->topLevelItemCount();
  modal().push("dlgSetNormal", [](QDialog& d) {
    // A group added while the editor is open, then the editor closed.
    update::DatasUpdate().AddNormalFuncGroup("月末");
    d.reject();
  });
  action(&console(), "mnuSetNormal")->trigger();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  ASSERT_EQ(favouritesTree()->topLevelItemCount(), groupsBefore + 1);
  EXPECT_EQ(favouritesTree()->topLevelItem(groupsBefore)->text(0), "月末");
}

TEST_F(ConsoleTest, TheOptionsDialogsSettingsApplyWhenItCloses) {
  open();  // the administrator keeps the navigation on the right
  ASSERT_TRUE(console().settings().rightAlign);
  ASSERT_EQ(child<QSplitter>("splMain")->indexOf(child<QWidget>("tabNav")), 1);
  modal().push("dlgOptions", [](QDialog& d) {
    d.findChild<QCheckBox*>("chkRightAlign")->setChecked(false);
    d.findChild<QPushButton*>("OKButton")->click();
  });
  action(&console(), "mnuOption")->trigger();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_FALSE(console().settings().rightAlign);
  EXPECT_EQ(child<QSplitter>("splMain")->indexOf(child<QWidget>("tabNav")), 0);
}

TEST_F(ConsoleTest, InEnglishEveryCaptionIsTranslatedAndTheDataStaysAsStored) {
  login(windowtests::kAdministrator, "cht");
  open();
  EXPECT_EQ(console().untranslated(), "");
  EXPECT_EQ(action(&console(), "mnuSetProp")->text(), "主控台編輯(&E)...");

  login(windowtests::kAdministrator, "en");
  open();
  EXPECT_EQ(console().untranslated(), "");
  EXPECT_EQ(console().windowTitle(), "Main Console");
  EXPECT_EQ(tree()->topLevelItem(0)->text(0), "Financial Accounting");
  EXPECT_EQ(action(&console(), "mnuSetProp")->text(), "Main Console &Editor...");
  // The language names stay in their own language.
  EXPECT_EQ(action(&console(), "mnuLang_chs")->text(), "简体中文");
  EXPECT_EQ(console().findChild<QAction*>("mnuLang_qps"), nullptr) << "a language for tests is not offered";
  // The windows it opens follow its language.
  modal().push("dlgOptions", [](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Options");
    d.reject();
  });
  action(&console(), "mnuOption")->trigger();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
}

TEST_F(ConsoleTest, TheLanguageMenuSavesTheChoiceForTheNextStart) {
  open();
  EXPECT_TRUE(action(&console(), "mnuLang_chs")->isChecked());
  action(&console(), "mnuLang_en")->trigger();
  EXPECT_EQ(savedLanguage(), std::optional<std::string>("en"));
  EXPECT_TRUE(action(&console(), "mnuLang_en")->isChecked());
  // This start keeps its language.
  EXPECT_EQ(action(&console(), "mnuSetProp")->text(), "主控台编辑(&E)...");
  EXPECT_FALSE(status().isEmpty());
  // A choice that cannot be saved is reported, and the menu shows again what the
  // next start will have (here, with no readable choice, this start's language).
  const std::string config = std::getenv("WAYFIND_CONFIG_DIR");
  std::ofstream(config + "-file") << "x";
  setenv("WAYFIND_CONFIG_DIR", (config + "-file/config").c_str(), 1);
  action(&console(), "mnuLang_en")->trigger();
  EXPECT_EQ(messages->count(erp::client::ScriptedMessageService::Kind::Error), 1);
  EXPECT_TRUE(action(&console(), "mnuLang_chs")->isChecked());
  EXPECT_FALSE(action(&console(), "mnuLang_en")->isChecked());
  setenv("WAYFIND_CONFIG_DIR", config.c_str(), 1);
}

}  // namespace
}  // namespace wayfind::app::console::testing
