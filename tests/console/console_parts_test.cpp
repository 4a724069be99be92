// The console's smaller parts: the recent list, the saved language choice, and
// the window commands' checks that come before any window.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "app/console/language_choice.h"
#include "app/console/recent_functions.h"
#include "app/console/window_commands.h"
#include "platform/automation/automation_error.h"
#include "windows_support/window_test_support.h"

namespace wayfind::app::console {
namespace {

namespace fs = std::filesystem;

NavItem detailFunc(int32_t id, std::string name) {
  NavItem item;
  item.level = Level::DetailFunc;
  item.id = id;
  item.name = std::move(name);
  return item;
}

TEST(RecentFunctionsTest, KeepsTheLastTenOnceEachMostRecentFirst) {
  RecentFunctions recent;
  for (int32_t id = 1; id <= 12; ++id) recent.add(detailFunc(id, "f" + std::to_string(id)));
  ASSERT_EQ(recent.items().size(), RecentFunctions::kLimit);
  EXPECT_EQ(recent.items().front().id, 12);
  EXPECT_EQ(recent.items().back().id, 3);
  recent.add(detailFunc(7, "f7 renamed"));
  ASSERT_EQ(recent.items().size(), RecentFunctions::kLimit);
  EXPECT_EQ(recent.items().front().id, 7);
  EXPECT_EQ(recent.items().front().name, "f7 renamed");
  EXPECT_EQ(std::count_if(recent.items().begin(), recent.items().end(), [](auto& i) { return i.id == 7; }), 1);
}

class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
  }
  ~EnvGuard() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LanguageChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("wayfind-lang-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    setenv("WAYFIND_CONFIG_DIR", dir.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir); }
  EnvGuard guard{"WAYFIND_CONFIG_DIR"};
  fs::path dir;
};

TEST_F(LanguageChoiceTest, AChoiceIsSavedWholeAndABadOneChangesNothing) {
  EXPECT_EQ(savedLanguage(), std::nullopt);
  saveLanguage("cht");
  EXPECT_EQ(savedLanguage(), std::optional<std::string>("cht"));
  EXPECT_THROW(saveLanguage("fr"), platform::AutomationError);
  EXPECT_EQ(savedLanguage(), std::optional<std::string>("cht"));
  // Nothing but the file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A file someone edited into nonsense reads as no choice.
  std::ofstream(languageChoiceFile()) << "klingon\n";
  EXPECT_EQ(savedLanguage(), std::nullopt);
}

TEST_F(LanguageChoiceTest, AFolderThatCannotBeMadeFailsClearlyAndKeepsThePreviousChoice) {
  saveLanguage("en");
  // A configuration folder below a plain file cannot exist, for any user.
  std::ofstream(dir / "plain") << "x";
  setenv("WAYFIND_CONFIG_DIR", (dir / "plain" / "config").c_str(), 1);
  EXPECT_THROW(saveLanguage("cht"), platform::AutomationError);
  EXPECT_EQ(savedLanguage(), std::nullopt);
  setenv("WAYFIND_CONFIG_DIR", dir.c_str(), 1);
  EXPECT_EQ(savedLanguage(), std::optional<std::string>("en"));
}

struct Run {
  int status;
  std::string out, err;
};

Run run(const std::vector<std::string>& args) {
  addWindowCommands();
  std::istringstream in;
  std::ostringstream out, err;
  const int status = runCommandLine(args, in, out, err, false);
  return {status, out.str(), err.str()};
}

TEST(WindowCommandsTest, HelpAndWrongCommandLinesNeedNoDisplay) {
  auto help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* c : {"console", "edit", "favourites --edit", "options"})
    EXPECT_NE(help.out.find(std::string("  ") + c), std::string::npos) << c;
  auto editHelp = run({"favourites", "--edit", "--help"});
  EXPECT_EQ(editHelp.status, 0);
  EXPECT_NE(editHelp.out.find("Usage: wayfind favourites --edit"), std::string::npos);
  // Without --edit the favourites command lists as before.
  EXPECT_NE(run({"favourites", "--help"}).out.find("Usage: wayfind favourites [--json]"), std::string::npos);
  EXPECT_EQ(run({"console", "extra"}).status, 2);
  EXPECT_EQ(run({"tree", "--edit"}).status, 2);
}

TEST(WindowCommandsTest, WithoutADisplayTheConsoleSaysHowToSeeTheTree) {
  EnvGuard display("DISPLAY"), wayland("WAYLAND_DISPLAY"), platform("QT_QPA_PLATFORM");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  auto r = run({"console", "--db", "/nonexistent/never-created.db"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("wayfind tree"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists("/nonexistent/never-created.db"));
}

}  // namespace
}  // namespace wayfind::app::console

namespace wayfind::app::console {
namespace {

class ConsoleScreenshotTest : public windowtests::WindowTest {};

TEST_F(ConsoleScreenshotTest, APictureOfASearchIsWrittenAndAWrongRequestWritesNothing) {
  const std::string db = database.string();
  const fs::path picture = folder / "search.png";
  auto bad = run({"--db", db, "console-screenshot", "everything", picture.string()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(run({"--db", db, "console-screenshot", "tree", (folder / "tree.jpg").string()}).status, 2);
  EXPECT_FALSE(fs::exists(picture));

  auto good = run({"--db", db, "--user", "16385", "console-screenshot", "search=凭证", picture.string()});
  ASSERT_EQ(good.status, 0) << good.err;
  std::ifstream in(picture, std::ios::binary);
  char magic[8] = {};
  in.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace wayfind::app::console
