// Upkeep of the template: reconciling with base data, refresh flags, installation.
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class Maintenance : public UpdateTest {
 protected:
  platform::DictionaryPtr none_;
  platform::VectorPtr entries(std::initializer_list<Variant> items) {
    auto v = std::make_shared<platform::Vector>();
    for (const auto& i : items) v->Append(i);
    return v;
  }
  bool baseDataFlag(int32_t sys) { return platform::CBool(up_.IsReFreshBaseData(props(kUserA), sys)); }
};

TEST_F(Maintenance, RefreshSubFuncReconcilesASubsystemWithTheListItGets) {
  // A's own row of sub-function 101, which the refresh removes.
  int32_t id = 101;
  auto d = dict({{"NewName", "我的账簿"}});
  up_.UpdateSubSysFunc(props(kUserA), id, d, false, none_);
  const auto userBefore = revision(kUserA);
  int32_t sys = 10;
  bool delAll = true, tpl = true;
  auto vect = entries({Variant(100), Variant(dict({{"FSubFuncID", 102}, {"FFuncName", "明细账"}, {"FIndex", 3}}))});
  EXPECT_FALSE(baseDataFlag(10));
  const auto tplBefore = revision(0);
  up_.RefreshSubFunc(props(kAdmin), sys, vect, delAll, tpl);
  ASSERT_EQ(vect->Count(), 2);  // what the subsystem holds now
  EXPECT_EQ(vect->Item(1), Variant(100));
  EXPECT_EQ(vect->Item(2), Variant(102));
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavSubFunc WHERE FSubFuncID = 101"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavDetailFunc WHERE FSubFuncID = 101"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc"), 0);
  EXPECT_GT(revision(kUserA), userBefore);
  EXPECT_GT(revision(0), tplBefore);
  EXPECT_TRUE(baseDataFlag(10));
  EXPECT_FALSE(baseDataFlag(20));

  // Updating a listed row; nothing deleted without bDelAll.
  auto upd = entries({Variant(dict({{"FSubFuncID", 100}, {"FFuncName", "凭证处理"}, {"FRefresh", 1}}))});
  bool keep = false;
  up_.RefreshSubFunc(props(kAdmin), sys, upd, keep, tpl);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavSubFunc WHERE FSubSysID = 10"), 2);
  EXPECT_EQ(count("SELECT FRefresh FROM t_NavSubFunc WHERE FSubFuncID = 100 AND FFuncName = '凭证处理'"), 1);
  // The same list again changes no row: the template's version stays, the flag is set.
  up_.UpdateSysBaseData(props(kAdmin));
  const auto unchanged = revision(0);
  auto same = entries({Variant(dict({{"FSubFuncID", 100}, {"FFuncName", "凭证处理"}, {"FRefresh", 1}})),
                       Variant(102)});
  up_.RefreshSubFunc(props(kAdmin), sys, same, delAll, tpl);
  EXPECT_EQ(revision(0), unchanged);
  EXPECT_TRUE(baseDataFlag(10));

  up_.UpdateSysBaseData(props(kAdmin));
  EXPECT_FALSE(baseDataFlag(10));
}

