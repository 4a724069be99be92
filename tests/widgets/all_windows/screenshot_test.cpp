// wayfind screenshot: a picture of a window on a fresh demo company without a
// display, and a wrong request that leaves no file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string output;
};

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("wayfind-screenshot-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  Outcome wayfind(const std::string& args) {
    const fs::path log = folder / "out.txt";
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM WAYFIND_DB='" +
                            (folder / "demo.db").string() + "' WAYFIND_CACHE_DIR='" + (folder / "cache").string() +
                            "' '" WAYFIND_EXE "' " + args + " > '" + log.string() + "' 2>&1";
    const int raw = std::system(cmd.c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
  }

  fs::path folder;
};

TEST_F(ScreenshotTest, RendersARegisteredWindowWithoutADisplay) {
  const fs::path png = folder / "options-en.png";
  Outcome run = wayfind("screenshot dlgOptions '" + png.string() + "' --lang en");
  ASSERT_EQ(run.status, 0) << run.output;
  QImage picture(QString::fromStdString(png.string()));
  ASSERT_FALSE(picture.isNull()) << run.output;
  EXPECT_GT(picture.width(), 200);
  EXPECT_GT(picture.height(), 100);
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << "left behind: " << entry.path();
}

TEST_F(ScreenshotTest, AnUnknownWindowOrANameNotEndingInPngWritesNothing) {
  Outcome unknown = wayfind("screenshot dlgNoSuchWindow '" + (folder / "x.png").string() + "'");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.output.find("dlgOptions"), std::string::npos) << "the windows are listed: " << unknown.output;
  Outcome help = wayfind("screenshot --help");
  EXPECT_NE(help.output.find("The windows:\n  dlgAddItem\n"), std::string::npos) << "and in the help: " << help.output;
  EXPECT_FALSE(fs::exists(folder / "x.png"));
  Outcome notPng = wayfind("screenshot dlgOptions '" + (folder / "x.jpg").string() + "'");
  EXPECT_EQ(notPng.status, 1);
  EXPECT_FALSE(fs::exists(folder / "x.jpg"));
  Outcome noFolder = wayfind("screenshot dlgOptions '" + (folder / "missing" / "x.png").string() + "'");
  EXPECT_EQ(noFolder.status, 1) << noFolder.output;
}

}  // namespace
