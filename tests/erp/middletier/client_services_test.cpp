#include <gtest/gtest.h>

#include <filesystem>

#include "platform/automation/automation_error.h"

#include "erp/api/progids.h"
#include "erp/client/account_manager.h"
#include "erp/client/bill_use_info.h"
#include "erp/client/data_services.h"
#include "erp/client/security_info.h"
#include "erp/client/share_props.h"
#include "erp/demo/demo_company.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/register_server.h"
#include "platform/automation/registry.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::propsFor;
using erp::testing::TempDatabase;

namespace {
bool check(client::SecurityInfo& s, const std::string& props) {
  return s.AccessCheck(props, 2001, 0, 1, true, "BaseSys.Bar_Click").asBool();
}

const char* kGroupsQuery =
    "Select Distinct g.FGroupID,u.FName as FGroupName From t_User u Inner join t_Group g On"
    " u.fUserid =g.fGroupID Order by g.FGroupID";
std::string usersQuery(int32_t group) {
  return "Select u.FUserID,u.FName as UserName,g.FGroupID From t_User u Left join t_Group g On u.FUserID=g.FUserID "
         "\r\nWhere u.FUserID>=16384 And u.FForbidden=0 And g.FGroupID=" +
         std::to_string(group);
}
}  // namespace

TEST(SecurityInfo, AnswersFromStoredRights) {
  TempDatabase db;
  client::SecurityInfo s;
  EXPECT_TRUE(check(s, propsFor(demo::ids::kAdministrator)));  // administrator
  EXPECT_TRUE(check(s, propsFor(demo::ids::kZhangWei)));       // through the finance group
  EXPECT_TRUE(check(s, propsFor(16387)));                      // a right of the user itself
  EXPECT_FALSE(check(s, propsFor(16390)));                     // warehouse group: no right
  EXPECT_FALSE(check(s, propsFor(demo::ids::kForbidden)));     // forbidden, though its group has the right
  EXPECT_FALSE(check(s, propsFor(77777)));                     // unknown
  EXPECT_FALSE(check(s, "Language=chs"));                      // nobody
  // The sales group's rights lack bit 1; Li Na still has it through finance.
  EXPECT_TRUE(check(s, propsFor(demo::ids::kLiNa)));
  EXPECT_TRUE(s.AccessCheck(propsFor(demo::ids::kLiNa), 2001, 0, 2, true, "x").asBool());
  EXPECT_FALSE(s.AccessCheck(propsFor(demo::ids::kZhangWei), 2001, 0, 2, true, "x").asBool());

  EXPECT_TRUE(s.IsAdministrator(propsFor(demo::ids::kWangFang)));
  EXPECT_FALSE(s.IsAdministrator(propsFor(demo::ids::kZhangWei)));
  EXPECT_FALSE(s.IsAdministrator(propsFor(77777)));
  db.conn().exec("UPDATE t_User SET FForbidden = 1 WHERE FUserID = 16394");
  EXPECT_FALSE(s.IsAdministrator(propsFor(demo::ids::kWangFang)));
}

TEST(AcctMgr, StoresCompanySwitchesForAdministratorsOnly) {
  TempDatabase db;
  client::publishLogin(client::makeLogin(demo::ids::kWangFang, "王芳", "Industry", "t"));
  client::AcctMgr m;
  EXPECT_EQ(m.GetProfile("COMPANY_NOTSHOW"), "1");
  EXPECT_EQ(m.GetProfile("COMPANY_NOTSAVE"), "");  // unset
  m.SetProfile("COMPANY_NOTSAVE", "0");
  EXPECT_EQ(m.GetProfile("COMPANY_NOTSAVE"), "0");
  m.SetProfile("COMPANY_NOTSAVE", "1");
  EXPECT_EQ(client::AcctMgr().GetProfile("COMPANY_NOTSAVE"), "1");
  EXPECT_THROW(m.SetProfile("", "1"), platform::AutomationError);
  // A plain user's process may read them, not change them.
  client::publishLogin(client::makeLogin(demo::ids::kZhangWei, "张伟", "Industry", "t"));
  EXPECT_THROW(m.SetProfile("COMPANY_NOTSAVE", "0"), platform::AutomationError);
  EXPECT_EQ(m.GetProfile("COMPANY_NOTSAVE"), "1");
}

