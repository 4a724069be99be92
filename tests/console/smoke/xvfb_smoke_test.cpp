// The wayfind program opens its console on a real X server (a virtual one,
// Xvfb), the window appears, and the program ends cleanly when asked to. Where no
// virtual X server can start, or no tool to list its windows is installed, the
// test is skipped with the reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::optional<std::string> onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    fs::path candidate = fs::path(dirs.substr(start, end - start)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return std::nullopt;
}

// Starts a program with extra environment entries ("NAME=value", or "NAME=" with
// nothing after it to remove NAME); its output goes to logFile.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& logFile) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  for (const auto& e : env) {
    const auto eq = e.find('=');
    const std::string name = e.substr(0, eq), value = e.substr(eq + 1);
    if (value.empty()) ::unsetenv(name.c_str());
    else ::setenv(name.c_str(), value.c_str(), 1);
  }
  const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (log >= 0) {
    ::dup2(log, 1);
    ::dup2(log, 2);
  }
  const int devnull = ::open("/dev/null", O_RDONLY);
  if (devnull >= 0) ::dup2(devnull, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

// Waits for a child to end; its exit status, or nothing after the timeout.
std::optional<int> waitFor(pid_t pid, std::chrono::seconds timeout) {
  const auto until = Clock::now() + timeout;
  while (Clock::now() < until) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::nullopt;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (!waitFor(pid, std::chrono::seconds(5))) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* f = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    ::pclose(f);
  }
  return out;
}

class XvfbSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("wayfind-xvfb-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
  }
  void TearDown() override {
    stop(program);
    stop(server);
    fs::remove_all(dir);
  }

  // Starts Xvfb on a free display; the display's name, or nothing.
  std::optional<std::string> startServer(const std::string& xvfb) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    // The server writes its display number to the descriptor it is given.
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      const int log = ::open((dir / "xvfb.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (log >= 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
      }
      const std::string fd = std::to_string(fds[1]);
      ::execl(xvfb.c_str(), xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten",
              "tcp", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    server = pid;
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto until = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < until && number.find('\n') == std::string::npos) {
      if (::poll(&p, 1, 200) > 0) {
        char buf[32];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
      }
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (number.empty()) return std::nullopt;
    return ":" + number;
  }

  fs::path dir;
  pid_t server = -1;
  pid_t program = -1;
};

TEST_F(XvfbSmoke, TheConsoleOpensItsWindowAndClosesCleanly) {
  const auto xvfb = onPath("Xvfb");
  if (!xvfb) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it): no virtual X server to open the console on.";
  const auto xwininfo = onPath("xwininfo");
  if (!xwininfo) GTEST_SKIP() << "xwininfo (package x11-utils) is not installed: the console's window cannot be seen.";
  const auto display = startServer(*xvfb);
  if (!display) GTEST_SKIP() << "Xvfb did not start here:\n" << readFile(dir / "xvfb.log");

  // English was picked in the language menu at the last start.
  fs::create_directories(dir / "config");
  std::ofstream(dir / "config" / "console-language") << "en\n";
  program = spawn({WAYFIND_EXE, "console"},
                  {"DISPLAY=" + *display, "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=", "WAYFIND_LANGUAGE=",
                   "WAYFIND_DB=" + (dir / "erp.db").string(), "WAYFIND_CACHE_DIR=" + (dir / "cache").string(),
                   "WAYFIND_CONFIG_DIR=" + (dir / "config").string(), "XDG_RUNTIME_DIR=" + (dir / "runtime").string()},
                  dir / "wayfind.log");
  ASSERT_GT(program, 0);

  // The window shows with its title, in the language picked; the first start also
  // creates the demo company.
  bool seen = false;
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (!seen && Clock::now() < until) {
    if (auto ended = waitFor(program, std::chrono::seconds(0))) {
      program = -1;
      FAIL() << "wayfind console ended with status " << *ended << " before its window showed:\n"
             << readFile(dir / "wayfind.log");
    }
    seen = run("'" + *xwininfo + "' -display " + *display + " -root -tree 2>/dev/null").find("\"Main Console\"") !=
           std::string::npos;
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  ASSERT_TRUE(seen) << "no window titled Main Console on " << *display << ":\n" << readFile(dir / "wayfind.log");

  // Asked to end (as a session manager does), it closes its window and ends with 0.
  ::kill(program, SIGTERM);
  const auto status = waitFor(program, std::chrono::seconds(20));
  ASSERT_TRUE(status.has_value()) << "wayfind console did not end after SIGTERM";
  program = -1;
  EXPECT_EQ(*status, 0) << readFile(dir / "wayfind.log");
  EXPECT_TRUE(fs::exists(dir / "erp.db"));
}

}  // namespace

namespace {

// Needs no X server: the rights check comes before any window.
TEST_F(XvfbSmoke, EditForAUserWithoutTheRightEndsWithOneAndShowsNothing) {
  program = spawn({WAYFIND_EXE, "--user", "16389", "edit"},
                  {"QT_QPA_PLATFORM=offscreen", "WAYFIND_DB=" + (dir / "erp.db").string(),
                   "WAYFIND_CACHE_DIR=" + (dir / "cache").string(), "WAYFIND_CONFIG_DIR=" + (dir / "config").string(),
                   "XDG_RUNTIME_DIR=" + (dir / "runtime").string()},
                  dir / "wayfind.log");
  const auto status = waitFor(program, std::chrono::seconds(60));
  ASSERT_TRUE(status.has_value()) << "wayfind edit waited for something";
  program = -1;
  EXPECT_EQ(*status, 1);
  EXPECT_NE(readFile(dir / "wayfind.log").find("the main-console editor was not opened"), std::string::npos)
      << readFile(dir / "wayfind.log");
}

}  // namespace
