// The rights the PostgreSQL server keeps by itself: each ERP user connects as a
// role of their own, and plain SQL through that connection cannot change another
// user's rows, the template, the versions or who is an administrator. Through
// the middle tier the same attempts are refused with clear errors; the data
// access service only reads. Runs only against a server (WAYFIND_TEST_PG).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "erp/client/account_manager.h"
#include "erp/client/bill_use_info.h"
#include "erp/client/share_props.h"
#include "erp/storage/user_roles.h"
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

// The server process of a connection.
int64_t backendPid(storage::Connection& c) {
  auto st = c.prepare("SELECT pg_backend_pid()");
  st.step();
  return st.int64(0);
}

// Waits (up to a minute, a safety net only) until the superuser's view of the
// server shows pid in the state condition names.
void waitForBackend(storage::Connection& su, int64_t pid, const std::string& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    auto st = su.prepare("SELECT 1 FROM pg_stat_activity WHERE pid = ? AND " + condition);
    st.bind(1, pid);
    if (st.step()) return;
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "backend " << pid << " never reached: " << condition;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Whether the server refused sql (statements sent as one text) on conn.
bool refused(storage::Connection& c, const std::string& sql) {
  try {
    c.exec(sql);
    return false;
  } catch (const platform::AutomationError&) {
    return true;
  }
}

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
  // ... nor through the server's delete function, handed row addresses.
  {
    auto direct = a->prepare("SELECT wayfind_delete_rows('t_NavUserSubFunc', ARRAY(SELECT ctid FROM t_NavUserSubFunc))");
    ASSERT_TRUE(direct.step());
    EXPECT_EQ(direct.int64(0), 0);
  }
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
  // Nobody spends the favourites groups' numbers but the inserts that draw them.
  EXPECT_EQ(changed(*a, "SELECT nextval('t_navfuncgroup_ffuncgroupid_seq')"), -1);
  EXPECT_EQ(changed(*a, "SELECT setval('t_navfuncgroup_ffuncgroupid_seq', 2147483647)"), -1);
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
  EXPECT_EQ(changed(*own, "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) "
                          "VALUES (16385, 'g', 'g', 9)"),
            1);
  // ... but not move a group's number ahead of the ones the table hands out,
  // where somebody's next new group would fail on it.
  EXPECT_EQ(changed(*own, "UPDATE t_NavFuncGroup SET FFuncGroupID = FFuncGroupID + 1 WHERE FUserID = 16385"), -1);
  // A claim of an identifier made outside a change and committed holds nothing
  // once its transaction is over: another user's change claims it.
  own->exec("SELECT wayfind_claim_ids(1, ARRAY[424242])");
  auto other = storage::Connection::open(as("b"));
  other->beginWrite(storage::WriteLock::Shared);
  EXPECT_TRUE(other->claimIdentifiers(1, {424242}));
  other->rollback();
  // An administrator changes the template through their own connection.
  auto admin = storage::Connection::open(as("admin"));
  EXPECT_EQ(changed(*admin, "UPDATE t_NavTopClass SET FTopClassName = '财务部' WHERE FTopClassID = 1"), 1);
}