TEST(BillUseInfo, RunsTheUserSelectionQueriesAsTheyStand) {
  TempDatabase db;
  client::BillUseInfo data;
  const auto props = propsFor(demo::ids::kWangFang);
  auto groups = data.GetData(props, kGroupsQuery);
  ASSERT_EQ(groups->RecordCount(), 6);
  EXPECT_EQ(groups->value("FGroupID").asLong(), 1);
  EXPECT_EQ(groups->value("FGroupName").asString(), "系统管理员组");
  EXPECT_EQ(groups->fieldInfo(1).type, platform::DataType::VarWChar);

  auto finance = data.GetData(props, usersQuery(2));
  EXPECT_EQ(finance->RecordCount(), 5);
  EXPECT_TRUE(finance->hasField("UserName"));
  // Li Na is in two groups and shows up under both.
  finance->setFilter("FUserID = 16386");
  EXPECT_EQ(finance->RecordCount(), 1);
  auto sales = data.GetData(props, usersQuery(3));
  sales->setFilter("FUserID = 16386");
  EXPECT_EQ(sales->RecordCount(), 1);
  // The auditors hold only a forbidden user and a built-in account: nobody qualifies.
  EXPECT_EQ(data.GetData(props, usersQuery(demo::ids::kAuditGroup))->RecordCount(), 0);
}

TEST(BillUseInfo, RefusesEverythingButOneReadOnlySelect) {
  TempDatabase db;
  client::BillUseInfo data;
  const auto props = propsFor(demo::ids::kWangFang);
  const char* refused[] = {
      "DELETE FROM t_User",
      "UPDATE t_User SET FName = 'x'",
      "INSERT INTO t_User(FUserID, FName) VALUES (20000, 'x')",
      "SELECT 1; DELETE FROM t_User",
      "SELECT 1; SELECT 2",
      "ATTACH DATABASE '/tmp/x.db' AS x",
      "DETACH DATABASE main",
      "PRAGMA user_version = 7",
      "PRAGMA journal_mode = DELETE",
      "CREATE TABLE t_X(a)",
      "DROP TABLE t_User",
      "VACUUM",
      "BEGIN",
      "WITH x AS (SELECT 1) DELETE FROM t_User",
      "",
      "   -- only a comment",
      "SELEKT * FROM t_User",
      "PRAGMA writable_schema = 1",
      "SELECT load_extension('x')",
      "VACUUM INTO 'copy.db'",
      "SELECT 1 /* ; */; /* a second one: */ DELETE FROM t_User",
      "SELECT 1;; DELETE FROM t_User",
      "SELECT 1; ; SELECT 2",
      "SELECT 1 -- comment\n; UPDATE t_User SET FName = 'x'",
  };
  for (const char* sql : refused) {
    try {
      data.GetData(props, sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const platform::AutomationError& e) {
      EXPECT_EQ(e.number(), platform::err::kInvalidProcedureCall) << sql;
      EXPECT_EQ(e.source(), "T8MSmsManager.clsBillUseInfo") << sql;
    }
  }
  // Said in the caller's language.
  try {
    data.GetData(propsFor(demo::ids::kWangFang, "en"), "SELECT nosuchcol FROM t_User");
    ADD_FAILURE() << "accepted";
  } catch (const platform::AutomationError& e) {
    EXPECT_TRUE(e.description().starts_with("The query is not valid: ")) << e.description();
  }
  auto st = db.conn().prepare("SELECT COUNT(*) FROM t_User");
  ASSERT_TRUE(st.step());
  EXPECT_EQ(st.int64(0), 18);
  EXPECT_EQ(storage::schemaVersion(db.conn()), storage::kSchemaVersion);
  EXPECT_FALSE(std::filesystem::exists("copy.db"));
  EXPECT_FALSE(std::filesystem::exists(db.folder() / "copy.db"));
  // The read-only connection kept between queries is left as it was found: a
  // change made since the refusals is seen.
  db.conn().exec("UPDATE t_User SET FName = 'renamed' WHERE FUserID = 16384");
  EXPECT_EQ(data.GetData(props, "SELECT FName FROM t_User WHERE FUserID = 16384")->value("FName").asString(), "renamed");
  // A trailing semicolon, blanks and a comment are one statement still.
  EXPECT_EQ(data.GetData(props, "SELECT FName FROM t_User WHERE FUserID = 16384; -- admin")->RecordCount(), 1);
  EXPECT_EQ(data.GetData(props, "SELECT FName FROM t_User WHERE FUserID = 16384 ;  \r\n ")->RecordCount(), 1);
  // No valid caller, no data.
  EXPECT_THROW(data.GetData("Language=chs", "SELECT 1"), platform::AutomationError);
}

TEST(Registration, EveryServiceIsCreatedByItsProgId) {
  TempDatabase db;
  middletier::registerServerComponents();
  client::registerDataServices();
  auto& r = platform::Registry::instance();
  for (const char* id : {progid::kServerDataInfo, progid::kServerDatasInfo, progid::kSecurity, progid::kAcctMgr,
                         progid::kBillUseInfo})
    EXPECT_TRUE(r.create(id)) << id;
  auto security = r.createAs<api::ISecurityInfo>(progid::kSecurity);
  EXPECT_TRUE(security->IsAdministrator(propsFor(demo::ids::kAdministrator)));
}
