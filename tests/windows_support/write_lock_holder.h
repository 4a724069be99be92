// A write lock on a test's database held by another process, as another user's
// long write holds it:
//
//   WriteLockHolder lock(database);   // returns once the other process holds the lock
//   ... a window's save now waits ...
//   lock.release();                   // the other process gives it back and ends
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace wayfind::windowtests {

class WriteLockHolder {
 public:
  explicit WriteLockHolder(const std::filesystem::path& database);
  ~WriteLockHolder() { release(); }
  WriteLockHolder(const WriteLockHolder&) = delete;
  WriteLockHolder& operator=(const WriteLockHolder&) = delete;

  bool holding() const { return pid_ > 0; }
  // Lets the other process give the lock back, and waits until it has ended.
  void release();

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
};

}  // namespace wayfind::windowtests
