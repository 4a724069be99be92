// Saving a search index and mapping it back.
#include "store/search_index_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "platform/containers/atomic_file.h"
#include "platform/containers/checksum.h"
#include "store/hanzi.h"

namespace wayfind::store {

namespace {

constexpr char kMagic[8] = {'W', 'F', 'S', 'I', 'D', 'X', '\r', '\n'};

struct FileHeader {
  char magic[8];
  uint32_t hanzi;       // the character tables' fingerprint
  uint32_t keyLength;
  uint64_t indexLength;
  uint32_t crc;         // of the index's bytes
  uint32_t reserved;
};

size_t indexOffset(size_t keyLength) { return (sizeof(FileHeader) + keyLength + 7) / 8 * 8; }

// A file mapped for reading, unmapped when the last index using it goes.
struct Mapping {
  void* data = MAP_FAILED;
  size_t size = 0;
  ~Mapping() {
    if (data != MAP_FAILED) ::munmap(data, size);
  }
};

}  // namespace

void SaveSearchIndex(const std::string& path, const std::string& key, const SearchIndex& index) {
  const std::string_view bytes = index.bytes();
  FileHeader h{};
  std::memcpy(h.magic, kMagic, sizeof kMagic);
  h.hanzi = hanzi::DataFingerprint();
  h.keyLength = static_cast<uint32_t>(key.size());
  h.indexLength = bytes.size();
  h.crc = platform::crc32(bytes);
  std::string head(indexOffset(key.size()), '\0');
  std::memcpy(head.data(), &h, sizeof h);
  std::memcpy(head.data() + sizeof h, key.data(), key.size());
  // Written where the index lies, not copied behind its header first; a file
  // the loader checks and the next start can make again need not wait for the
  // disk.
  platform::AtomicFileWriter file(path, platform::Flush::Later);
  file.write(head);
  file.write(bytes);
  file.commit();
}

std::optional<SearchIndex> LoadSearchIndex(const std::string& path, const std::string& key) {
  try {
    // Not waiting on a pipe or a device someone put there, nor read through a
    // link.
    const int fd = platform::openRegularFileForReading(path, false);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    auto map = std::make_shared<Mapping>();
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= static_cast<off_t>(sizeof(FileHeader))) {
      map->size = static_cast<size_t>(st.st_size);
      map->data = ::mmap(nullptr, map->size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    ::close(fd);
    if (map->data == MAP_FAILED) return std::nullopt;

    const char* base = static_cast<const char*>(map->data);
    FileHeader h;
    std::memcpy(&h, base, sizeof h);
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.hanzi != hanzi::DataFingerprint() ||
        h.keyLength != key.size() || sizeof h + h.keyLength > map->size ||
        std::memcmp(base + sizeof h, key.data(), key.size()) != 0)
      return std::nullopt;
    const size_t offset = indexOffset(h.keyLength);
    if (offset > map->size || h.indexLength != map->size - offset) return std::nullopt;
    const std::string_view bytes(base + offset, static_cast<size_t>(h.indexLength));
    if (platform::crc32(bytes) != h.crc) return std::nullopt;
    return SearchIndex::fromBytes(bytes, map);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace wayfind::store
