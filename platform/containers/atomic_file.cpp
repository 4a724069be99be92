#include "platform/containers/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/automation/automation_error.h"

namespace wayfind::platform {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what, int error) {
  std::string description = "Cannot save the file \"" + path.string() + "\": " + what;
  if (error != 0) description += " (" + std::string(std::strerror(error)) + ")";
  throw AutomationError(err::kFileError, "WayfindInfo.AtomicFile", description + ".");
}

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!released_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }
  // Closes explicitly so that a late write error (NFS, quotas) is seen.
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }
  void release() { released_ = true; }

 private:
  int fd_;
  std::filesystem::path path_;
  bool released_ = false;
};

TemporaryFile createTemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) +
                       "-" + std::to_string(counter.fetch_add(1));
    std::filesystem::path candidate = folder.empty() ? std::filesystem::path(name) : folder / name;
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return TemporaryFile(fd, candidate);
    const int error = errno;
    if (error != EEXIST) fail(target, "cannot create a temporary file in its folder", error);
  }
  fail(target, "cannot find a free temporary file name in its folder", 0);
}

void writeAll(const TemporaryFile& tmp, const std::filesystem::path& target, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(tmp.fd(), p, left);
    if (n < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      fail(target, "writing failed", error);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

// Makes the rename itself durable; a failure here is not reported, because the
// new content is already in place under the target's name.
void syncFolder(const std::filesystem::path& target) {
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  if (path.empty() || !path.has_filename()) fail(path, "the path names no file", 0);
  TemporaryFile tmp = createTemporaryBeside(path);

  struct stat existing;
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
    ::fchmod(tmp.fd(), existing.st_mode & 07777);

  writeAll(tmp, path, bytes);
  if (::fsync(tmp.fd()) != 0) {
    const int error = errno;
    fail(path, "flushing to disk failed", error);
  }
  if (tmp.close() != 0) {
    const int error = errno;
    fail(path, "closing the temporary file failed", error);
  }
  if (::rename(tmp.path().c_str(), path.c_str()) != 0) {
    const int error = errno;
    fail(path, "replacing the file failed", error);
  }
  tmp.release();
  syncFolder(path);
}

bool readWholeFile(const std::filesystem::path& path, std::string& content, size_t maxBytes) {
  content.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = false;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= maxBytes) {
    try {
      content.resize(static_cast<size_t>(st.st_size));
      size_t done = 0;
      ok = true;
      while (done < content.size()) {
        ssize_t n = ::read(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {  // an error, or the file shrank while being read
          ok = false;
          break;
        }
        done += static_cast<size_t>(n);
      }
    } catch (...) {
      ok = false;
    }
  }
  ::close(fd);
  if (!ok) content.clear();
  return ok;
}

}  // namespace wayfind::platform
