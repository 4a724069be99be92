// The wayfind program end to end, each step in its own process on one database,
// as users would run it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("wayfind-e2e-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs wayfind with the test's database and cache folder; stdout in out, stderr
  // appended to a log file shown on failure.
  Outcome wayfind(const std::string& args) {
    const fs::path outFile = dir / "out.txt";
    const std::string cmd = "WAYFIND_DB='" + (dir / "erp.db").string() + "' WAYFIND_CACHE_DIR='" +
                            (dir / "cache").string() + "' '" WAYFIND_EXE "' " + args + " >'" + outFile.string() +
                            "' 2>>'" + (dir / "err.txt").string() + "' </dev/null";
    Outcome r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(outFile);
    r.out.assign(std::istreambuf_iterator<char>(in), {});
    return r;
  }
  std::string errors() {
    std::ifstream in(dir / "err.txt");
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The first sub-function line of a tree ("    Sub <id>  <name>").
  static std::pair<std::string, std::string> firstSubFunc(const std::string& tree) {
    auto pos = tree.find("    Sub ");
    if (pos == std::string::npos) return {};
    auto end = tree.find('\n', pos);
    std::string line = tree.substr(pos + 8, end - pos - 8);
    auto gap = line.find("  ");
    return {line.substr(0, gap), line.substr(gap + 2)};
  }

  // The tree without identifiers: what a user sees. Importing gives custom items
  // of the importing user identifiers of their own, so those may differ.
  static std::vector<std::string> shape(const std::string& tree) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < tree.size()) {
      size_t end = tree.find('\n', start);
      if (end == std::string::npos) end = tree.size();
      std::string line = tree.substr(start, end - start);
      // "<indent><Level> <id>  <rest>" -> "<indent><Level>  <rest>"
      size_t level = line.find_first_not_of(' ');
      size_t idStart = line.find(' ', level);
      size_t idEnd = line.find("  ", idStart);
      if (level != std::string::npos && idStart != std::string::npos && idEnd != std::string::npos)
        line = line.substr(0, idStart) + line.substr(idEnd);
      lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }

  fs::path dir;
};

}  // namespace

TEST_F(EndToEnd, ARenameThroughCallShowsInTheNextTree) {
  Outcome tree = wayfind("tree");
  ASSERT_EQ(tree.status, 0) << errors();
  auto [id, name] = firstSubFunc(tree.out);
  ASSERT_FALSE(id.empty()) << tree.out;
  EXPECT_NE(errors().find("created the demo company"), std::string::npos);

  // The class may carry the component's prefix.
  Outcome call = wayfind("call WayfindInfo.DatasUpdate.UpdateSubSysFuncName " + id + " 改名后的功能");
  ASSERT_EQ(call.status, 0) << errors();
  Outcome after = wayfind("tree");
  ASSERT_EQ(after.status, 0) << errors();
  EXPECT_EQ(firstSubFunc(after.out).second, "改名后的功能");
  EXPECT_EQ(after.out.find("    Sub " + id + "  " + name + "\n"), std::string::npos);
}

TEST_F(EndToEnd, ExportByOneUserAndImportByAnotherGivesTheSameTree) {
  ASSERT_EQ(wayfind("tree").status, 0) << errors();
  // Two distinct active users of the demo company.
  const std::string first = "16385", second = "16386";
  Outcome rename = wayfind("--user " + first + " call DatasUpdate.UpdateSubSysFuncName " +
                       firstSubFunc(wayfind("--user " + first + " tree").out).first + " 第一位用户的名称");
  ASSERT_EQ(rename.status, 0) << errors();
  Outcome mine = wayfind("--user " + first + " tree");
  ASSERT_EQ(mine.status, 0) << errors();
  ASSERT_TRUE(mine.out != wayfind("--user " + second + " tree").out) << "the two users start out alike";

  const std::string file = (dir / "mine.dat").string();
  ASSERT_EQ(wayfind("--user " + first + " export '" + file + "'").status, 0) << errors();
  ASSERT_EQ(wayfind("--user " + second + " import '" + file + "'").status, 0) << errors();
  const auto theirs = shape(wayfind("--user " + second + " tree").out), expected = shape(mine.out);
  ASSERT_EQ(theirs.size(), expected.size());
  for (size_t i = 0; i < theirs.size(); ++i) ASSERT_EQ(theirs[i], expected[i]) << "line " << i + 1;
}

TEST_F(EndToEnd, AFileThatIsNotATemplateIsRefusedAndChangesNothing) {
  ASSERT_EQ(wayfind("tree").status, 0) << errors();
  const std::string before = wayfind("tree").out;
  std::ofstream(dir / "junk.dat") << "not a template";
  Outcome r = wayfind("import '" + (dir / "junk.dat").string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(errors().find("无效或错误的模板文件，请重新选择。"), std::string::npos);
  EXPECT_TRUE(wayfind("tree").out == before) << "the tree changed";
}

TEST_F(EndToEnd, AWrongCommandLineTouchesNothingAndAFailedStartStillSaysWhereTheCompanyIs) {
  Outcome wrong = wayfind("export");  // FILE missing
  EXPECT_EQ(wrong.status, 2);
  EXPECT_FALSE(fs::exists(dir / "erp.db")) << "a wrong command line created the database";
  EXPECT_NE(errors().find("takes one FILE"), std::string::npos);

  Outcome unknownUser = wayfind("--user 99999 tree");
  EXPECT_EQ(unknownUser.status, 1);
  EXPECT_NE(errors().find("created the demo company in"), std::string::npos);
  EXPECT_NE(errors().find("User 99999 does not exist"), std::string::npos);
  EXPECT_EQ(wayfind("--user 16385.5 tree").status, 2);

  // Output that cannot be written (a full disk) is no success.
  const int full = std::system(("WAYFIND_DB='" + (dir / "erp.db").string() + "' WAYFIND_CACHE_DIR='" +
                                (dir / "cache").string() + "' '" WAYFIND_EXE "' tree >/dev/full 2>/dev/null")
                                   .c_str());
  EXPECT_EQ(WIFEXITED(full) ? WEXITSTATUS(full) : -1, 1);
}

// The windows and the PostgreSQL back end are modules the program opens when a
// command needs them; without them the other commands work and these fail
// saying what is missing.
TEST_F(EndToEnd, WithoutTheModulesTheCommandsThatNeedThemSayWhatIsMissing) {
  const fs::path none = dir / "no-modules";
  fs::create_directories(none);
  auto run = [&](const std::string& args) {
    const std::string cmd = "WAYFIND_MODULE_DIR='" + none.string() + "' WAYFIND_DB='" + (dir / "erp.db").string() +
                            "' WAYFIND_CACHE_DIR='" + (dir / "cache").string() + "' '" WAYFIND_EXE "' " + args +
                            " >/dev/null 2>>'" + (dir / "err.txt").string() + "' </dev/null";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(run("tree"), 0);
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run("--db postgresql:///nowhere tree"), 1);
  EXPECT_NE(errors().find("Cannot load the PostgreSQL back end: libwayfind_pg.so is not installed"), std::string::npos)
      << errors();
#ifdef WAYFIND_WITH_WINDOWS
  EXPECT_EQ(run("options"), 1);
  EXPECT_NE(errors().find("Cannot load the windows: libwayfind_gui.so is not installed"), std::string::npos)
      << errors();
#endif
}
