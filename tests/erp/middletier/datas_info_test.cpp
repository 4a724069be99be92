#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

#include "erp/demo/demo_company.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/server_datas_info.h"
#include "platform/recordset/recordset.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::propsFor;
using erp::testing::TempDatabase;

namespace {
int32_t i32(int32_t v) { return v; }
}

class ServerDatasInfoTest : public ::testing::Test {
 protected:
  TempDatabase db;
  middletier::ServerDatasInfo server;
  std::string zhang = propsFor(demo::ids::kZhangWei);
  std::string admin = propsFor(demo::ids::kAdministrator);
};

TEST_F(ServerDatasInfoTest, SubSysClassPrefersTheUsersOwnClass) {
  int32_t id = 101, type = 2;
  EXPECT_EQ(server.GetSubSysClass(zhang, id, type), "ZecglView.GLData");
  id = 100000;
  EXPECT_EQ(server.GetSubSysClass(zhang, id, type), "ZecCustom.Tools");  // custom subsystem
  EXPECT_EQ(server.GetSubSysClass(admin, id, type), "");                // not the admin's
  id = 10101, type = 3;
  EXPECT_EQ(server.GetSubSysClass(zhang, id, type), "ZecglView.GLData");
  id = 1000000000, type = 4;
  EXPECT_EQ(server.GetSubSysClass(zhang, id, type), "/usr/bin/gnome-calculator");
  id = 101, type = 9;
  EXPECT_EQ(server.GetSubSysClass(zhang, id, type), "");
}

TEST_F(ServerDatasInfoTest, SubSysNameIsTheHoldingSubsystemInTheUsersView) {
  int32_t id = 1010101;
  EXPECT_EQ(server.GetSubSysName(zhang, id), "总账（张伟）");   // renamed by the user
  EXPECT_EQ(server.GetSubSysName(admin, id), "总账");
  EXPECT_EQ(server.GetSubSysName(propsFor(demo::ids::kAdministrator, "en"), id), "General Ledger");
  id = 1000000000;  // custom function under a custom sub-function and subsystem
  EXPECT_EQ(server.GetSubSysName(zhang, id), "常用工具");
  id = 123;
  EXPECT_EQ(server.GetSubSysName(zhang, id), "");
}

TEST_F(ServerDatasInfoTest, HelpCodesMatchTheUsersViewAndTheSecondCode) {
  std::string code = "PZLR";
  auto rs = server.GetHelpCodeInfo(admin, code);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("FDetailFuncID").asLong(), 1010101);
  EXPECT_EQ(rs->value("FHelpCode1").asString(), "VE");
  // Zhang replaced PZLR by JZPZ: the new code finds it, the old one no longer.
  code = "JZPZ";
  rs = server.GetHelpCodeInfo(zhang, code);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("FHelpCode").asString(), "JZPZ");
  EXPECT_EQ(rs->value("FFuncName").asString(), "记账凭证录入");
  // The old code no longer finds it there, but still where Zhang keeps a copy
  // with it: his own folder 7501031 shows it as PZLR.
  code = "PZLR";
  rs = server.GetHelpCodeInfo(zhang, code);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("FSubFuncID").asLong(), 7501031);
  // The second template code finds it for everyone, at each of its places.
  code = "VE";
  rs = server.GetHelpCodeInfo(zhang, code);
  ASSERT_GE(rs->RecordCount(), 1);
  rs->setFilter("FDetailFuncID = 1010101");
  EXPECT_EQ(rs->RecordCount(), 2);
  // Letters in either case, as the component's filter on the answer compares.
  code = "jzPz";
  rs = server.GetHelpCodeInfo(zhang, code);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("FDetailFuncID").asLong(), 1010101);
  // A custom function's own code.
  code = "JSQ";
  rs = server.GetHelpCodeInfo(zhang, code);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("FDetailFuncID").asLong(), 1000000000);
  code = "";
  EXPECT_EQ(server.GetHelpCodeInfo(zhang, code)->RecordCount(), 0);
}

TEST_F(ServerDatasInfoTest, HelpCodeShowNamesAreInTheCallersLanguage) {
  // A stored show name is Chinese: other languages see the function's own name,
  // as in the template dictionary.
  db.conn().exec("UPDATE t_NavDetailFunc SET FShowName = '凭证新增' WHERE FDetailFuncID = 1010101");
  std::string code = "PZLR";
  EXPECT_EQ(server.GetHelpCodeInfo(admin, code)->value("FShowName").asString(), "凭证新增");
  EXPECT_EQ(server.GetHelpCodeInfo(propsFor(demo::ids::kAdministrator, "en"), code)->value("FShowName").asString(),
            "Voucher Entry");
  EXPECT_EQ(server.GetHelpCodeInfo(propsFor(demo::ids::kAdministrator, "cht"), code)->value("FShowName").asString(),
            "憑證錄入");
}