TEST_F(ServerRights, AUsersRoleHoldsABoundedNumberOfConnectionsAndAnIdleOneComesBack) {
  const std::string role = prefix_ + "c";
  storage::addUserRole(conn(), kUserC, role, 2);
  roles_.push_back(role);
  auto first = storage::Connection::open(as("c"));
  auto second = storage::Connection::open(as("c"));
  EXPECT_THROW(storage::Connection::open(as("c")), platform::AutomationError) << "a third connection is refused";
  // Everyone else goes on working, and the role cannot lift its own limit.
  auto other = storage::Connection::open(as("a"));
  EXPECT_EQ(changed(*other, "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (16385, 'kc', 'v')"), 1);
  EXPECT_EQ(changed(*first, "ALTER ROLE " + role + " CONNECTION LIMIT -1"), -1);
  // A session the server ends for idling is made again by the next call.
  first->exec("SET idle_session_timeout = '1s'");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  auto st = first->prepare("SELECT COUNT(*) FROM t_NavTopClass");
  EXPECT_TRUE(st.step());

  for (const auto& [name, user] : {std::pair<std::string, int32_t>{"Bad-Name", kUserC}, {"pg_x", kUserC},
                                   {prefix_ + "a", kUserC}, {prefix_ + "n", 99999}})
    expectRefused([&] { storage::addUserRole(conn(), user, name); }, "");
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
  // A subsystem hidden while it is not installed: A's row of it, made hidden on
  // A's own connection, is noted to come back with the template's.
  middletier::setSubSystemInstalled(path(), 20, false);
  middletier::ServerDatasUpdate(as("admin")).SetUnInsSys(props(kAdmin));
  int32_t sys = 20;
  auto renamed = dict({{"NewName", platform::Variant("我的采购")}});
  up.UpdateSystemFunc(props(kUserA), sys, renamed, false, none);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUnInsHidden WHERE FUserID = 16385 AND FSubSysID = 20"), 1);
  // Posing as another user in the login is refused before anything is written.
  expectRefused([&] { up.UpdateSubSysFuncName(props(kUserB), id, name); }, "不一致");
  expectRefused([&] { info.GetUserData(props(kUserB)); }, "不一致");
  // The template, applying to users: administrators only, as on SQLite.
  int32_t top = 1;
  auto d = dict({{"NewName", platform::Variant("改")}});
  expectRefused([&] { up.UpdateTopClass(props(kUserA), top, d, true, none); }, "系统管理员");
  auto targets = std::make_shared<platform::Vector>();
  expectRefused([&] { up.ApplyAllUser(props(kUserA), targets, none); }, "系统管理员");
  // The company's switches: told so, not the server's refusal of the write lock.
  client::publishLogin(client::makeLogin(kUserA, "张伟", "1", "t"));
  expectRefused([&] { client::AcctMgr(as("a")).SetProfile("ENTERPRISE_LOGO", "x"); }, "系统管理员");
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

  // A user's import on their own connection: A takes B's customisation over
  // A's own (A's rows deleted through the server's function, B's inserted in
  // bulk); B's rows stay.
  auto fromB = datas_.ExportUserData(props(kUserB));
  up.ImportUserData(props(kUserA), fromB);
  EXPECT_EQ(userTable(kUserA, "SubFunc")->storedRowCount(), userTable(kUserB, "SubFunc")->storedRowCount());
  EXPECT_EQ(row(userTable(kUserA, "SubFunc"), "FSubFuncID", 101)["FFuncName"], platform::Variant(name));

  // A's item deleted on A's connection: its number is kept by the server's
  // function (no ERP role may write that table), and is not handed out again.
  int32_t parent = 10, index = 0, base = 10000000;
  bool tpl = false;
  auto first = dict({{"FFuncName", platform::Variant("临时")}});
  int32_t made = platform::CLng(up.CreateSubFunc(props(kUserA), parent, index, first, tpl));
  up.DeleteItem(props(kUserA), base, made, tpl);
  auto second = dict({{"FFuncName", platform::Variant("临时")}});
  EXPECT_GT(platform::CLng(up.CreateSubFunc(props(kUserA), parent, index, second, tpl)), made);
  EXPECT_TRUE(refused(*storage::Connection::open(as("a")), "INSERT INTO t_WayfindRetiredId VALUES (3, 1)"));

  // A database an older program made: only its owner can bring it up to date,
  // and the user is told so.
  storage::releaseThreadConnections();
  auto owner = storage::Connection::open(path());
  owner->exec("UPDATE t_WayfindMeta SET FValue = '8' WHERE FKey = 'SchemaVersion'");
  expectRefused([&] { middletier::ServerDatasUpdate(as("a")).UpdateSubSysFuncName(props(kUserA), id, name); },
                "wayfind db init");
  owner->exec("UPDATE t_WayfindMeta SET FValue = '9' WHERE FKey = 'SchemaVersion'");
}

// A lock that stops readers or writers needs a table-wide UPDATE, DELETE or
// TRUNCATE right, which no ERP role holds (not even an administrator's); the
// middle tier's own locks are taken only through wayfind_lock, which gives a
// user their own rows and nobody else's.
TEST_F(ServerRights, NoRoleMayTakeALockThatStopsOthers) {
  for (const char* who : {"a", "admin"}) {
    auto c = storage::Connection::open(as(who));
    for (const char* table : {"t_NavDetailFunc", "t_NavUserSubFunc", "t_NavUserDetailFunc", "t_NavFuncGroup",
                              "t_NavFuncGroupItem", "t_NavVersion", "t_User", "t_WayfindLock"})
      for (const char* mode : {"SHARE", "SHARE ROW EXCLUSIVE", "EXCLUSIVE", "ACCESS EXCLUSIVE"}) {
        EXPECT_TRUE(refused(*c, std::string("BEGIN; LOCK TABLE ") + table + " IN " + mode + " MODE"))
            << who << " locked " << table << " in " << mode << " mode";
        c->rollback();
      }
    // Another user's rows: an administrator's to lock, not a user's.
    EXPECT_EQ(refused(*c, "BEGIN; SELECT wayfind_lock(1, 16386)"), who != std::string("admin")) << who;
    c->rollback();
  }
  auto a = storage::Connection::open(as("a"));
  EXPECT_TRUE(refused(*a, "BEGIN; SELECT wayfind_lock(0, 1)")) << "a user held the whole database";
  a->rollback();
  EXPECT_FALSE(refused(*a, "BEGIN; SELECT wayfind_lock(0, 0); SELECT wayfind_lock(1, 16385)"));
  a->rollback();
  // Every session of the database is bounded unless it lowers the bounds itself.
  for (const char* setting : {"statement_timeout", "lock_timeout", "idle_in_transaction_session_timeout"}) {
    a->exec(std::string("RESET ") + setting);
    auto st = a->prepare(std::string("SELECT current_setting('") + setting + "')");
    ASSERT_TRUE(st.step());
    EXPECT_NE(st.text(0), "0") << setting;
  }
}

