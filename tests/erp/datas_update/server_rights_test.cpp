// The rights the PostgreSQL server keeps by itself: each ERP user connects as a
// role of their own, and plain SQL through that connection cannot change another
// user's rows, the template, the versions or who is an administrator. Through
// the middle tier the same attempts are refused with clear errors; the data
// access service only reads. Runs only against a server (WAYFIND_TEST_PG).
#include <unistd.h>

#include "erp/client/bill_use_info.h"
#include "erp/middletier/erp_test_db.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

class ServerRights : public UpdateTest {
 protected:
  void SetUp() override {
    if (!onServer()) GTEST_SKIP() << "needs a PostgreSQL server (WAYFIND_TEST_PG)";
    UpdateTest::SetUp();
    // Role names are the server's, not the database's: make them unique.
    prefix_ = "wf" + std::to_string(getpid()) + "_" + std::to_string(++counter_) + "_";
    for (const auto& [user, name] : {std::pair{kAdmin, "admin"}, {kUserA, "a"}, {kUserB, "b"}}) {
      const std::string role = prefix_ + name;
      conn().exec("CREATE ROLE " + role + " LOGIN");  // the test's own names
      conn().exec("GRANT wayfind_user, wayfind_reader TO " + role);
      conn().prepare("INSERT INTO t_UserRole(FUserID, FRoleName) VALUES (?, ?)").bindAll(user, role).run();
      roles_.push_back(role);
    }
    conn().exec("CREATE ROLE " + prefix_ + "stranger LOGIN; GRANT wayfind_user TO " + prefix_ + "stranger");
    roles_.push_back(prefix_ + "stranger");
    // B has rows and favourites of its own for A to try to touch.
    int32_t id = 100;
    std::string name = "B 的凭证";
    up_.UpdateSubSysFuncName(props(kUserB), id, name);
    int32_t func = 10001, group = -1;
    std::string help, show, fname = "凭证录入";
    up_.AppendNormalItem(props(kUserB), func, help, show, fname, group);
  }
  void TearDown() override {
    if (!onServer()) return;
    storage::releaseThreadConnections();
    UpdateTest::TearDown();
    auto admin = storage::Connection::open(testServer());
    for (const auto& role : roles_) admin->exec("DROP ROLE IF EXISTS " + role);
  }
  std::string as(const std::string& who) { return asRole(path(), prefix_ + who); }

  std::string prefix_;
  std::vector<std::string> roles_;
  static inline int counter_ = 0;
};

// Rows changed by sql on conn, or -1 when the server refused it.
int changed(storage::Connection& c, const std::string& sql) {
  try {
    return c.prepare(sql).run();
  } catch (const platform::AutomationError&) {
    return -1;
  }
}

TEST_F(ServerRights, PlainSqlOfAUserCannotTouchOthersRowsTheTemplateOrTheRights) {
  const std::string before = dump();
  const int64_t revB = revision(kUserB), revT = revision(0);
  auto a = storage::Connection::open(as("a"));
  // Another user's rows: invisible to change, refused to insert.
  EXPECT_EQ(changed(*a, "UPDATE t_NavUserSubFunc SET FFuncName = 'x' WHERE FUserID = 16386"), 0);
  EXPECT_EQ(changed(*a, "DELETE FROM t_NavUserSubFunc WHERE FUserID = 16386"), 0);
  EXPECT_EQ(changed(*a, "INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName) "
                        "VALUES (16386, 101, 10, 'x')"),
            -1);
  EXPECT_EQ(changed(*a, "DELETE FROM t_NavFuncGroupItem"), 0);
  EXPECT_EQ(changed(*a, "UPDATE t_NavFuncGroup SET FFuncGroupName = 'x'"), 0);
  // Moving a row of one's own to another user is refused too.
  EXPECT_EQ(changed(*a, "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (16385, 'k', 'v')"), 1);
  EXPECT_EQ(changed(*a, "UPDATE t_NavUserProfile SET FUserID = 16386 WHERE FUserID = 16385"), -1);
  // The template and the versions.
  EXPECT_EQ(changed(*a, "UPDATE t_NavTopClass SET FTopClassName = 'x'"), 0);
  EXPECT_EQ(changed(*a, "DELETE FROM t_NavDetailFunc"), 0);
  EXPECT_EQ(changed(*a, "INSERT INTO t_NavTopClass(FTopClassID, FTopClassName) VALUES (9, 'x')"), -1);
  EXPECT_EQ(changed(*a, "UPDATE t_NavVersion SET FRevision = 999 WHERE FUserID IN (0, 16386)"), 0);
  EXPECT_EQ(changed(*a, "UPDATE t_NavProfile SET FValue = 'x'"), 0);
  // Who is who: no way to become an administrator or somebody else.
  EXPECT_EQ(changed(*a, "INSERT INTO t_Group(FGroupID, FUserID) VALUES (1, 16385)"), -1);
  EXPECT_EQ(changed(*a, "UPDATE t_UserRole SET FUserID = 16384"), -1);
  EXPECT_EQ(changed(*a, "UPDATE t_User SET FForbidden = 1"), -1);
  EXPECT_EQ(changed(*a, "CREATE TEMP TABLE t_UserRole(FUserID integer, FRoleName text)"), -1);
  // A role that is no ERP user reads and changes nothing of anyone's.
  auto stranger = storage::Connection::open(as("stranger"));
  EXPECT_EQ(changed(*stranger, "DELETE FROM t_NavUserSubFunc"), 0);
  EXPECT_EQ(changed(*stranger, "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (16385, 'k2', 'v')"), -1);

  a.reset();
  stranger.reset();
  conn().exec("DELETE FROM t_NavUserProfile WHERE FUserID = 16385 AND FName = 'k'");
  EXPECT_EQ(dump(), before);
  EXPECT_EQ(revision(kUserB), revB);
  EXPECT_EQ(revision(0), revT);

  // What a user may do, the server lets them: their own rows.
  auto own = storage::Connection::open(as("a"));
  EXPECT_EQ(changed(*own, "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (16385, 'k', 'v')"), 1);
  // An administrator changes the template through their own connection.
  auto admin = storage::Connection::open(as("admin"));
  EXPECT_EQ(changed(*admin, "UPDATE t_NavTopClass SET FTopClassName = '财务部' WHERE FTopClassID = 1"), 1);
}

