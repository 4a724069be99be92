// Node properties, custom items, deletion, restore default and the profile.
#include <functional>

#include "erp/api/progids.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/register_server.h"
#include "platform/automation/registry.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class NodeUpdates : public UpdateTest {
 protected:
  platform::DictionaryPtr none_;
  int32_t createDetail(int32_t user, int32_t subFunc, const std::string& name) {
    auto d = dict({{"NewName", name}, {"FDetailFuncID", 0}, {"FClassName", "/opt/tools/calc"},
                   {"FClassParam", "SelfDefine"}, {"FHelpCode", "ZDY"}, {"FFuncName", name}});
    int32_t index = 0;
    bool tpl = false;
    return platform::CLng(up_.CreateDetailFunc(props(user), subFunc, index, d, tpl));
  }
};

TEST_F(NodeUpdates, FirstChangeCopiesTheTemplateRowAndOnlyRealChangesBumpTheVersion) {
  const std::string before = userVersion(kUserA);
  auto d = dict({{"NewName", "记账凭证"}, {"Visible", 0}, {"Index", 5}});
  int32_t id = 100;
  up_.UpdateSubSysFunc(props(kUserA), id, d, false, none_);
  auto r = row(userTable(kUserA, "SubFunc"), "FSubFuncID", 100);
  EXPECT_EQ(r["FFuncName"], Variant("记账凭证"));
  EXPECT_EQ(r["FVisible"], Variant(0));
  EXPECT_EQ(r["FIndex"], Variant(5));
  EXPECT_EQ(r["FSubSysID"], Variant(10));
  EXPECT_EQ(r["FClassName"], Variant("GL.Sub"));  // copied, not blanked
  const std::string after = userVersion(kUserA);
  EXPECT_NE(after, before);
  EXPECT_EQ(userVersion(kUserB), info_.GetUserTemplateVer(props(kUserB)));

  // The editor saves every row of its grid: unchanged rows write nothing.
  up_.UpdateSubSysFunc(props(kUserA), id, d, false, none_);
  int32_t other = 101;
  auto same = dict({{"NewName", "账簿"}, {"Visible", 1}, {"Index", 2}});
  up_.UpdateSubSysFunc(props(kUserA), other, same, false, none_);
  EXPECT_EQ(userVersion(kUserA), after);
  EXPECT_TRUE(row(userTable(kUserA, "SubFunc"), "FSubFuncID", 101).empty());
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FUserID <> 16385"), 0);
}