// What a role may send through its own connection and keep open as long as it
// likes: none of it holds up another user's change of their own rows or their
// reading. Each abuse stays in place until B has written and read.
TEST_F(ServerRights, NoRoleHoldsUpAnotherUsersReadsOrWrites) {
  struct Abuse {
    const char* name;
    const char* sql;
    bool running;  // the last statement runs until the test ends it
    bool claims = false;  // the next custom identifiers are claimed
  };
  const Abuse abuses[] = {
      {"the old write lock's advisory keys",
       "SELECT pg_advisory_lock(1465010534); SELECT pg_advisory_lock(1465010535, 16386); "
       "SELECT pg_advisory_lock(1465010536, 3)",
       false},
      {"a long transaction holding the shared write lock and its own rows",
       "SET idle_in_transaction_session_timeout = 0; BEGIN; SELECT wayfind_lock(0, 0); SELECT wayfind_lock(1, 16385); "
       "UPDATE t_NavUserSubFunc SET FFuncName = 'x' WHERE FUserID = 16385; "
       "SELECT 1 FROM t_NavUserSubFunc WHERE FUserID = 16385 FOR UPDATE",
       false},
      {"every lock a role may take, and the next custom identifiers of every level claimed",
       "SET idle_in_transaction_session_timeout = 0; SET lock_timeout = 0; BEGIN; SELECT wayfind_lock(0, 0); "
       "SELECT wayfind_lock(1, 16385), wayfind_lock(2, 1), wayfind_lock(2, 2), wayfind_lock(2, 3), wayfind_lock(2, 4); "
       "SELECT wayfind_claim_ids(3, ARRAY(SELECT generate_series(10000000, 10002000))), "
       "wayfind_claim_ids(4, ARRAY(SELECT generate_series(1000000000, 1000002000)))",
       false, true},
      {"pg_sleep inside a transaction that read everything",
       "SET statement_timeout = 0; BEGIN; SELECT wayfind_lock(0, 0); SELECT COUNT(*) FROM t_NavUserSubFunc; "
       "SELECT COUNT(*) FROM t_NavDetailFunc; SELECT pg_sleep(600)",
       true},
  };
  // The administrator's own item, which B's import below brings along with a
  // new identifier of B's own.
  int32_t sys = 10, index = 0;
  bool tpl = false;
  auto own = dict({{"NewName", "管理员的工具"}});
  up_.CreateSubFunc(props(kAdmin), sys, index, own, tpl);
  const auto adminsFile = datas_.ExportUserData(props(kAdmin));
  auto su = storage::Connection::open(testServer());
  int round = 0;
  for (const auto& abuse : abuses) {
    SCOPED_TRACE(abuse.name);
    auto a = storage::Connection::open(as("a"));
    const int64_t pid = backendPid(*a);
    std::thread running;
    if (abuse.running) {
      running = std::thread([&] {
        try {
          a->exec(abuse.sql);
        } catch (const platform::AutomationError&) {
          // ended by the test
        }
      });
      waitForBackend(*su, pid, "state = 'active' AND query LIKE '%pg_sleep%'");
    } else {
      a->exec(abuse.sql);
    }
    // B changes and reads their own rows while the abuse is in place.
    {
      middletier::ServerDatasUpdate up(as("b"));
      middletier::ServerDataInfo info(as("b"));
      int32_t id = 100;
      std::string name = "B 改名" + std::to_string(++round);
      EXPECT_NO_THROW(up.UpdateSubSysFuncName(props(kUserB), id, name));
      platform::DictionaryPtr data;
      EXPECT_NO_THROW(data = info.GetUserData(props(kUserB)));
      if (data) {
        EXPECT_EQ(row(data->GetValue("SubFunc").objectAs<platform::Recordset>(), "FSubFuncID", 100)["FFuncName"],
                  platform::Variant(name));
      }
      // New items of B's own, and an import that must number one anew.
      auto item = dict({{"NewName", "B 的工具" + std::to_string(round)}});
      int32_t made = 0;
      EXPECT_NO_THROW(made = platform::CLng(up.CreateSubFunc(props(kUserB), sys, index, item, tpl)));
      auto file = adminsFile;
      EXPECT_NO_THROW(up.ImportUserData(props(kUserB), file));
      if (abuse.claims) {
        EXPECT_GT(made, 10002000);
        EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FUserID = 16386 AND FSubFuncID > 10002000"), 1);
      }
    }
    if (running.joinable()) {
      su->prepare("SELECT pg_terminate_backend(?)").bind(1, pid).step();
      running.join();
    }
    a.reset();
    storage::releaseThreadConnections();
  }
  // A's open transactions changed nothing, and no custom identifier is any two
  // users'.
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FFuncName = 'x'"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM (SELECT FSubFuncID FROM t_NavUserSubFunc WHERE FSubFuncID >= 10000000 "
                  "GROUP BY FSubFuncID HAVING COUNT(DISTINCT FUserID) > 1) AS shared"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_WayfindIdClaim"), 0);
}