TEST_F(ServerDatasInfoTest, NextIndexFollowsTemplateAndUserChildren) {
  int32_t type = 4, id = 10101;  // 6 template functions
  EXPECT_EQ(server.GetNextIndex(admin, type, id).asLong(), 7);
  type = 3, id = 100000;  // custom subsystem with one custom sub-function of Zhang
  EXPECT_EQ(server.GetNextIndex(zhang, type, id).asLong(), 2);
  EXPECT_EQ(server.GetNextIndex(admin, type, id).asLong(), 1);
  type = 1, id = 0;
  EXPECT_EQ(server.GetNextIndex(zhang, type, id).asLong(), 12);  // Zhang's custom top class has index 11
  type = 0;
  EXPECT_THROW(server.GetNextIndex(zhang, type, id), platform::AutomationError);
}

TEST_F(ServerDatasInfoTest, NextIdIsAtOrAboveTheLevelBaseAndAboveEveryIdInUse) {
  int32_t type = 1, parent = 0;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1001);   // Zhang holds 1000
  type = 2;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 100001);
  type = 3;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 10000001);
  type = 4;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1000000003);
  // A deleted item's number is not handed out again; a level never used starts
  // at the base.
  db.conn().exec("DELETE FROM t_NavUserTopClass");
  type = 1;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1001);
  db.conn().exec("DELETE FROM t_WayfindRetiredId");
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1000);
  // The top of the range taken: the lowest free identifier below it.
  db.conn().exec("INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID) VALUES (16384, 1, 2147483647)");
  type = 4;
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1000000003);
  // Not even then a deleted item's number.
  db.conn().exec("DELETE FROM t_NavUserDetailFunc WHERE FDetailFuncID = 1000000001");
  EXPECT_EQ(server.GetNextID(admin, type, parent).asLong(), 1000000003);
}

TEST_F(ServerDatasInfoTest, ExportHoldsTheUsersOwnCustomisation) {
  auto dict = server.ExportUserData(zhang);
  EXPECT_EQ(dict->GetValue("Format").asString(), "WayfindUserData");
  EXPECT_EQ(dict->GetValue("UserID").asLong(), demo::ids::kZhangWei);
  auto profile = dict->GetValue("Profile").objectAs<platform::Recordset>();
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->RecordCount(), 2);  // only what Zhang set, not the defaults
  auto detail = dict->GetValue("DetailFunc").objectAs<platform::Recordset>();
  ASSERT_TRUE(detail);
  EXPECT_EQ(detail->RecordCount(), 8);
  auto groups = dict->GetValue("FuncGroup").objectAs<platform::Recordset>();
  ASSERT_TRUE(groups);
  EXPECT_EQ(groups->RecordCount(), 2);
  auto items = dict->GetValue("FuncGroupItem").objectAs<platform::Recordset>();
  ASSERT_TRUE(items);
  EXPECT_EQ(items->RecordCount(), 7);
  // The saved form round-trips (it becomes a template file).
  platform::Dictionary copy;
  ASSERT_TRUE(copy.deserialize(dict->serialize()));
  EXPECT_EQ(copy.Keys(), dict->Keys());
}

TEST_F(ServerDatasInfoTest, FavouritesInTheUsersOrder) {
  auto groups = server.GetNormalFuncGroup(zhang).objectAs<platform::Recordset>();
  ASSERT_TRUE(groups);
  ASSERT_EQ(groups->RecordCount(), 2);
  EXPECT_EQ(groups->value("FFuncGroupName").asString(), "常用功能");
  int32_t first = groups->value("FFuncGroupID").asLong();
  groups->MoveNext();
  EXPECT_EQ(groups->value("FFuncGroupName").asString(), "月末工作");

  auto items = server.GetDetailNormalFunc(zhang, first).objectAs<platform::Recordset>();
  ASSERT_TRUE(items);
  ASSERT_EQ(items->RecordCount(), 4);
  EXPECT_EQ(items->value("FDetailFuncID").asLong(), 1010101);
  EXPECT_EQ(items->value("FHelpCode").asString(), "PZ");
  EXPECT_EQ(items->value("FShowName").asString(), "记账凭证");
  for (const char* f : {"FDetailFuncID", "FFuncName", "FHelpCode", "FShowName"}) EXPECT_TRUE(items->hasField(f));
  // Another user's group is not readable; -1 is the first group.
  EXPECT_EQ(server.GetDetailNormalFunc(admin, first).objectAs<platform::Recordset>()->RecordCount(), 0);
  int32_t none = -1;
  EXPECT_EQ(server.GetDetailNormalFunc(zhang, none).objectAs<platform::Recordset>()->RecordCount(), 4);
  EXPECT_EQ(server.GetNormalFuncGroup(admin).objectAs<platform::Recordset>()->RecordCount(), 0);
  (void)i32;
}
