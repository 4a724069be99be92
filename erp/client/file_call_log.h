// "QVLogMsg.Log": the ERP's call log. Enabled when the host named a log file
// (enableCallLog) or the environment variable WAYFIND_CALL_LOG names one. Each
// finished call appends one line, fields separated by tabs:
//   start time (ISO 8601, UTC, microseconds)  call name  duration in microseconds  code
// Each line is a single write on a file opened with O_APPEND, so several processes
// may log to the same file. Calls that are open at the same time each have their
// own handle; the open calls are kept process-wide, since each object is a fresh one.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "erp/api/logging.h"

namespace wayfind::erp::client {

// The log file, set by the host; an empty path turns host logging off (the
// environment variable still applies).
void enableCallLog(const std::string& path);
void disableCallLog();
// Opens (creating it) the log file as a line would be written to it; throws
// AutomationError where that fails, so a host can say so when it starts.
void checkCallLog(const std::string& path);
// The file in use: the host's, else WAYFIND_CALL_LOG, else empty (logging off).
std::string callLogPath();

class FileCallLog : public api::ILog {
 public:
  platform::Variant IsEnabled() override;
  // A new handle (never 0) for the call.
  platform::Variant LogStart(std::string& callName) override;
  // Appends the call's line; an unknown handle (0 from a failed start, or one ended
  // already) writes nothing. Raises 32755 when the line cannot be written.
  void LogEnd(int32_t& handle, int32_t& code) override;
};

// The calls started and not yet ended. Bounded: when more than kMaxOpen calls are
// open (starts without ends), the oldest are forgotten.
class OpenCalls {
 public:
  struct Call {
    std::string name;
    std::chrono::system_clock::time_point wallStart;
    std::chrono::steady_clock::time_point start;
  };
  static constexpr size_t kMaxOpen = 4096;

  static OpenCalls& instance();
  int32_t start(const std::string& name);
  // Removes and returns the call; false when the handle is not open.
  bool finish(int32_t handle, Call& call);
  size_t size() const;
  void reset();

 private:
  mutable std::mutex mutex_;
  int32_t next_ = 1;
  std::map<int32_t, Call> calls_;
};

// One line of the log (without the line feed), as LogEnd writes it.
std::string formatCallLogLine(const OpenCalls::Call& call, std::chrono::microseconds duration, int32_t code);

}  // namespace wayfind::erp::client
