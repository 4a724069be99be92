#include "erp/client/file_call_log.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"


namespace wayfind::erp::client {
namespace {

namespace fs = std::filesystem;
using platform::CLng;

std::vector<std::string> readLines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class FileCallLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = fs::temp_directory_path() / ("wayfind-calls-" + std::to_string(::getpid()) + ".log");
    fs::remove(file);
    OpenCalls::instance().reset();
  }
  void TearDown() override {
    disableCallLog();
    fs::remove(file);
    OpenCalls::instance().reset();
  }
  int32_t start(FileCallLog& log, std::string name) { return CLng(log.LogStart(name)); }
  void end(FileCallLog& log, int32_t handle, int32_t code) { log.LogEnd(handle, code); }

  fs::path file;
};

TEST_F(FileCallLogTest, EachEndedCallIsOneLine) {
  enableCallLog(file.string());
  FileCallLog log;
  EXPECT_TRUE(platform::CBool(log.IsEnabled()));
  const int32_t outer = start(log, "WayfindInfo.DatasInfo.GetTopClass");
  const int32_t inner = start(log, "WayfindInfo.DataInfo.Initial");
  EXPECT_NE(outer, 0);
  EXPECT_NE(outer, inner);
  end(log, inner, 0);
  end(log, outer, 5);
  end(log, outer, 5);  // ended already: nothing more
  end(log, 0, 0);      // a failed start: nothing
  const auto lines = readLines(file);
  ASSERT_EQ(lines.size(), 2u);
  const std::regex line(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z)\t([^\t]+)\t(\d+)\t(-?\d+))");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, line)) << lines[0];
  EXPECT_EQ(m[2], "WayfindInfo.DataInfo.Initial");
  EXPECT_EQ(m[4], "0");
  ASSERT_TRUE(std::regex_match(lines[1], m, line)) << lines[1];
  EXPECT_EQ(m[2], "WayfindInfo.DatasInfo.GetTopClass");
  EXPECT_EQ(m[4], "5");
  EXPECT_EQ(OpenCalls::instance().size(), 0u);
}

// A log path where a pipe or a device stands fails the call at once with a
// clear error and leaves the thing as it is (the device through a link).
TEST_F(FileCallLogTest, ALogThatIsNoRegularFileIsRefusedAtOnce) {
  const fs::path pipe = file.string() + ".pipe", device = file.string() + ".device";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_symlink("/dev/null", device);
  // A host checks the file when it starts; a folder fails there too.
  EXPECT_THROW(checkCallLog(file.parent_path().string()), platform::AutomationError);
  for (const auto& path : {pipe, device}) {
    EXPECT_THROW(checkCallLog(path.string()), platform::AutomationError) << path;
    enableCallLog(path.string());
    FileCallLog log;
    int32_t handle = start(log, "WayfindInfo.DatasInfo.GetTopClass"), code = 0;
    try {
      log.LogEnd(handle, code);
      ADD_FAILURE() << "no error for " << path;
    } catch (const platform::AutomationError& e) {
      EXPECT_EQ(e.number(), platform::err::kFileError);
      EXPECT_NE(e.description().find(path.string()), std::string::npos) << e.description();
    }
  }
  EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::status(device).type(), fs::file_type::character);
  fs::remove(pipe);
  fs::remove(device);
}

TEST_F(FileCallLogTest, NamesStayOneField) {
  OpenCalls::Call call{"a\tb\nc", std::chrono::system_clock::time_point{}, {}};
  EXPECT_EQ(formatCallLogLine(call, std::chrono::microseconds(42), -1), "1970-01-01T00:00:00.000000Z\ta b c\t42\t-1");
}

TEST_F(FileCallLogTest, DisabledWithoutALogFile) {
  const char* env = std::getenv("WAYFIND_CALL_LOG");
  const std::string saved = env ? env : "";
  ::unsetenv("WAYFIND_CALL_LOG");
  FileCallLog log;
  EXPECT_FALSE(platform::CBool(log.IsEnabled()));
  ::setenv("WAYFIND_CALL_LOG", file.c_str(), 1);
  EXPECT_TRUE(platform::CBool(log.IsEnabled()));
  EXPECT_EQ(callLogPath(), file.string());
  if (env) ::setenv("WAYFIND_CALL_LOG", saved.c_str(), 1); else ::unsetenv("WAYFIND_CALL_LOG");
}

TEST_F(FileCallLogTest, OpenCallsAreBounded) {
  FileCallLog log;
  const int32_t first = start(log, "first");
  for (size_t i = 0; i < OpenCalls::kMaxOpen + 10; ++i) start(log, "call");
  EXPECT_EQ(OpenCalls::instance().size(), OpenCalls::kMaxOpen);
  OpenCalls::Call call;
  EXPECT_FALSE(OpenCalls::instance().finish(first, call));  // the oldest was forgotten
}

TEST_F(FileCallLogTest, ProcessesAppendWholeLinesToOneFile) {
  enableCallLog(file.string());
  constexpr int kProcesses = 4, kCalls = 200;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      FileCallLog log;
      for (int i = 0; i < kCalls; ++i) {
        std::string name = "WayfindInfo.DatasInfo.GetSubFunc.process" + std::to_string(p);
        int32_t h = CLng(log.LogStart(name));
        int32_t code = i;
        log.LogEnd(h, code);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto lines = readLines(file);
  EXPECT_EQ(lines.size(), static_cast<size_t>(kProcesses * kCalls));
  const std::regex line(R"(\S+\tWayfindInfo\.DatasInfo\.GetSubFunc\.process\d\t\d+\t\d+)");
  for (const auto& l : lines) ASSERT_TRUE(std::regex_match(l, line)) << l;
}

}  // namespace
}  // namespace wayfind::erp::client