TEST_F(ServerRights, MiddleTierOnAUsersConnectionRefusesWhatTheUserMayNotDo) {
  middletier::ServerDatasUpdate up(as("a"));
  middletier::ServerDataInfo info(as("a"));
  platform::DictionaryPtr none;
  // The user's own change goes through on the user's own connection.
  int32_t id = 101;
  std::string name = "我的账簿";
  up.UpdateSubSysFuncName(props(kUserA), id, name);
  EXPECT_EQ(row(userTable(kUserA, "SubFunc"), "FSubFuncID", 101)["FFuncName"], platform::Variant(name));
  // Posing as another user in the login is refused before anything is written.
  expectRefused([&] { up.UpdateSubSysFuncName(props(kUserB), id, name); }, "不一致");
  expectRefused([&] { info.GetUserData(props(kUserB)); }, "不一致");
  // The template, applying to users: administrators only, as on SQLite.
  int32_t top = 1;
  auto d = dict({{"NewName", platform::Variant("改")}});
  expectRefused([&] { up.UpdateTopClass(props(kUserA), top, d, true, none); }, "系统管理员");
  auto targets = std::make_shared<platform::Vector>();
  expectRefused([&] { up.ApplyAllUser(props(kUserA), targets, none); }, "系统管理员");
  // A role that is no ERP user gets a clear refusal.
  middletier::ServerDatasUpdate stranger(as("stranger"));
  expectRefused([&] { stranger.UpdateSubSysFuncName(props(kUserA), id, name); }, "不对应任何 ERP 用户");

  // The administrator's own connection may do both.
  middletier::ServerDatasUpdate adminUp(as("admin"));
  adminUp.UpdateTopClass(props(kAdmin), top, d, true, none);
  auto chosen = std::make_shared<platform::Vector>();
  chosen->Append(platform::Variant(kUserB));
  platform::VectorPtr targets2 = chosen;
  platform::DictionaryPtr from = dict({{"TemplateUserID", platform::Variant(kUserA)}});
  adminUp.ApplyAllUser(props(kAdmin), targets2, from);
  EXPECT_EQ(row(userTable(kUserB, "SubFunc"), "FSubFuncID", 101)["FFuncName"], platform::Variant(name));
}

TEST_F(ServerRights, DataAccessReadsOnlyWithTheReaderRole) {
  client::BillUseInfo data(as("a"));
  auto rs = data.GetData(props(kUserA), "SELECT FTopClassID, FTopClassName FROM t_NavTopClass ORDER BY 1");
  EXPECT_EQ(rs->RecordCount(), 2);
  auto who = data.GetData(props(kUserA), "SELECT current_user AS who");
  EXPECT_EQ(who->value("who").asString(), "wayfind_reader");
  const std::string before = dump();
  expectRefused([&] { data.GetData(props(kUserA), "DELETE FROM t_NavUserSubFunc"); }, "只读");
  expectRefused([&] { data.GetData(props(kUserA), "WITH d AS (DELETE FROM t_NavUserSubFunc RETURNING 1) SELECT * FROM d"); },
                "只读");
  expectRefused([&] { data.GetData(props(kUserA), "SELECT set_config('role', session_user, true)"); }, "set_config");
  expectRefused([&] { data.GetData(props(kUserA), "SELECT 1; DELETE FROM t_NavUserSubFunc"); }, "");
  EXPECT_EQ(dump(), before);
}

}  // namespace
}  // namespace wayfind::erp::testing
