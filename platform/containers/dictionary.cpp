#include "platform/containers/dictionary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/automation/automation_error.h"
#include "platform/containers/atomic_file.h"
#include "platform/containers/file_format.h"

namespace wayfind::platform {
namespace {

// Keys compare with ASCII letters folded; every other byte (Chinese text in
// particular) compares exactly.
std::string foldKey(std::string_view key) {
  std::string folded(key);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

// Reads exactly n bytes at offset; false on an error or a file that ended early.
bool readAt(int fd, char* into, size_t n, off_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, into + done, n - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// The saved form in the file, mapped (or, where the file cannot be mapped,
// read in one piece into a buffer). Only the header is looked at before: a
// file that is not a saved dictionary, or whose size differs from what its
// header promises, is refused without mapping or reading the rest. A mapped
// file's pages are read as the loader first touches them, so a file refused
// for its structure is refused having read a few of them.
std::shared_ptr<fileformat::LoadBuffer> readSavedForm(const std::filesystem::path& path, bool followLinks) {
  int fd = openRegularFileForReading(path, followLinks);
  if (fd < 0) return nullptr;
  std::shared_ptr<fileformat::LoadBuffer> buffer;
  struct stat st;
  char head[fileformat::kHeaderSize];
  fileformat::Header header;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) >= sizeof head &&
      readAt(fd, head, sizeof head, 0) &&
      fileformat::readHeader(std::string_view(head, sizeof head), header) == fileformat::HeaderStatus::Ok &&
      fileformat::savedSize(header) == static_cast<uint64_t>(st.st_size)) {
    const auto size = static_cast<size_t>(st.st_size);
    buffer = fileformat::LoadBuffer::mapFile(fd, size);
    // The mapping must show the header just read: a file rewritten in place
    // meanwhile is read again whole.
    if (buffer && std::memcmp(buffer->data(), head, sizeof head) != 0) buffer.reset();
    if (!buffer) {
      buffer = fileformat::LoadBuffer::allocate(size);
      if (buffer) {
        std::memcpy(buffer->data(), head, sizeof head);
        if (!readAt(fd, buffer->data() + sizeof head, size - sizeof head, sizeof head)) buffer.reset();
      }
    }
  }
  ::close(fd);
  return buffer;
}

}  // namespace

DamagedFileError::DamagedFileError(const std::string& file, const std::string& what)
    : AutomationError(err::kFileError, "WayfindInfo.Dictionary",
                      "The file \"" + file + "\" is damaged: it holds " + what + "."),
      file_(file) {}

struct Dictionary::Impl {
  struct Entry {
    std::string key;  // the first spelling
    Variant value;
  };
  std::vector<Entry> entries;                        // in the order first added
  std::unordered_map<std::string, size_t> position;  // folded key -> index in entries
  uint32_t formatVersion = 0;                        // of the saved form last loaded

  const Entry* find(std::string_view key) const {
    auto it = position.find(foldKey(key));
    return it == position.end() ? nullptr : &entries[it->second];
  }
};

Dictionary::Dictionary() : impl_(std::make_unique<Impl>()) {}
Dictionary::~Dictionary() = default;

bool Dictionary::Lookup(std::string_view key) const { return impl_->find(key) != nullptr; }

Variant Dictionary::GetValue(std::string_view key, const Variant& defaultValue) const {
  const Impl::Entry* e = impl_->find(key);
  return e ? e->value : defaultValue;
}

void Dictionary::SetValue(std::string_view key, const Variant& value) {
  auto [it, added] = impl_->position.try_emplace(foldKey(key), impl_->entries.size());
  if (added) {
    try {
      impl_->entries.push_back({std::string(key), value});
    } catch (...) {
      impl_->position.erase(it);
      throw;
    }
  } else {
    impl_->entries[it->second].value = value;
  }
}

bool Dictionary::Remove(std::string_view key) {
  auto it = impl_->position.find(foldKey(key));
  if (it == impl_->position.end()) return false;
  const size_t removed = it->second;
  impl_->position.erase(it);
  impl_->entries.erase(impl_->entries.begin() + static_cast<std::ptrdiff_t>(removed));
  for (auto& [folded, index] : impl_->position)
    if (index > removed) --index;
  return true;
}

void Dictionary::Clear() {
  impl_->entries.clear();
  impl_->position.clear();
  impl_->formatVersion = 0;
}

size_t Dictionary::Count() const { return impl_->entries.size(); }

std::vector<std::string> Dictionary::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(impl_->entries.size());
  for (const auto& e : impl_->entries) keys.push_back(e.key);
  return keys;
}

std::string Dictionary::serialize() const { return fileformat::encode(*this); }

bool Dictionary::deserialize(std::string_view bytes) {
  auto buffer = fileformat::LoadBuffer::allocate(bytes.size());
  if (!buffer) {
    Clear();
    return false;
  }
  if (!bytes.empty()) std::memcpy(buffer->data(), bytes.data(), bytes.size());
  return take(buffer);
}

// Decodes into a fresh dictionary and takes its content only when all of it
// loaded, so a failure never leaves part of a file behind.
bool Dictionary::take(const std::shared_ptr<fileformat::LoadBuffer>& buffer, const fileformat::Expected* expected,
                      const std::string* checkAsReadSource) {
  Dictionary loaded;
  bool ok = false;
  try {
    ok = checkAsReadSource ? fileformat::decodeCheckingAsRead(buffer, loaded, *checkAsReadSource)
                           : fileformat::decode(buffer, loaded, expected);
  } catch (...) {
    ok = false;
  }
  if (ok) {
    std::swap(impl_, loaded.impl_);
    fileformat::Header header;
    fileformat::readHeader(buffer->bytes(), header);
    impl_->formatVersion = header.version;
  } else {
    Clear();
  }
  return ok;
}

uint32_t Dictionary::LoadedFormatVersion() const { return impl_->formatVersion; }

void Dictionary::Save(const std::filesystem::path& path) const { save(path, Flush::ToDisk); }

void Dictionary::SaveCache(const std::filesystem::path& path) const { save(path, Flush::Later); }

void Dictionary::save(const std::filesystem::path& path, Flush flush) const {
  try {
    fileformat::save(*this, path, flush);
  } catch (const AutomationError& e) {
    if (e.source() == kAtomicFileSource) throw;  // the file's own failure names the path already
    throw AutomationError(err::kFileError, e.source(),
                          "Cannot save the file \"" + path.string() + "\". " + e.description());
  } catch (const std::bad_alloc&) {
    throw AutomationError(err::kFileError, "WayfindInfo.Dictionary",
                          "Cannot save the file \"" + path.string() + "\": out of memory.");
  }
}

bool Dictionary::Load(const std::filesystem::path& path) { return load(path, nullptr); }

bool Dictionary::LoadExpecting(const std::filesystem::path& path, const std::vector<std::string>& recordSets) {
  fileformat::Expected expected;
  try {
    expected.recordSets = recordSets;
  } catch (...) {
    Clear();
    return false;
  }
  return load(path, &expected);
}

bool Dictionary::LoadCheckingAsRead(const std::filesystem::path& path) { return load(path, nullptr, true); }

bool Dictionary::load(const std::filesystem::path& path, const fileformat::Expected* expected, bool checkAsRead) {
  try {
    // A cache file is never read through a link (one put in a folder others
    // may write would hand the program a file of someone else's choosing).
    if (auto buffer = readSavedForm(path, !checkAsRead)) {
      const std::string source = path.string();
      return take(buffer, expected, checkAsRead ? &source : nullptr);
    }
  } catch (...) {
  }
  Clear();
  return false;
}

}  // namespace wayfind::platform