TEST_F(Maintenance, AFunctionMovedByARefreshTakesTheUsersRowsAlong) {
  int32_t id = 10001;
  auto d = dict({{"NewName", "我的凭证录入"}});
  up_.UpdateDetailFuncAttr(props(kUserA), id, d, false, none_);
  const auto before = revision(kUserA);
  int32_t sys = 10;
  bool keep = false, tpl = true;
  auto moved = entries({Variant(dict({{"FDetailFuncID", 10001}, {"FSubFuncID", 101}}))});
  up_.RefreshDetailFunc(props(kAdmin), sys, moved, keep, tpl);
  EXPECT_EQ(count("SELECT FSubFuncID FROM t_NavDetailFunc WHERE FDetailFuncID = 10001"), 101);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FDetailFuncID = 10001 AND FSubFuncID = 100"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FDetailFuncID = 10001 AND FSubFuncID = 101 "
                  "AND FFuncName = '我的凭证录入'"),
            1);
  EXPECT_GT(revision(kUserA), before);

  // An empty show name is none, whether the template's editor or a refresh sends it.
  const std::string isNull = "SELECT COUNT(*) FROM t_NavDetailFunc WHERE FDetailFuncID = 10001 AND FShowName IS NULL";
  for (bool byRefresh : {false, true}) {
    auto shown = dict({{"ShowName", "模板显示名"}});
    up_.UpdateDetailFuncAttr(props(kAdmin), id, shown, true, none_);
    EXPECT_EQ(count(isNull), 0);
    if (byRefresh) {
      auto cleared = entries({Variant(dict({{"FDetailFuncID", 10001}, {"FSubFuncID", 101}, {"FShowName", ""}}))});
      up_.RefreshDetailFunc(props(kAdmin), sys, cleared, keep, tpl);
    } else {
      auto cleared = dict({{"ShowName", ""}});
      up_.UpdateDetailFuncAttr(props(kAdmin), id, cleared, true, none_);
    }
    EXPECT_EQ(count(isNull), 1) << byRefresh;
  }
}

TEST_F(Maintenance, RefreshRefusalsChangeNothing) {
  // B's custom function under 100 stops a refresh that would delete 100.
  auto det = dict({{"NewName", "工具"}, {"FClassName", "/opt/x"}});
  int32_t sub = 100, index = 0;
  bool no = false, yes = true;
  up_.CreateDetailFunc(props(kUserB), sub, index, det, no);
  const std::string state = dump();
  int32_t sys = 10, otherSys = 20;
  auto empty = entries({});
  expectRefused([&] { up_.RefreshSubFunc(props(kAdmin), sys, empty, yes, yes); }, "自定义的明细功能");
  expectRefused([&] { up_.RefreshSubFunc(props(kUserA), sys, empty, yes, yes); }, "系统管理员");
  expectRefused([&] { up_.RefreshSubFunc(props(kAdmin), sys, empty, yes, no); }, "公共模板");
  auto foreign = entries({Variant(200)});
  expectRefused([&] { up_.RefreshSubFunc(props(kAdmin), sys, foreign, no, yes); }, "不属于");
  auto unnamed = entries({Variant(dict({{"FSubFuncID", 150}}))});
  expectRefused([&] { up_.RefreshSubFunc(props(kAdmin), sys, unnamed, no, yes); }, "需要名称");
  auto detailElsewhere = entries({Variant(dict({{"FDetailFuncID", 30001}, {"FSubFuncID", 200}, {"FFuncName", "x"}}))});
  expectRefused([&] { up_.RefreshDetailFunc(props(kAdmin), sys, detailElsewhere, no, yes); }, "不在子系统");
  // What any other change refuses: a quote in a help code, a blank name.
  for (const char* key : {"FHelpCode", "FHelpCode1", "FFuncName"}) {
    const bool helpCode = key[1] == 'H';
    auto values = dict({{"FDetailFuncID", 10001}, {"FSubFuncID", 100}});
    values->SetValue(key, Variant(std::string(helpCode ? "A'B" : "  ")));
    auto bad = entries({Variant(values)});
    expectRefused([&] { up_.RefreshDetailFunc(props(kAdmin), sys, bad, no, yes); }, helpCode ? "单引号" : "不能为空");
  }
  EXPECT_EQ(dump(), state);

  // The detail functions of subsystem 20: a new one, the old one removed with A's favourite of it.
  std::string h, s = "订单", n = "采购订单";
  int32_t func = 20001, group = -1;
  up_.AppendNormalItem(props(kUserA), func, h, s, n, group);
  auto details = entries({Variant(dict({{"FDetailFuncID", 20002}, {"FSubFuncID", 200}, {"FFuncName", "采购退货"},
                                        {"FClassName", "PO.Return"}, {"FHelpCode", "CGTH"}}))});
  up_.RefreshDetailFunc(props(kAdmin), otherSys, details, yes, yes);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavDetailFunc WHERE FSubFuncID = 200"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavDetailFunc WHERE FDetailFuncID = 20002 AND FHelpCode = 'CGTH'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem"), 0);
}

