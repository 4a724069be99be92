// Atomic replacement of files, and Save failures that must leave the old file.
#include "platform/containers/atomic_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation/automation_error.h"
#include "platform/containers/dictionary.h"
#include "sample_dictionary.h"

namespace wayfind::platform {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("wayfind-atomic-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  size_t filesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  // Expects a kFileError whose description names path.
  template <class F>
  void expectFileError(F f, const fs::path& path) {
    try {
      f();
      ADD_FAILURE() << "no error raised";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), err::kFileError);
      EXPECT_NE(e.description().find(path.string()), std::string::npos) << e.description();
    }
  }

  fs::path folder_;
};

TEST_F(AtomicFile, ReplacesAnExistingFileKeepingItsPermissionsAndLeavesNoTemporary) {
  const fs::path target = folder_ / "cache.dat";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  writeFileAtomically(target, "new content");
  EXPECT_EQ(readAll(target), "new content");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFile, MissingFolderOrAFileInPlaceOfTheFolderRaisesNamingThePath) {
  const fs::path notAFolder = folder_ / "plain";
  std::ofstream(notAFolder) << "x";
  for (const fs::path& target : {folder_ / "missing" / "a.dat", notAFolder / "a.dat"})
    expectFileError([&] { writeFileAtomically(target, "bytes"); }, target);
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFile, AFolderInPlaceOfTheTargetStaysAndTheTemporaryIsRemoved) {
  const fs::path target = folder_ / "cache.dat";
  fs::create_directories(target / "inside");
  expectFileError([&] { writeFileAtomically(target, "bytes"); }, target);
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(filesInFolder(), 1u);
}

// A file-size limit makes the write fail part way, as a full disk does.
TEST_F(AtomicFile, DiskFullDuringSaveRaisesAndLeavesTheOldFileIntact) {
  const fs::path target = folder_ / "Templatechs.dat";
  Dictionary old;
  old.SetValue("TimeStamp", "old");
  old.Save(target);
  const std::string oldBytes = readAll(target);

  auto big = testing::makeSampleDictionary();
  big->SetValue("Padding", std::string(64 * 1024, 'x'));

  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  expectFileError([&] { big->Save(target); }, target);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(readAll(target), oldBytes);
  EXPECT_EQ(filesInFolder(), 1u);
  Dictionary reread;
  ASSERT_TRUE(reread.Load(target));
  EXPECT_EQ(reread.GetValue("TimeStamp"), Variant("old"));
}

// Makes a folder refuse new entries: by its permission bits, or for root (whom
// permissions do not restrict) by the file system's immutable flag.
bool makeUnwritable(const fs::path& folder, bool unwritable) {
  if (::geteuid() != 0) {
    fs::permissions(folder, unwritable ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return true;
  }
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = unwritable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

TEST_F(AtomicFile, UnwritableFolderRaisesAndLeavesTheOldFileIntact) {
  const fs::path target = folder_ / "cache.dat";
  Dictionary old;
  old.SetValue("TimeStamp", "old");
  old.Save(target);
  const std::string oldBytes = readAll(target);
  if (!makeUnwritable(folder_, true)) GTEST_SKIP() << "cannot make a folder unwritable here";
  Dictionary d;
  d.SetValue("TimeStamp", "new");
  expectFileError([&] { d.Save(target); }, target);
  makeUnwritable(folder_, false);
  EXPECT_EQ(readAll(target), oldBytes);
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFile, ReadWholeFileRefusesFoldersMissingFilesAndOversizedFiles) {
  const fs::path file = folder_ / "f";
  std::ofstream(file) << "12345";
  std::string content;
  EXPECT_TRUE(readWholeFile(file, content));
  EXPECT_EQ(content, "12345");
  EXPECT_FALSE(readWholeFile(file, content, 4));
  EXPECT_FALSE(readWholeFile(folder_, content));
  EXPECT_FALSE(readWholeFile(folder_ / "missing", content));
  EXPECT_TRUE(content.empty());
}

}  // namespace
}  // namespace wayfind::platform