// What needs a lock that another role keeps (an administrator's change of the
// whole database, behind a user's open change) fails after the bound with a
// clear error instead of waiting, and while it waits it holds up nobody.
TEST_F(ServerRights, AChangeBehindAnOpenTransactionFailsClearlyAndHoldsUpNobody) {
  // B's connection is open and used before, so that B's change below is a few
  // statements only.
  middletier::ServerDatasUpdate b(as("b"));
  int32_t id = 100;
  std::string name = "B 改名";
  b.UpdateSubSysFuncName(props(kUserB), id, name);
  auto a = storage::Connection::open(as("a"));
  a->exec("SET idle_in_transaction_session_timeout = 0; BEGIN; SELECT wayfind_lock(0, 0)");
  auto su = storage::Connection::open(testServer());
  std::atomic<bool> adminFailed{false};
  std::string adminError;
  std::thread admin([&] {
    try {
      middletier::ServerDatasUpdate up(as("admin"));
      int32_t top = 1;
      auto d = dict({{"NewName", platform::Variant("改")}});
      platform::DictionaryPtr none;
      up.UpdateTopClass(props(kAdmin), top, d, true, none);
    } catch (const platform::AutomationError& e) {
      adminError = e.description();
      adminFailed = true;
    }
    storage::releaseThreadConnections();
  });
  // While the administrator's change waits for the whole database, B's change of
  // their own rows does not queue behind it.
  {
    auto st = su->prepare("SELECT 1 FROM pg_stat_activity WHERE usename = ? AND wait_event_type = 'Lock'");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (;;) {
      st.reset();
      st.bind(1, prefix_ + "admin");
      if (st.step() || adminFailed || std::chrono::steady_clock::now() > giveUp) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  name = "B 在等待时改名";
  EXPECT_NO_THROW(b.UpdateSubSysFuncName(props(kUserB), id, name));
  EXPECT_FALSE(adminFailed) << "B's change came after the administrator's had given up";
  admin.join();
  EXPECT_TRUE(adminFailed);
  EXPECT_NE(adminError.find("数据库正忙"), std::string::npos) << adminError;
  a.reset();
}

TEST_F(ServerRights, DataAccessReadsOnlyWithTheReaderRole) {
  client::BillUseInfo data(as("a"));
  auto rs = data.GetData(props(kUserA), "SELECT FTopClassID, FTopClassName FROM t_NavTopClass ORDER BY 1");
  EXPECT_EQ(rs->RecordCount(), 2);
  const char* session = "SELECT current_user AS who, pg_backend_pid() AS pid";
  auto who = data.GetData(props(kUserA), session);
  EXPECT_EQ(who->value("who").asString(), "wayfind_reader");
  const std::string before = dump();
  expectRefused([&] { data.GetData(props(kUserA), "DELETE FROM t_NavUserSubFunc"); }, "只读");
  expectRefused([&] { data.GetData(props(kUserA), "WITH d AS (DELETE FROM t_NavUserSubFunc RETURNING 1) SELECT * FROM d"); },
                "只读");
  for (const char* sql :
       {"SELECT set_config('role', session_user, true)",
        "SELECT query_to_xml('select set_'||'config(''role'',''none'',true)', true, false, '')",
        "SELECT ts_stat('select set_'||'config(''role'',''none'',true)::tsvector')",
        "SELECT U&\"set\\005fconfig\"('role', 'none', true)"})
    expectRefused([&] { data.GetData(props(kUserA), sql); }, "不允许使用函数");
  expectRefused([&] { data.GetData(props(kUserA), "SELECT 1; DELETE FROM t_NavUserSubFunc"); }, "");
  EXPECT_EQ(dump(), before);
  // One server session serves query after query, refused ones among them, each
  // under the reader role again: reading logs in once, not once a query.
  auto again = data.GetData(props(kUserA), session);
  EXPECT_EQ(again->value("who").asString(), "wayfind_reader");
  EXPECT_EQ(again->value("pid"), who->value("pid"));
}

}  // namespace
}  // namespace wayfind::erp::testing