TEST_F(NodeUpdates, DetailFunctionTakesTheEditorsKeysAndKeepsTheTemplatesClass) {
  auto d = dict({{"NewName", "Entry"}, {"HelpCode", "VE"}, {"Visible", true}, {"Enable", 0}, {"Index", 9}});
  int32_t id = 10001;
  up_.UpdateDetailFuncAttr(props(kUserA, "en"), id, d, false, none_);
  auto r = row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", 10001);
  EXPECT_EQ(r["FFuncName"], Variant("Entry"));
  EXPECT_EQ(r["FHelpCode"], Variant("VE"));
  EXPECT_EQ(r["FEnable"], Variant(0));
  EXPECT_EQ(r["FVisible"], Variant(1));
  EXPECT_EQ(r["FIndex"], Variant(9));
  EXPECT_EQ(r["FSubFuncID"], Variant(100));
  EXPECT_EQ(r["FClassName"], Variant("GL.Voucher"));

  // A template function's class stays the template's; the same class is accepted.
  const std::string state = dump();
  expectRefused([&] {
    auto c = dict({{"ClassName", "/bin/sh"}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "类名");
  expectRefused([&] {
    auto c = dict({{"HelpCode", "a'b"}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "单引号");
  expectRefused([&] {
    auto c = dict({{"NewName", "x"}, {"Colour", "red"}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "Colour");
  expectRefused([&] {
    auto c = dict({{"NewName", "   "}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "不能为空");
  expectRefused([&] {
    auto c = dict({{"Index", "abc"}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "整数");
  expectRefused([&] {
    auto c = dict({{"NewName", std::string(81 * 3, 'x')}});
    up_.UpdateDetailFuncAttr(props(kUserA), id, c, false, none_);
  }, "80");
  EXPECT_EQ(dump(), state);
  auto same = dict({{"ClassName", "GL.Voucher"}, {"FFuncName", "Entry 2"}});
  up_.UpdateDetailFuncAttr(props(kUserA), id, same, false, none_);
  EXPECT_EQ(row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", 10001)["FFuncName"], Variant("Entry 2"));
}

// The editors send every row's name as they show it, in the session's language.
// A name the user did not change must keep following the template in every
// language; a name the user typed stands in every language.
TEST_F(NodeUpdates, NamesFollowTheTemplateUnlessTheUserGaveOne) {
  auto nameIn = [&](const char* language, const char* table, const char* idField, int32_t id) {
    auto rs = info_.GetUserData(props(kUserA, language))->GetValue(table).objectAs<platform::Recordset>();
    auto r = row(rs, idField, id);
    return r.empty() ? std::string("<no row>") : platform::CStr(r[std::string(table) == "TopClass" ? "FTopClassName" : "FFuncName"]);
  };
  struct Case {
    const char* what;
    const char* language;  // of the session that saves
    int level;
    int32_t id;
    std::vector<std::pair<const char*, Variant>> keys;
    const char* chs;  // the user's name afterwards, in each language
    const char* en;
    const char* cht;
  };
  const Case cases[] = {
      {"a help code changed in English", "en", 4, 10001, {{"NewName", "Voucher entry"}, {"HelpCode", "VE1"}},
       "凭证录入", "Voucher entry", "凭证录入"},
      {"a rename typed in English", "en", 4, 10002, {{"NewName", "My query"}, {"Index", 2}}, "My query", "My query",
       "My query"},
      {"the template's name typed back in Chinese", "chs", 4, 10002, {{"NewName", "凭证查询"}}, "凭证查询",
       "Voucher query", "凭证查询"},
      {"a top class hidden in English", "en", 1, 1, {{"NewName", "Finance"}, {"Visible", 0}}, "财务", "Finance", "财务"},
      {"a sub-function reordered in traditional Chinese", "cht", 3, 100, {{"NewName", "凭证"}, {"Index", 4}}, "凭证",
       "凭证", "凭证"},
      {"a sub-function renamed in Chinese", "chs", 3, 101, {{"NewName", "明细账"}}, "明细账", "明细账", "明细账"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto d = std::make_shared<platform::Dictionary>();
    for (const auto& [k, v] : c.keys) d->SetValue(k, v);
    int32_t id = c.id;
    switch (c.level) {
      case 1: up_.UpdateTopClass(props(kUserA, c.language), id, d, false, none_); break;
      case 3: up_.UpdateSubSysFunc(props(kUserA, c.language), id, d, false, none_); break;
      default: up_.UpdateDetailFuncAttr(props(kUserA, c.language), id, d, false, none_);
    }
    const char* table = c.level == 1 ? "TopClass" : c.level == 3 ? "SubFunc" : "DetailFunc";
    const char* idField = c.level == 1 ? "FTopClassID" : c.level == 3 ? "FSubFuncID" : "FDetailFuncID";
    EXPECT_EQ(nameIn("chs", table, idField, c.id), c.chs);
    EXPECT_EQ(nameIn("en", table, idField, c.id), c.en);
    EXPECT_EQ(nameIn("cht", table, idField, c.id), c.cht);
  }
  // A custom function with a name of its own in each language, saved unchanged in
  // English, keeps its Chinese name; renamed there, the new name stands everywhere.
  auto custom = dict({{"NewName", "计算"}, {"FFuncName_en", "Calc"}, {"FClassName", "/opt/calc"}});
  int32_t place = 100, index = 0;
  bool tpl = false;
  int32_t calc = platform::CLng(up_.CreateDetailFunc(props(kUserA), place, index, custom, tpl));
  auto same = dict({{"NewName", "Calc"}, {"HelpCode", "JS"}});
  up_.UpdateDetailFuncAttr(props(kUserA, "en"), calc, same, false, none_);
  EXPECT_EQ(nameIn("chs", "DetailFunc", "FDetailFuncID", calc), "计算");
  EXPECT_EQ(nameIn("en", "DetailFunc", "FDetailFuncID", calc), "Calc");
  auto renamed = dict({{"NewName", "Calculator"}});
  up_.UpdateDetailFuncAttr(props(kUserA, "en"), calc, renamed, false, none_);
  EXPECT_EQ(nameIn("chs", "DetailFunc", "FDetailFuncID", calc), "Calculator");
  // The favourites list saved in English keeps following the function's names,
  // and a show name the user typed stands in every language.
  int32_t func = 10001, group = -1;
  std::string help = "PZ", show = "Voucher entry", name = "Voucher entry";
  up_.AppendNormalItem(props(kUserA, "en"), func, help, show, name, group);
  int32_t other = 10101;
  std::string help2 = "", show2 = "My ledger", name2 = "Ledger";
  up_.AppendNormalItem(props(kUserA, "en"), other, help2, show2, name2, group);
  auto list = datas_.GetDetailNormalFunc(props(kUserA, "chs"), group).objectAs<platform::Recordset>();
  EXPECT_EQ(row(list, "FDetailFuncID", 10001)["FFuncName"], Variant("凭证录入"));
  EXPECT_EQ(row(list, "FDetailFuncID", 10001)["FShowName"], Variant("凭证录入"));
  EXPECT_EQ(row(list, "FDetailFuncID", 10101)["FFuncName"], Variant("总账"));
  EXPECT_EQ(row(list, "FDetailFuncID", 10101)["FShowName"], Variant("My ledger"));
}

TEST_F(NodeUpdates, NamesStampedByEarlierProgramsFollowTheTemplateAfterTheMigration) {
  // What a save in English left behind before: the English names in every column.
  conn().exec(
      "INSERT INTO t_NavUserTopClass(FUserID, FTopClassID, FTopClassName, FAcctType, FIndex, FVisible) "
      "VALUES (16385, 1, 'Finance', '', 1, 0);"
      "INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FFuncName_en, FFuncName_cht, "
      "FHelpCode, FAcctType, FIndex, FVisible, FEnable, FFuncType) VALUES "
      "(16385, 100, 10001, 'Voucher entry', 'Voucher entry', '凭证录入', 'VE1', '', 1, 1, 1, 0),"
      "(16385, 100, 10002, '我的查询', 'Voucher query', '凭证查询', 'PZCX', '', 2, 1, 1, 0);"
      "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FIndex) VALUES (16385, '常用', 1);"
      "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
      "SELECT FFuncGroupID, 1, 10001, 'Voucher entry', 'PZ', 'Voucher entry' FROM t_NavFuncGroup;");
  const int64_t templateRevision = revision(0);
  conn().exec(onServer() ? "UPDATE t_WayfindMeta SET FValue = '3' WHERE FKey = 'SchemaVersion';"
                           "ALTER TABLE t_NavVersion DROP COLUMN FStamp; DROP TABLE t_WayfindRetiredId CASCADE"
                         : "PRAGMA user_version = 3; ALTER TABLE t_NavVersion DROP COLUMN FStamp;"
                           "DROP TABLE t_WayfindRetiredId");
  storage::releaseThreadConnections();
  EXPECT_EQ(storage::schemaVersion(conn()), storage::kSchemaVersion);
  EXPECT_GT(revision(0), templateRevision);  // every client fetches its rows afresh
  auto names = [&](const char* language, const char* table, const char* idField, int32_t id, const char* field) {
    auto rs = info_.GetUserData(props(kUserA, language))->GetValue(table).objectAs<platform::Recordset>();
    return platform::CStr(row(rs, idField, id)[field]);
  };
  EXPECT_EQ(names("chs", "TopClass", "FTopClassID", 1, "FTopClassName"), "财务");
  EXPECT_EQ(names("chs", "DetailFunc", "FDetailFuncID", 10001, "FFuncName"), "凭证录入");
  EXPECT_EQ(names("en", "DetailFunc", "FDetailFuncID", 10002, "FFuncName_en"), "我的查询");
  EXPECT_EQ(row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", 10001)["FHelpCode"], Variant("VE1"));
  int32_t group = -1;
  auto list = datas_.GetDetailNormalFunc(props(kUserA, "chs"), group).objectAs<platform::Recordset>();
  EXPECT_EQ(row(list, "FDetailFuncID", 10001)["FShowName"], Variant("凭证录入"));
}

// Refusals are sentences in the caller's language that name the item or field
// as the user knows it, not the middle tier's identifiers.
TEST_F(NodeUpdates, RefusalsSpeakTheCallersLanguageAndNameWhatTheyRefuse) {
  int32_t sub = 100, index = 0, group = -1;
  bool tpl = false;
  auto custom = dict({{"NewName", "计算器"}, {"FClassName", "/opt/calc"}});
  int32_t calc = platform::CLng(up_.CreateDetailFunc(props(kUserA), sub, index, custom, tpl));
  std::string groupName = "日常", show;
  up_.AddNormalFuncGroup(props(kUserA), groupName, show);
  struct Case {
    const char* language;
    std::function<void()> call;
    std::string said;
  };
  const Case cases[] = {
      {"en", [&] { std::string n = "  "; int32_t id = 100; up_.UpdateSubSysFuncName(props(kUserA, "en"), id, n); },
       "Name must not be empty."},
      {"en", [&] { std::string n = "p", v(1001, 'x'); up_.SetProfileValue(props(kUserA, "en"), n, v); },
       "Setting value may be at most 1000 characters long."},
      {"en", [&] { std::string g = "日常", s; up_.AddNormalFuncGroup(props(kUserA, "en"), g, s); },
       "There is already a favourites group \"日常\". Please choose another name."},
      {"en", [&] { auto d = dict({{"NewName", "x"}}); up_.UpdateDetailFuncAttr(props(kUserB, "en"), calc, d, false, none_); },
       "Function (number 1000000000) was created by another user and cannot be changed."},
      {"en", [&] { int32_t f = 1999999999; std::string h, s, n; up_.AppendNormalItem(props(kUserA, "en"), f, h, s, n, group); },
       "Function (number 1999999999) does not exist; it may have been deleted."},
      {"cht", [&] { auto d = dict({{"HelpCode", "A'B"}}); int32_t f = 10001; up_.UpdateDetailFuncAttr(props(kUserA, "cht"), f, d, false, none_); },
       "助記碼不能含有單引號。"},
      {"chs", [&] { int32_t base = 1000, top = 1; up_.DeleteItem(props(kUserA), base, top, tpl); },
       "顶级分类“财务”是模板中的项目，不能删除。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    try {
      c.call();
      ADD_FAILURE() << "not refused";
    } catch (const platform::AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_EQ(e.description(), c.said);
    }
  }
}

TEST_F(NodeUpdates, NoCallerTakesTheTopOfAnIdentifierRangeForEveryone) {
  // An identifier beyond the next free one is not honoured.
  auto last = dict({{"FSubFuncID", 2147483647}, {"NewName", "last"}});
  int32_t sys = 10, index = 0, type = 3;
  bool tpl = false;
  EXPECT_EQ(platform::CLng(up_.CreateSubFunc(props(kUserA), sys, index, last, tpl)), 10000000);
  // An item that sits at the top all the same (data of an earlier version): the
  // free identifiers below it are handed out, to every user.
  conn().prepare("UPDATE t_NavUserSubFunc SET FSubFuncID = 2147483647 WHERE FSubFuncID = 10000000").run();
  for (int32_t user : {kUserB, kUserC}) {
    const int32_t next = user == kUserB ? 10000000 : 10000001;
    EXPECT_EQ(platform::CLng(datas_.GetNextID(props(user), type, sys)), next) << user;
    auto d = dict({{"NewName", "next"}});
    EXPECT_EQ(platform::CLng(up_.CreateSubFunc(props(user), sys, index, d, tpl)), next) << user;
  }
}

TEST_F(NodeUpdates, CreatedItemsAreCustomOwnedAndNumberedFromTheLevelBase) {
  auto top = dict({{"FTopClassID", 0}, {"FTopClassName", "我的工具"}});
  int32_t index = 0;
  bool tpl = false;
  const int32_t topId = platform::CLng(up_.CreateTopClass(props(kUserA), index, top, tpl));
  EXPECT_EQ(topId, 1000);
  EXPECT_EQ(top->GetValue("FTopClassID"), Variant(1000));  // the caller's dictionary learns the id
  EXPECT_EQ(row(userTable(kUserA, "TopClass"), "FTopClassID", 1000)["FIndex"], Variant(3));

  // The dialog's id (from GetNextID) is used; taken meanwhile, the next free one.
  auto sys = dict({{"FSubSysID", 100000}, {"FSysName", "工具箱"}});
  int32_t parent = topId;
  EXPECT_EQ(platform::CLng(up_.CreateSubSys(props(kUserA), parent, index, sys, tpl)), 100000);
  auto sys2 = dict({{"FSubSysID", 100000}, {"FSysName", "工具箱二"}});
  int32_t index7 = 7;
  EXPECT_EQ(platform::CLng(up_.CreateSubSys(props(kUserA), parent, index7, sys2, tpl)), 100001);
  EXPECT_EQ(row(userTable(kUserA, "SubSystem"), "FSubSysID", 100001)["FIndex"], Variant(7));

  auto sub = dict({{"FSubFuncID", 0}, {"FFuncName", "计算"}});
  int32_t sysId = 100000;
  const int32_t subId = platform::CLng(up_.CreateSubFunc(props(kUserA), sysId, index, sub, tpl));
  EXPECT_EQ(subId, 10000000);
  const int32_t detailId = createDetail(kUserA, subId, "计算器");
  EXPECT_EQ(detailId, 1000000000);
  auto r = row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", detailId);
  EXPECT_EQ(r["FClassName"], Variant("/opt/tools/calc"));
  EXPECT_EQ(r["FClassParam"], Variant("SelfDefine"));
  EXPECT_EQ(r["FHelpCode"], Variant("ZDY"));
  // Custom functions may sit under template sub-functions too; ids stay unique across users.
  EXPECT_EQ(createDetail(kUserB, 100, "B 的工具"), 1000000001);

  const std::string state = dump();
  expectRefused([&] {
    auto d = dict({{"FSubSysID", 0}, {"FSysName", "x"}});
    up_.CreateSubSys(props(kUserB), parent, index, d, tpl);  // A's top class
  }, "其他用户");
  expectRefused([&] {
    auto d = dict({{"FTopClassID", 5}, {"FTopClassName", "x"}});
    up_.CreateTopClass(props(kUserB), index, d, tpl);
  }, "1000");
  expectRefused([&] {
    auto d = dict({{"NewName", "x"}});
    int32_t sf = 100;
    up_.CreateDetailFunc(props(kUserB), sf, index, d, tpl);
  }, "程序类名");
  expectRefused([&] {
    auto d = dict({{"FFuncName", "x"}});
    int32_t missing = 99;
    up_.CreateSubFunc(props(kUserB), missing, index, d, tpl);
  }, "不存在");
  EXPECT_EQ(dump(), state);
}

TEST_F(NodeUpdates, AnotherUsersCustomItemsAreRefused) {
  const int32_t id = createDetail(kUserA, 100, "A 的工具");
  const std::string state = dump();
  int32_t target = id, base = 1000000000;
  bool tpl = false;
  expectRefused([&] {
    auto d = dict({{"NewName", "偷改"}});
    up_.UpdateDetailFuncAttr(props(kUserB), target, d, false, none_);
  }, "（编号 1000000000）是其他用户");  // by its number: A's names are A's own
  expectRefused([&] { up_.DeleteItem(props(kUserB), base, target, tpl); }, "其他用户");
  int32_t nobody = 1000000050;
  expectRefused([&] {
    auto d = dict({{"NewName", "x"}});
    up_.UpdateDetailFuncAttr(props(kUserB), nobody, d, false, none_);
  }, "不存在");
  expectRefused([&] { up_.UpdateTopClass("Language=chs", target, none_, false, none_); }, "UserID");
  EXPECT_EQ(dump(), state);
  // A function asked for at a place it is not: the caller's own sub-function by
  // its name, another user's by its number.
  int32_t sys = 10, index = 0, function = 10001;
  for (const auto& [user, name] : {std::pair{kUserA, "A 的子功能"}, {kUserB, "B 的子功能"}}) {
    auto sub = dict({{"FFuncName", name}});
    const int32_t place = platform::CLng(up_.CreateSubFunc(props(user), sys, index, sub, tpl));
    auto d = dict({{"NewName", "x"}, {"FSubFuncID", place}});
    expectRefused([&] { up_.UpdateDetailFuncAttr(props(kUserB), function, d, false, none_); },
                  user == kUserB ? std::string("“B 的子功能”下") : "（编号 " + std::to_string(place) + "）下");
  }
  // The owner may change its class.
  auto d = dict({{"NewName", "新名"}, {"ClassName", "/opt/other"}, {"HelpCode", "XM"}, {"Index", 4}});
  up_.UpdateDetailFuncAttr(props(kUserA), target, d, false, none_);
  EXPECT_EQ(row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", id)["FClassName"], Variant("/opt/other"));
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_WayfindRetiredId"), 0);  // changed, not deleted
}

TEST_F(NodeUpdates, DeleteItemRemovesOnlyChildlessCustomItems) {
  auto top = dict({{"FTopClassName", "我的"}});
  int32_t index = 0, base = 1000, baseSys = 100000, baseDetail = 1000000000;
  bool tpl = false;
  int32_t topId = platform::CLng(up_.CreateTopClass(props(kUserA), index, top, tpl));
  auto sys = dict({{"FSysName", "子"}});
  int32_t sysId = platform::CLng(up_.CreateSubSys(props(kUserA), topId, index, sys, tpl));
  int32_t detail = createDetail(kUserA, 100, "工具");
  std::string g = "组", none;
  up_.AddNormalFuncGroup(props(kUserA), g, none);
  std::string h, s = "工具", n = "工具";
  int32_t group = -1;
  up_.AppendNormalItem(props(kUserA), detail, h, s, n, group);

  int32_t templateTop = 1;
  expectRefused([&] { up_.DeleteItem(props(kUserA), base, templateTop, tpl); }, "是模板中的项目");
  expectRefused([&] { up_.DeleteItem(props(kUserA), base, topId, tpl); }, "还存在子项目");
  int32_t badBase = 5;
  expectRefused([&] { up_.DeleteItem(props(kUserA), badBase, topId, tpl); }, "层级基数");

  up_.DeleteItem(props(kUserA), baseSys, sysId, tpl);
  up_.DeleteItem(props(kUserA), base, topId, tpl);
  up_.DeleteItem(props(kUserA), baseDetail, detail, tpl);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserTopClass"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubSystem"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem"), 0);  // no dangling favourite
  // A deleted item's number is never handed out again (an edit still open on it
  // in another window would land on the new item), to any user.
  auto again = dict({{"FTopClassName", "又一个"}, {"FTopClassID", topId}});  // asked for by a caller that read it
  EXPECT_EQ(platform::CLng(up_.CreateTopClass(props(kUserB), index, again, tpl)), topId + 1);
  auto sysAgain = dict({{"FSysName", "子"}});
  int32_t templateTopOne = 1;
  EXPECT_EQ(platform::CLng(up_.CreateSubSys(props(kUserA), templateTopOne, index, sysAgain, tpl)), sysId + 1);
  EXPECT_EQ(createDetail(kUserA, 100, "工具"), detail + 1);
}

TEST_F(NodeUpdates, NameAndHelpFileMethodsWriteTheUsersRow) {
  int32_t top = 1, sys = 10, sub = 100;
  std::string a = "财务会计", b = "总账系统", c = "凭证处理", file = "/usr/share/help/gl.html";
  up_.UpdateTopClassName(props(kUserA), top, a);
  up_.UpdateSystemFuncName(props(kUserA), sys, b);
  up_.UpdateSubSysFuncName(props(kUserA), sub, c);
  up_.UpdateSystemHelpFile(props(kUserA), sys, file);
  EXPECT_EQ(row(userTable(kUserA, "TopClass"), "FTopClassID", 1)["FTopClassName"], Variant(a));
  auto s = row(userTable(kUserA, "SubSystem"), "FSubSysID", 10);
  EXPECT_EQ(s["FName"], Variant(b));
  EXPECT_EQ(s["FHelpFile"], Variant(file));
  EXPECT_EQ(row(userTable(kUserA, "SubFunc"), "FSubFuncID", 100)["FFuncName"], Variant(c));
  std::string empty;
  expectRefused([&] { up_.UpdateTopClassName(props(kUserA), top, empty); }, "不能为空");
}

TEST_F(NodeUpdates, SetDefaultGivesTheTemplateBackAndProfileValuesAreUpserted) {
  std::string name = "CLICK_ACTIVATE", one = "1";
  up_.SetProfileValue(props(kUserA), name, one);
  const auto v1 = revision(kUserA);
  up_.SetProfileValue(props(kUserA), name, one);  // same value: nothing to refetch
  EXPECT_EQ(revision(kUserA), v1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile WHERE FUserID = 16385 AND FValue = '1'"), 1);
  // A site name of 255 characters keeps the blanks typed around it; a value past
  // the field's size is refused.
  std::string site = "T8EIS", padded = "  " + std::string(255, 's') + " ";
  up_.SetProfileValue(props(kUserA), site, padded);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile WHERE FUserID = 16385 AND FName = 'T8EIS' AND "
                  "length(FValue) = 258"), 1);
  std::string longValue(1001, 'v');
  expectRefused([&] { up_.SetProfileValue(props(kUserA), name, longValue); }, "1000");

  int32_t id = 100;
  auto d = dict({{"NewName", "改"}});
  up_.UpdateSubSysFunc(props(kUserA), id, d, false, none_);
  createDetail(kUserA, 100, "工具");
  up_.SetDefault(props(kUserA));
  EXPECT_GT(revision(kUserA), v1);
  for (const char* t : {"TopClass", "SubSystem", "SubFunc", "DetailFunc"})
    EXPECT_EQ(userTable(kUserA, t)->storedRowCount(), 0u) << t;
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile"), 0);
}

TEST_F(NodeUpdates, TemplateChangesNeedAnAdministratorAndBumpTheTemplate) {
  int32_t id = 10;
  auto d = dict({{"NewName", "总账管理"}});
  const std::string state = dump();
  expectRefused([&] { up_.UpdateSystemFunc(props(kUserA), id, d, true, none_); }, "系统管理员");
  EXPECT_EQ(dump(), state);
  const auto before = revision(0);
  up_.UpdateSystemFunc(props(kAdmin), id, d, true, none_);
  EXPECT_EQ(revision(0), before + 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavSubSystem WHERE FName = '总账管理'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubSystem"), 0);
  auto top = dict({{"FTopClassName", "人力资源"}});
  int32_t index = 0;
  bool tpl = true;
  EXPECT_EQ(platform::CLng(up_.CreateTopClass(props(kAdmin), index, top, tpl)), 3);
  int32_t base = 1000, three = 3;
  up_.DeleteItem(props(kAdmin), base, three, tpl);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavTopClass"), 2);
  int32_t acct = 1;
  std::string acctName = "工业企业";
  up_.UpdateAcctTypeName(props(kAdmin), acct, acctName);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavAcctType WHERE FShowName = '工业企业'"), 1);
  expectRefused([&] { up_.UpdateAcctTypeName(props(kUserA), acct, acctName); }, "系统管理员");
}

TEST_F(NodeUpdates, TheComponentIsCreatedByItsProgId) {
  middletier::registerServerComponents();
  auto server = platform::Registry::instance().createAs<api::IServerDatasUpdate>(progid::kServerDatasUpdate);
  ASSERT_TRUE(server);
  std::string name = "T8EIS", value = "决策";
  server->SetProfileValue(props(kUserA), name, value);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile WHERE FName = 'T8EIS' AND FUserID = 16385"), 1);
}

}  // namespace
}  // namespace wayfind::erp::testing
