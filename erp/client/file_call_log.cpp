#include "erp/client/file_call_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/automation/automation_error.h"

namespace wayfind::erp::client {

namespace {

struct LogSetting {
  std::mutex mutex;
  std::string path;
};

LogSetting& setting() {
  static LogSetting s;
  return s;
}

std::string isoTime(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto micros = duration_cast<microseconds>(t.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  long fraction = static_cast<long>(micros % 1000000);
  if (fraction < 0) {
    fraction += 1000000;
    --seconds;
  }
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, fraction);
  return buf;
}

// A call name is one field of one line.
std::string oneField(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

int openLog(const std::string& path) {
  // The log is a regular file. O_NONBLOCK: a named pipe nobody reads fails at
  // once (ENXIO) instead of holding the call up; for a regular file it changes
  // nothing. Whatever else opened (a pipe being read, a device) is refused
  // before a byte goes to it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0)
    throw platform::AutomationError(platform::err::kFileError, "QVLogMsg.Log",
                                    "cannot open call log " + path + ": " + std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw platform::AutomationError(platform::err::kFileError, "QVLogMsg.Log",
                                    "cannot open call log " + path + ": it is not a regular file");
  }
  return fd;
}

void appendLine(const std::string& path, const std::string& line) {
  const int fd = openLog(path);
  const std::string data = line + "\n";
  ssize_t written;
  do {
    written = ::write(fd, data.data(), data.size());
  } while (written < 0 && errno == EINTR);
  const int writeErrno = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(data.size()))
    throw platform::AutomationError(platform::err::kFileError, "QVLogMsg.Log",
                                    "cannot write call log " + path + ": " +
                                        (written < 0 ? std::strerror(writeErrno) : "short write"));
}

}  // namespace

void enableCallLog(const std::string& path) {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  s.path = path;
}

void disableCallLog() { enableCallLog({}); }

void checkCallLog(const std::string& path) { ::close(openLog(path)); }

std::string callLogPath() {
  {
    auto& s = setting();
    std::lock_guard lock(s.mutex);
    if (!s.path.empty()) return s.path;
  }
  const char* env = std::getenv("WAYFIND_CALL_LOG");
  return env ? std::string(env) : std::string();
}

OpenCalls& OpenCalls::instance() {
  static OpenCalls calls;
  return calls;
}

int32_t OpenCalls::start(const std::string& name) {
  std::lock_guard lock(mutex_);
  const int32_t handle = next_;
  next_ = next_ == INT32_MAX ? 1 : next_ + 1;
  calls_[handle] = Call{name, std::chrono::system_clock::now(), std::chrono::steady_clock::now()};
  while (calls_.size() > kMaxOpen) {
    // Handles grow with time, except after wrapping: the oldest is the one that
    // follows the newest in handle order, or the smallest.
    auto oldest = calls_.upper_bound(handle);
    if (oldest == calls_.end()) oldest = calls_.begin();
    calls_.erase(oldest);
  }
  return handle;
}

bool OpenCalls::finish(int32_t handle, Call& call) {
  std::lock_guard lock(mutex_);
  auto it = calls_.find(handle);
  if (it == calls_.end()) return false;
  call = std::move(it->second);
  calls_.erase(it);
  return true;
}

size_t OpenCalls::size() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

void OpenCalls::reset() {
  std::lock_guard lock(mutex_);
  calls_.clear();
  next_ = 1;
}

std::string formatCallLogLine(const OpenCalls::Call& call, std::chrono::microseconds duration, int32_t code) {
  return isoTime(call.wallStart) + "\t" + oneField(call.name) + "\t" + std::to_string(duration.count()) + "\t" +
         std::to_string(code);
}

platform::Variant FileCallLog::IsEnabled() { return !callLogPath().empty(); }

platform::Variant FileCallLog::LogStart(std::string& callName) {
  return OpenCalls::instance().start(callName);
}

void FileCallLog::LogEnd(int32_t& handle, int32_t& code) {
  OpenCalls::Call call;
  if (!OpenCalls::instance().finish(handle, call)) return;
  const auto duration =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - call.start);
  const std::string path = callLogPath();
  if (path.empty()) return;  // logging was turned off while the call ran
  appendLine(path, formatCallLogLine(call, duration, code));
}

}  // namespace wayfind::erp::client
