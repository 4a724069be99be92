// Atomic replacement of files, and Save failures that must leave the old file.
#include "platform/containers/atomic_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation/automation_error.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"
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
  // A name as long as the folder takes (80 Chinese characters and more) saves too.
  std::string longName;
  for (int i = 0; i < 80; ++i) longName += "模";
  const fs::path named = folder_ / (longName + "0123456789.dat");
  writeFileAtomically(named, "long");
  EXPECT_EQ(readAll(named), "long");
  EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(AtomicFile, ASaveRemovesTemporariesThatAKilledProcessLeftInTheFolder) {
  // A process that is gone: its number, reaped.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::string dead = std::to_string(child), alive = std::to_string(::getppid());
  const std::vector<std::pair<std::string, bool>> files = {
      {".export.dat.tmp-" + dead + "-0", false},  // a killed export's
      {".Templatechs1.dat.tmp-" + dead + "-7", false},
      {".export.dat.tmp-" + alive + "-0", true},  // a running process's
      {".notes.tmp-abc", true},                   // not of ours
      {"export.dat.tmp-" + dead + "-0", true},
      {".export.dat.tmp-" + dead + "-0-1", true},
      {".Templatechs2.dat.tmp-" + dead + "-3", true},  // written just now: another machine's, at work
  };
  for (const auto& [name, kept] : files) {
    std::ofstream(folder_ / name) << "partial";
    if (name.find("Templatechs2") == std::string::npos)
      fs::last_write_time(folder_ / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  writeFileAtomically(folder_ / "other.dat", "saved");
  for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(folder_ / name), kept) << name;
  EXPECT_EQ(readAll(folder_ / "other.dat"), "saved");
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
// Where something other than a regular file stands, writing is refused and the
// thing is left as it is, and reading is refused at once instead of waiting on
// a pipe that has no writer. The device is reached through a link, so that a
// fault here could only ever replace the link.
TEST_F(AtomicFile, SpecialFilesAreRefusedLeftAsTheyAreAndNeverWaitedOn) {
  const fs::path pipe = folder_ / "pipe", socketPath = folder_ / "socket", device = folder_ / "device";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.string().size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_symlink("/dev/null", device);
  const std::pair<fs::path, fs::file_type> specials[] = {
      {pipe, fs::file_type::fifo}, {socketPath, fs::file_type::socket}, {device, fs::file_type::character}};
  for (const auto& [path, type] : specials) {
    SCOPED_TRACE(path.string());
    expectFileError([&] { writeFileAtomically(path, "bytes"); }, path);
    EXPECT_EQ(fs::status(path).type(), type);
    EXPECT_TRUE(nonRegularKind(path).has_value());
    std::string content;
    EXPECT_FALSE(readWholeFile(path, content));
    Dictionary d;
    EXPECT_FALSE(d.Load(path));
  }
  ::close(sock);
  EXPECT_EQ(filesInFolder(), 3u) << "a temporary file was left";

  // A link to a regular file stays a link; the file it leads to is replaced.
  const fs::path real = folder_ / "real.dat", link = folder_ / "link.dat";
  std::ofstream(real) << "old";
  fs::create_symlink(real, link);
  writeFileAtomically(link, "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readAll(real), "new");
  EXPECT_FALSE(nonRegularKind(link).has_value());

  // A cache file's place is the program's own: a link put there (to a file of
  // the user's, to a device, or to nothing) is neither read through nor
  // written through; the new file takes the link's place.
  Dictionary saved;
  saved.SetValue("TimeStamp", "cache");
  saved.Save(real);
  const std::string userFile = readAll(real);
  const fs::path dangling = folder_ / "gone.dat", toDevice = folder_ / "dev.dat";
  fs::create_symlink(folder_ / "nothing", dangling);
  fs::create_symlink("/dev/null", toDevice);
  for (const fs::path& cache : {link, dangling, toDevice}) {
    SCOPED_TRACE(cache.string());
    Dictionary d;
    EXPECT_FALSE(d.LoadCheckingAsRead(cache));
    saved.SaveCache(cache);
    EXPECT_FALSE(fs::is_symlink(cache));
    EXPECT_TRUE(d.LoadCheckingAsRead(cache));
  }
  EXPECT_EQ(readAll(real), userFile);
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
}

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

// A dictionary larger than what is held in memory while saving: the file is the
// saved form to the byte (header and checksum included), and a value that cannot
// be saved after megabytes have gone to disk still leaves the old file alone.
TEST_F(AtomicFile, ALargeSaveWrittenPieceByPieceIsTheSavedFormAndFailsWhole) {
  const fs::path target = folder_ / "Templatechs.dat";
  auto big = testing::makeSampleDictionary();
  big->SetValue("Padding", std::string(3 * 1024 * 1024 + 5, 'x'));  // goes to disk as one piece
  for (int t = 0; t < 4; ++t) {
    auto rs = std::make_shared<Recordset>();
    rs->appendField("FID", DataType::Integer);
    rs->appendField("FName", DataType::VarWChar, 80);
    rs->open();
    for (int i = 0; i < 40000; ++i) rs->appendStoredRow({Variant(i), Variant("功能" + std::to_string(i * t))});
    big->SetValue("Table" + std::to_string(t), Variant(rs));
  }
  big->Save(target);
  const std::string saved = readAll(target);
  EXPECT_GT(saved.size(), size_t{4} << 20);
  EXPECT_TRUE(saved == big->serialize());
  EXPECT_EQ(filesInFolder(), 1u);

  struct Foreign : Object {};
  big->SetValue("ZLast", std::make_shared<Foreign>());  // after every table
  expectFileError([&] { big->Save(target); }, target);
  EXPECT_TRUE(readAll(target) == saved);
  EXPECT_EQ(filesInFolder(), 1u);
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
