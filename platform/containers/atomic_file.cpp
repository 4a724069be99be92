#include "platform/containers/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/automation/automation_error.h"

namespace wayfind::platform {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what, int error) {
  std::string description = "Cannot save the file \"" + path.string() + "\": " + what;
  if (error != 0) description += " (" + std::string(std::strerror(error)) + ")";
  throw AutomationError(err::kFileError, kAtomicFileSource, description + ".");
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

// The process that wrote a temporary file of ours, from its name
// (".<target>.tmp-<pid>-<n>"); 0 for a name that is not one of ours.
pid_t writerOf(const std::string& name) {
  const size_t mark = name.rfind(".tmp-");
  if (name.size() < 2 || name[0] != '.' || mark == std::string::npos || mark < 2) return 0;
  const std::string rest = name.substr(mark + 5);
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) return 0;
  if (rest.find_first_not_of("0123456789-") != std::string::npos || rest.find('-', dash + 1) != std::string::npos)
    return 0;
  const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
  return pid > 0 && pid < (1L << 22) ? static_cast<pid_t>(pid) : 0;
}

// Temporary files of ours that a killed process left in folder: their writer no
// longer runs (a live process with that number keeps its file), and nothing has
// written them for a while. A folder shared over the network also holds the files
// another machine's processes are writing, whose numbers mean nothing here: a
// file written lately is theirs at work. Best effort: a folder that cannot be
// read is left as it is.
void removeStaleTemporaries(const std::filesystem::path& folder) {
  constexpr auto kLeftFor = std::chrono::minutes(10);
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? std::filesystem::path(".") : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const pid_t writer = writerOf(it->path().filename().string());
    if (writer == 0 || writer == ::getpid()) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const auto written = it->last_write_time(typeError);
    if (typeError || std::filesystem::file_time_type::clock::now() - written < kLeftFor) continue;
    ::unlink(it->path().c_str());
  }
}

constexpr size_t kTemporaryNameKept = 200;

TemporaryFile createTemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.parent_path();
  removeStaleTemporaries(folder);
  // The target's name, cut to leave room for what the temporary name adds: a name
  // the folder takes must stay one it can save (255 bytes on most file systems).
  std::string base = target.filename().string();
  if (base.size() > kTemporaryNameKept) {
    size_t cut = kTemporaryNameKept;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    base.resize(cut);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(".").append(base).append(".tmp-").append(std::to_string(::getpid()))
                           .append("-").append(std::to_string(counter.fetch_add(1)));
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

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

std::optional<std::string> nonRegularKind(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
  return kindOf(st.st_mode);
}

int openRegularFileForReading(const std::filesystem::path& path, bool followLinks) {
  // O_NONBLOCK: opening a pipe with no writer returns at once; it changes
  // nothing for a regular file, whose reads never wait anyway.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

struct AtomicFileWriter::State {
  std::filesystem::path path;  // the file replaced (a link's target)
  TemporaryFile tmp;
  Flush flush;
};

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& requested, Flush flush) {
  if (requested.empty() || !requested.has_filename()) fail(requested, "the path names no file", 0);
  std::filesystem::path path = requested;
  struct stat link;
  const bool isLink = ::lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (isLink && flush == Flush::Later) {
    // A file the program makes again is its own: the new file takes the link's
    // place, and whatever the link led to stays as it is.
    s_.reset(new State{path, createTemporaryBeside(path), flush});
    return;
  }
  struct stat existing;
  const bool exists = ::stat(requested.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode))
    fail(requested, std::string("it is ") + kindOf(existing.st_mode) + ", not a regular file; it was left as it is",
         0);
  if (exists && isLink) {
    // The link stays a link: the file it leads to is the one replaced.
    std::error_code ec;
    path = std::filesystem::canonical(requested, ec);
    if (ec) fail(requested, "the file its link leads to cannot be found", ec.value());
  }
  s_.reset(new State{path, createTemporaryBeside(path), flush});
  if (exists) ::fchmod(s_->tmp.fd(), existing.st_mode & 07777);
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::write(std::string_view bytes) { writeAll(s_->tmp, s_->path, bytes); }

void AtomicFileWriter::writeAt(uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(s_->tmp.fd(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      fail(s_->path, "writing failed", error);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
}

void AtomicFileWriter::commit() {
  TemporaryFile& tmp = s_->tmp;
  const std::filesystem::path& path = s_->path;
  const bool toDisk = s_->flush == Flush::ToDisk;
  if (toDisk && ::fsync(tmp.fd()) != 0) {
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
  if (toDisk) syncFolder(path);
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFileWriter file(path);
  file.write(bytes);
  file.commit();
}

bool readWholeFile(const std::filesystem::path& path, std::string& content, size_t maxBytes) {
  content.clear();
  int fd = openRegularFileForReading(path);
  if (fd < 0) return false;
  bool ok = false;
  struct stat st;
  if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) <= maxBytes) {
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
