// One function is named alike in every view: the tree on the terminal and in
// JSON, the console's tree, its search, the started-function panel, the recent
// list, the status bar and the favourites tab. A template row, a row the user renamed, the same
// function in the user's own folder and a function the user created, in the
// three languages.
#include <QLabel>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

#include "console_fixture.h"
#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include "platform/containers/dictionary.h"
#include "store/datas_info.h"
#include "store/search.h"
#include "update/datas_update.h"

namespace wayfind::app::console::testing {
namespace {

namespace fs = std::filesystem;

class NamingTest : public ConsoleTest {
 protected:
  std::string wayfind(const std::string& language, const std::string& args) {
    const fs::path out = folder / "out.txt";
    const std::string cmd = "WAYFIND_DB='" + database.string() + "' WAYFIND_CACHE_DIR='" +
                            (folder / ("cli-" + language)).string() + "' '" WAYFIND_EXE "' --user " +
                            std::to_string(kZhang) + " --lang " + language + " " + args + " >'" + out.string() +
                            "' 2>&1 </dev/null";
    const int raw = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << cmd;
    std::ifstream in(out);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

// The line of a function under a sub-function in `wayfind tree`: the name after
// "Det <id>  ", up to the next two spaces.
std::string treeName(const std::string& tree, int32_t subFuncId, int32_t detailId) {
  const size_t sub = tree.find("    Sub " + std::to_string(subFuncId) + "  ");
  if (sub == std::string::npos) return "<no sub-function>";
  const std::string det = "      Det " + std::to_string(detailId) + "  ";
  const size_t at = tree.find(det, sub);
  if (at == std::string::npos) return "<no function>";
  const size_t start = at + det.size();
  return tree.substr(start, tree.find("  ", start) - start);
}

TEST_F(NamingTest, EveryViewNamesAFunctionAlike) {
  struct Case {
    const char* what;
    const char* helpCode;  // finds the function at that place
    int32_t subFuncId;
    int32_t detailId;
    const char* names[3];  // chs, en, cht
  };
  const Case cases[] = {
      {"a template row", "PZCX", 10101, 1010102, {"凭证查询", "Voucher Query", "憑證查詢"}},
      {"a row the user renamed", "JZPZ", 10101, 1010101, {"记账凭证录入", "记账凭证录入", "记账凭证录入"}},
      {"the same function in the user's own folder", "PZLR", 7501031, 1010101, {"凭证录入", "Voucher Entry", "憑證錄入"}},
      {"a function the user created", "JSQ", 10000000, 1000000000, {"计算器", "Calculator", "計算器"}},
  };
  const char* languages[] = {"chs", "en", "cht"};
  for (int l = 0; l < 3; ++l) {
    const std::string language = languages[l];
    const std::string tree = wayfind(language, "tree");
    const std::string json = wayfind(language, "tree --json");
    login(kZhang, language);
    open();
    // The favourites tab: an entry without a show name of its own (凭证查询 in
    // Zhang's first group) reads as the function does.
    QStringList favourites;
    for (int g = 0; g < favouritesTree()->topLevelItemCount(); ++g)
      for (int i = 0; i < favouritesTree()->topLevelItem(g)->childCount(); ++i)
        favourites << favouritesTree()->topLevelItem(g)->child(i)->text(0);
    EXPECT_TRUE(favourites.contains(QString::fromStdString(cases[0].names[l]))) << favourites.join(", ").toStdString();
    for (const auto& c : cases) {
      SCOPED_TRACE(language + ": " + c.what);
      const std::string name = c.names[l];
      EXPECT_EQ(treeName(tree, c.subFuncId, c.detailId), name);
      EXPECT_NE(json.find("{\"level\":\"Det\",\"id\":" + std::to_string(c.detailId) + ",\"name\":\"" + name + "\""),
                std::string::npos);
      // The search, and through its answer the console's tree at that place.
      const auto found = store::SearchFunctions(c.helpCode, 20).rows;
      auto hit = std::find_if(found.begin(), found.end(),
                              [&](const auto& r) { return r.subFuncId == c.subFuncId && r.detailFuncId == c.detailId; });
      ASSERT_NE(hit, found.end());
      EXPECT_EQ(hit->name, name);
      ASSERT_TRUE(console().selectFunction(hit->topClassId, hit->subSysId, c.subFuncId, c.detailId));
      QTreeWidgetItem* item = this->tree()->currentItem();
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(item->text(0).toStdString(), name);
      // Started from the tree: the panel, the recent list and the status bar.
      QTest::keyClick(this->tree(), Qt::Key_Return);
      EXPECT_EQ(child<QLabel>("lblFuncNameValue")->text().toStdString(), name);
      ASSERT_GT(recentList()->count(), 0);
      EXPECT_TRUE(recentList()->item(0)->text().startsWith(QString::fromStdString(name)))
          << recentList()->item(0)->text().toStdString();
      EXPECT_TRUE(status().contains(QString::fromStdString(name))) << status().toStdString();
    }
  }
}

// A help code that two functions carry (the new-item dialog lets a user give one
// twice): the search shows both, and the help-code box asks which to start.
TEST_F(NamingTest, AHelpCodeOfTwoFunctionsAsksWhichToStart) {
  login(kZhang);
  auto dict = std::make_shared<platform::Dictionary>();
  dict->SetValue("HelpCode", platform::Variant("PZCX"));
  update::DatasUpdate().UpdateDetailFuncAttr(1010103, dict);  // 凭证审核 takes 凭证查询's code
  store::DatasInfo().RegetDataInfo();
  const std::string found = wayfind("chs", "search PZCX");
  EXPECT_NE(found.find("1010102"), std::string::npos) << found;
  EXPECT_NE(found.find("1010103"), std::string::npos) << found;

  open();
  for (const bool pick : {false, true}) {
    SCOPED_TRACE(pick ? "the second picked" : "cancelled");
    QStringList offered;
    modal().push("dlgChooseFunction", [&](QDialog& d) {
      auto* list = d.findChild<QListWidget*>("lstFunctions");
      for (int i = 0; i < list->count(); ++i) offered << list->item(i)->text();
      if (!pick) return d.reject();
      list->setCurrentRow(1);
      d.findChild<QPushButton*>("cmdOk")->click();
    });
    EXPECT_EQ(console().startByHelpCode("pzcx"), pick);
    EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
    ASSERT_EQ(offered.size(), 2);
    EXPECT_TRUE(offered[0].startsWith("凭证查询")) << offered[0].toStdString();
    EXPECT_TRUE(offered[1].startsWith("凭证审核")) << offered[1].toStdString();
    EXPECT_EQ(child<QLabel>("lblFuncNameValue")->text(), pick ? QString("凭证审核") : QString());
  }
}

}  // namespace
}  // namespace wayfind::app::console::testing
