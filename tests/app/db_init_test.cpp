// "wayfind db init" end to end, in its own processes: on an SQLite file, and on a
// new PostgreSQL database when WAYFIND_TEST_PG names a server (the PostgreSQL
// half of scripts/test), where nothing else ever creates the tables.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "erp/middletier/erp_test_db.h"

namespace fs = std::filesystem;
namespace wf = wayfind::erp::testing;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

class DbInit : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("wayfind-dbinit-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    db_ = wf::newTestDatabase(dir_);
  }
  void TearDown() override {
    wf::dropTestDatabase(db_);
    fs::remove_all(dir_);
  }
  Outcome wayfind(const std::string& args) {
    const std::string cmd = "WAYFIND_DB='" + db_.string() + "' WAYFIND_CACHE_DIR='" + (dir_ / "cache").string() +
                            "' '" WAYFIND_EXE "' " + args + " >'" + (dir_ / "out").string() + "' 2>'" +
                            (dir_ / "err").string() + "' </dev/null";
    Outcome r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream out(dir_ / "out"), err(dir_ / "err");
    r.out.assign(std::istreambuf_iterator<char>(out), {});
    r.err.assign(std::istreambuf_iterator<char>(err), {});
    return r;
  }
  fs::path dir_, db_;
};

TEST_F(DbInit, CreatesTheTablesAndTheDemoCompanyOnceAndTheProgramThenRunsOnThem) {
  if (wf::onServer()) {
    // An empty server database is refused, saying what to do.
    const auto before = wayfind("tree");
    EXPECT_EQ(before.status, 1);
    EXPECT_NE(before.err.find("wayfind db init"), std::string::npos) << before.err;
  }
  const auto init = wayfind("db init --demo");
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_NE(init.out.find("Created the WayfindInfo tables and the demo company"), std::string::npos) << init.out;
  // A password given in the location is never printed.
  EXPECT_EQ(init.out.find("password="), std::string::npos);

  const auto tree = wayfind("tree");
  ASSERT_EQ(tree.status, 0) << tree.err;
  EXPECT_NE(tree.out.find("Top 1  财务会计"), std::string::npos) << tree.out.substr(0, 400);

  const auto change = wayfind("call DatasUpdate.UpdateSubSysFuncName 10101 凭证管理");
  ASSERT_EQ(change.status, 0) << change.err;
  EXPECT_NE(wayfind("tree").out.find("Sub 10101  凭证管理"), std::string::npos);

  const auto again = wayfind("db init --demo");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("nothing changed"), std::string::npos) << again.out;
  // The user's change is still there: a second init loads nothing over it.
  EXPECT_NE(wayfind("tree").out.find("Sub 10101  凭证管理"), std::string::npos);

  EXPECT_EQ(wayfind("db frobnicate").status, 2);
  EXPECT_EQ(wayfind("db init --help").status, 0);
}

}  // namespace
