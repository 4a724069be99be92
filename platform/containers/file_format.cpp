#include "platform/containers/file_format.h"

#include <sys/mman.h>

#include <bit>
#include <cstring>
#include <new>

#include "platform/containers/atomic_file.h"
#include "platform/containers/byte_io.h"
#include "platform/containers/checksum.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/value_codec.h"
#include "platform/recordset/large_memory.h"

namespace wayfind::platform::fileformat {
namespace {

// A file is written to disk a megabyte at a time.
constexpr size_t kSpillBytes = size_t{1} << 20;

std::string headerFor(uint32_t checksum, uint64_t contentLength) {
  std::string header;
  header.reserve(kHeaderSize);
  ByteWriter w(header);
  w.bytes(std::string_view(kMagic, sizeof kMagic));
  w.u32(kFormatVersion);
  w.u32(checksum);
  w.u64(contentLength);
  return header;
}

// Writes the header for the content that follows it in bytes.
void writeHeader(std::string& bytes) {
  std::string_view content = std::string_view(bytes).substr(kHeaderSize);
  bytes.replace(0, kHeaderSize, headerFor(crc32(content), content.size()));
}

}  // namespace

HeaderStatus readHeader(std::string_view bytes, Header& header) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return HeaderStatus::NotADictionary;
  ByteReader r(bytes.substr(sizeof kMagic, kHeaderSize - sizeof kMagic));
  r.u32(header.version);
  r.u32(header.checksum);
  r.u64(header.contentLength);
  // Version 0 was never written; anything above ours comes from a newer build.
  if (header.version == 0) return HeaderStatus::NotADictionary;
  if (header.version > kFormatVersion) return HeaderStatus::NewerVersion;
  return HeaderStatus::Ok;
}

std::string encode(const Dictionary& dict) {
  std::string bytes(kHeaderSize, '\0');
  ByteWriter w(bytes);
  encodeDictionaryBody(w, dict, 0);
  writeHeader(bytes);
  return bytes;
}

void save(const Dictionary& dict, const std::filesystem::path& path) {
  AtomicFileWriter file(path);
  file.write(std::string(kHeaderSize, '\0'));
  uint32_t checksum = 0;
  std::string held;
  ByteWriter w(
      held,
      [&](std::string_view piece) {
        checksum = crc32(piece, checksum);
        file.write(piece);
      },
      kSpillBytes);
  encodeDictionaryBody(w, dict, 0);
  w.finish();
  file.writeAt(0, headerFor(checksum, w.size()));
  file.commit();
}

std::shared_ptr<LoadBuffer> LoadBuffer::allocate(size_t size) {
  std::shared_ptr<LoadBuffer> buffer(new (std::nothrow) LoadBuffer());
  if (!buffer) return nullptr;
  buffer->size_ = size;
  buffer->kind_ = size >= kLargeBufferBytes ? Kind::Large : Kind::Heap;
  // operator new[] aligns for any fundamental type; a mapping is page-aligned.
  buffer->data_ = buffer->kind_ == Kind::Large ? static_cast<char*>(allocateLarge(size))
                                               : new (std::nothrow) char[size > 0 ? size : 1];
  if (!buffer->data_) return nullptr;
  return buffer;
}

std::shared_ptr<LoadBuffer> LoadBuffer::mapFile(int fd, size_t size) {
  if (size == 0) return nullptr;
  std::shared_ptr<LoadBuffer> buffer(new (std::nothrow) LoadBuffer());
  if (!buffer) return nullptr;
  // Private and writable: a loaded record set may change its cells in place,
  // and such a change stays in the process.
  void* at = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  if (at == MAP_FAILED) return nullptr;
  buffer->data_ = static_cast<char*>(at);
  buffer->size_ = size;
  buffer->kind_ = Kind::Mapped;
  return buffer;
}

LoadBuffer::~LoadBuffer() {
  switch (kind_) {
    case Kind::Heap: delete[] data_; break;
    case Kind::Large: freeLarge(data_, size_); break;
    case Kind::Mapped: ::munmap(data_, size_); break;
  }
}

bool decode(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const Expected* expected) {
  static_assert(std::endian::native == std::endian::little,
                "loaded columns are taken as they lie in the file, which is little-endian");
  const std::string_view bytes = buffer->bytes();
  Header header;
  if (readHeader(bytes, header) != HeaderStatus::Ok) return false;
  std::string_view content = bytes.substr(kHeaderSize);
  // The exact length catches truncation and appended bytes before any work;
  // the structure, walked without reading a cell, catches counts and lengths
  // that the content cannot hold (and a file of another shape than expected)
  // at the cost of a few pages; the checksum then catches damage anywhere.
  if (header.contentLength != content.size()) return false;
  if (!structureFits(content, header.version, expected)) return false;
  if (crc32(content) != header.checksum) return false;
  try {
    ByteReader r(content);
    const ContentMemory memory{buffer->data() + kHeaderSize, buffer, header.version};
    return decodeDictionaryBody(r, memory, into, 0) && r.atEnd();
  } catch (...) {
    return false;  // e.g. out of memory while filling a record set
  }
}

bool decode(std::string_view bytes, Dictionary& into) {
  auto buffer = LoadBuffer::allocate(bytes.size());
  if (!buffer) return false;
  if (!bytes.empty()) std::memcpy(buffer->data(), bytes.data(), bytes.size());
  return decode(buffer, into);
}

std::string seal(std::string_view content) {
  std::string bytes(kHeaderSize, '\0');
  bytes.append(content);
  writeHeader(bytes);
  return bytes;
}

}  // namespace wayfind::platform::fileformat
