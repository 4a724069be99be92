// wayfind db synthetic: a complete company under the name asked for, or nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/command_line.h"
#include "app/db_synthetic.h"
#include "platform/automation/automation_error.h"

namespace fs = std::filesystem;
using namespace wayfind;

namespace {

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("wayfind-synthetic-" + std::to_string(::getpid()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

int run(std::vector<std::string> args, std::string& out, std::string& err) {
  std::istringstream in;
  std::ostringstream o, e;
  int status = app::runCommandLine(args, in, o, e, false);
  out = o.str();
  err = e.str();
  return status;
}

}  // namespace

TEST(DbSynthetic, SizesFollowTheNumberOfFunctions) {
  const auto s = app::syntheticSize(50000);
  EXPECT_EQ(s.detailFuncs, 50000);
  EXPECT_EQ(s.subFuncs, 5000);
  EXPECT_EQ(s.subSystems, 500);
  EXPECT_EQ(s.topClasses, 12);
  EXPECT_EQ(s.users, 50);
  EXPECT_EQ(s.userRows, 5000);
  const auto small = app::syntheticSize(100);
  EXPECT_EQ(small.subSystems, 1);
  EXPECT_EQ(small.topClasses, 1);
  EXPECT_EQ(small.users, 1);
  EXPECT_THROW(app::syntheticSize(99), std::invalid_argument);
  EXPECT_THROW(app::syntheticSize(5'000'001), std::invalid_argument);
}

TEST(DbSynthetic, CreatesTheCompanyOnceAndNeverOverAnExistingFile) {
  TempFolder dir;
  const fs::path db = dir.path / "big.db";
  std::string out, err;
  ASSERT_EQ(run({"db", "synthetic", "--functions", "1000", "--db", db.string()}, out, err), 0) << err;
  EXPECT_NE(out.find("1000 detail functions"), std::string::npos);
  ASSERT_TRUE(fs::exists(db));
  // Only the database is left in the folder: no temporary file beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

  const auto size = fs::file_size(db);
  const auto written = fs::last_write_time(db);
  EXPECT_THROW(app::createSyntheticCompany(db, 1000), platform::AutomationError);
  EXPECT_EQ(run({"db", "synthetic", "--functions", "1000", "--db", db.string()}, out, err), 1);
  EXPECT_NE(err.find("already exists"), std::string::npos);
  EXPECT_EQ(fs::file_size(db), size);
  EXPECT_EQ(fs::last_write_time(db), written);

  // The company is usable: the program answers a query on it from its tree.
  const fs::path answer = dir.path / "answer.txt";
  const std::string command = std::string(WAYFIND_EXE) + " call DatasInfo.GetDetailFunc 1001 --db '" + db.string() +
                              "' --cache-dir '" + (dir.path / "cache").string() + "' > '" + answer.string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream text(answer);
  std::stringstream content;
  content << text.rdbuf();
  EXPECT_NE(content.str().find("FDetailFuncID"), std::string::npos) << content.str();
}

TEST(DbSynthetic, AWrongCommandLineCreatesNothing) {
  TempFolder dir;
  const fs::path db = dir.path / "x.db";
  std::string out, err;
  EXPECT_EQ(run({"db", "synthetic", "--functions", "50", "--db", db.string()}, out, err), 2);
  EXPECT_EQ(run({"db", "synthetic", "--functions", "1e3x", "--db", db.string()}, out, err), 2);
  EXPECT_EQ(run({"db", "synthetic", "--db", db.string()}, out, err), 2);
  EXPECT_EQ(run({"db", "other", "--functions", "1000", "--db", db.string()}, out, err), 2);
  EXPECT_EQ(run({"tree", "--functions", "1000", "--db", db.string()}, out, err), 2);
  EXPECT_FALSE(fs::exists(db));
}
