// Node properties, custom items, deletion, restore default and the profile.
#include "erp/api/progids.h"
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
  }, "FClassName");
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
  }, "其他用户");
  expectRefused([&] { up_.DeleteItem(props(kUserB), base, target, tpl); }, "其他用户");
  int32_t nobody = 1000000050;
  expectRefused([&] {
    auto d = dict({{"NewName", "x"}});
    up_.UpdateDetailFuncAttr(props(kUserB), nobody, d, false, none_);
  }, "不存在");
  expectRefused([&] { up_.UpdateTopClass("Language=chs", target, none_, false, none_); }, "UserID");
  EXPECT_EQ(dump(), state);
  // The owner may change its class.
  auto d = dict({{"NewName", "新名"}, {"ClassName", "/opt/other"}, {"HelpCode", "XM"}, {"Index", 4}});
  up_.UpdateDetailFuncAttr(props(kUserA), target, d, false, none_);
  EXPECT_EQ(row(userTable(kUserA, "DetailFunc"), "FDetailFuncID", id)["FClassName"], Variant("/opt/other"));
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
  expectRefused([&] { up_.DeleteItem(props(kUserA), base, templateTop, tpl); }, "模板项目");
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
