#include "windows_support/write_lock_holder.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

extern char** environ;

namespace wayfind::windowtests {

WriteLockHolder::WriteLockHolder(const std::filesystem::path& database) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("no pipe for the lock holder");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string exe = WAYFIND_LOCK_HOLDER, db = database.string();
  char* argv[] = {exe.data(), db.data(), nullptr};
  const int spawned = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  toChild_ = in[1];
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    throw std::runtime_error("cannot start " + exe);
  }
  // The holder says "locked" once it holds the lock; reading ends with that line.
  std::string said;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') said += c;
  close(out[0]);
  if (said != "locked") {
    release();
    throw std::runtime_error("the lock holder did not take the lock of " + db);
  }
}

void WriteLockHolder::release() {
  if (toChild_ >= 0) {
    close(toChild_);
    toChild_ = -1;
  }
  if (pid_ > 0) {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

}  // namespace wayfind::windowtests