TEST_F(Maintenance, RefreshStatusSetsTheFlagTheEditorLocksBy) {
  int32_t sub = 100, on = 1, bad = 2, custom = 10000000;
  const auto before = revision(0);
  up_.ReFreshStatus(props(kAdmin), sub, on);
  EXPECT_EQ(count("SELECT FRefresh FROM t_NavSubFunc WHERE FSubFuncID = 100"), 1);
  EXPECT_EQ(revision(0), before + 1);
  up_.ReFreshStatus(props(kAdmin), sub, on);  // already so
  EXPECT_EQ(revision(0), before + 1);
  expectRefused([&] { up_.ReFreshStatus(props(kAdmin), sub, bad); }, "0 或 1");
  expectRefused([&] { up_.ReFreshStatus(props(kAdmin), custom, on); }, "模板中没有");
  expectRefused([&] { up_.ReFreshStatus(props(kUserA), sub, on); }, "系统管理员");
}

TEST_F(Maintenance, SubsystemsNotInstalledAreHiddenAndComeBackWhenInstalled) {
  // B made subsystem 20 visible in its own row (the template's default anyway).
  int32_t sys = 20;
  auto d = dict({{"NewName", "采购管理"}});
  up_.UpdateSystemFunc(props(kUserB), sys, d, false, none_);
  middletier::setSubSystemInstalled(path(), 20, false);
  const auto bBefore = revision(kUserB);
  up_.SetUnInsSys(props(kAdmin));
  EXPECT_EQ(count("SELECT FVisible FROM t_NavSubSystem WHERE FSubSysID = 20"), 0);
  EXPECT_EQ(count("SELECT FVisible FROM t_NavUserSubSystem WHERE FSubSysID = 20"), 0);
  EXPECT_GT(revision(kUserB), bBefore);
  EXPECT_EQ(count("SELECT FVisible FROM t_NavSubSystem WHERE FSubSysID = 10"), 1);

  // A renames it while it is hidden, sending the box as shown: A's new row is
  // hidden as the template's is.
  auto rename = dict({{"NewName", "我的采购"}, {"Visible", 0}});
  up_.UpdateSystemFunc(props(kUserA), sys, rename, false, none_);
  const std::string visibleOfA =
      "SELECT FVisible FROM t_NavUserSubSystem WHERE FSubSysID = 20 AND FUserID = " + std::to_string(kUserA);
  EXPECT_EQ(count(visibleOfA), 0);

  up_.RefreshActivFunc(props(kAdmin));  // still not installed: stays hidden
  EXPECT_EQ(count("SELECT FVisible FROM t_NavSubSystem WHERE FSubSysID = 20"), 0);
  middletier::setSubSystemInstalled(path(), 20, true);
  up_.RefreshActivFunc(props(kAdmin));
  EXPECT_EQ(count("SELECT FVisible FROM t_NavSubSystem WHERE FSubSysID = 20"), 1);
  EXPECT_EQ(count("SELECT FVisible FROM t_NavUserSubSystem WHERE FSubSysID = 20 AND FUserID = " +
                  std::to_string(kUserB)),
            1);
  EXPECT_EQ(count(visibleOfA), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUnInsHidden"), 0);
  // Uninstalled once more: hidden once more, and the clients are told.
  middletier::setSubSystemInstalled(path(), 20, false);
  const auto tpl = revision(0);
  up_.SetUnInsSys(props(kAdmin));
  EXPECT_EQ(count("SELECT FVisible FROM t_NavSubSystem WHERE FSubSysID = 20"), 0);
  EXPECT_GT(revision(0), tpl);
  up_.SetUnInsSys(props(kAdmin));  // nothing left to hide
  EXPECT_EQ(revision(0), tpl + 1);
  expectRefused([&] { up_.SetUnInsSys(props(kUserA)); }, "系统管理员");
}

}  // namespace
}  // namespace wayfind::erp::testing
