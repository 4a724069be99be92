#include "platform/containers/file_format.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

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

// The header's checksum of a block table. Since version 4 it goes on over the
// version number too: blocks of 4 and 16 KiB give the same table for a content
// shorter than 4 KiB, and a version changed to 3 must not pass for intact.
uint32_t tableChecksum(std::string_view table, uint32_t version) {
  const uint32_t crc = crc32(table);
  if (version < 4) return crc;
  std::string number;
  ByteWriter(number).u32(version);
  return crc32(number, crc);
}

// Blocks are written in the current version's size.
constexpr size_t kBlockBytes = blockBytes(kFormatVersion);

uint64_t blockCount(uint64_t contentLength, size_t block) { return (contentLength + block - 1) / block; }

// The CRC-32 of every block of the content, gathered as the content goes by in
// pieces of any size.
class BlockSums {
 public:
  void add(std::string_view piece) {
    while (!piece.empty()) {
      const size_t take = std::min(piece.size(), kBlockBytes - filled_);
      current_ = crc32(piece.substr(0, take), current_);
      filled_ += take;
      piece.remove_prefix(take);
      if (filled_ == kBlockBytes) finishBlock();
    }
  }
  // The table that follows the content; its CRC-32 goes into the header.
  std::string table() {
    if (filled_ > 0) finishBlock();
    std::string bytes;
    bytes.reserve(sums_.size() * 4);
    ByteWriter w(bytes);
    for (uint32_t s : sums_) w.u32(s);
    return bytes;
  }

 private:
  void finishBlock() {
    sums_.push_back(current_);
    current_ = 0;
    filled_ = 0;
  }
  std::vector<uint32_t> sums_;
  uint32_t current_ = 0;
  size_t filled_ = 0;
};

// Ends bytes (a placeholder header and the content) with the block table and
// writes the header in front.
void finishSavedForm(std::string& bytes) {
  const size_t contentLength = bytes.size() - kHeaderSize;
  BlockSums sums;
  sums.add(std::string_view(bytes).substr(kHeaderSize));
  const std::string table = sums.table();
  bytes.append(table);
  bytes.replace(0, kHeaderSize, headerFor(tableChecksum(table, kFormatVersion), contentLength));
}

uint32_t u32At(const char* at) {
  uint32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// The blocks of a version 3 content and which of them were found intact: what
// a store whose cells are checked where read asks to vouch for its bytes.
class CheckedBlocks : public ColumnStore::LoadedBytes {
 public:
  CheckedBlocks(std::shared_ptr<LoadBuffer> buffer, std::string source)
      : buffer_(std::move(buffer)),
        content_(buffer_->data() + kHeaderSize),
        source_(std::move(source)) {
    Header header;
    readHeader(buffer_->bytes(), header);
    length_ = static_cast<size_t>(header.contentLength);
    table_ = content_ + length_;
    block_ = blockBytes(header.version);
    count_ = static_cast<size_t>(blockCount(length_, block_));
    checked_ = std::make_unique<std::atomic<uint8_t>[]>(count_);
  }

  // True when block b is as saved (checked once; later answers remembered).
  bool blockIntact(size_t b) const {
    if (checked_[b].load(std::memory_order_acquire)) return true;
    const size_t from = b * block_, bytes = std::min(block_, length_ - from);
    if (crc32(std::string_view(content_ + from, bytes)) != u32At(table_ + 4 * b)) return false;
    checked_[b].store(1, std::memory_order_release);
    return true;
  }
  size_t blocks() const { return count_; }
  size_t blockSize() const { return block_; }

  void vouchFor(const void* at, size_t bytes) const override {
    if (bytes == 0) return;
    const size_t from = static_cast<size_t>(static_cast<const char*>(at) - content_);
    for (size_t b = from / block_, last = (from + bytes - 1) / block_; b <= last; ++b)
      if (!blockIntact(b)) damaged("bytes that are not as saved");
  }
  [[noreturn]] void damaged(const char* what) const override { throw DamagedFileError(source_, what); }

 private:
  std::shared_ptr<LoadBuffer> buffer_;
  const char* content_;
  const char* table_ = nullptr;
  size_t length_ = 0, count_ = 0, block_ = 0;
  std::unique_ptr<std::atomic<uint8_t>[]> checked_;
  std::string source_;
};

// Checks, for a version 3 content of length bytes, every block that holds a
// byte outside covered (ranges of the content, in any order).
bool blocksOutsideIntact(const CheckedBlocks& blocks, size_t length, std::vector<std::pair<size_t, size_t>> covered) {
  std::sort(covered.begin(), covered.end());
  std::vector<std::pair<size_t, size_t>> merged;
  for (const auto& r : covered) {
    if (!merged.empty() && r.first <= merged.back().second)
      merged.back().second = std::max(merged.back().second, r.second);
    else
      merged.push_back(r);
  }
  size_t i = 0;
  for (size_t b = 0; b < blocks.blocks(); ++b) {
    const size_t from = b * blocks.blockSize(), end = std::min(from + blocks.blockSize(), length);
    while (i < merged.size() && merged[i].second <= from) ++i;
    const bool inside = i < merged.size() && merged[i].first <= from && merged[i].second >= end;
    if (!inside && !blocks.blockIntact(b)) return false;
  }
  return true;
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

uint64_t savedSize(const Header& header) {
  constexpr uint64_t kMost = std::numeric_limits<size_t>::max() / 2;
  if (header.contentLength > kMost) return 0;
  const uint64_t table = header.version >= 3 ? 4 * blockCount(header.contentLength, blockBytes(header.version)) : 0;
  return kHeaderSize + header.contentLength + table;
}

std::string encode(const Dictionary& dict) {
  std::string bytes(kHeaderSize, '\0');
  ByteWriter w(bytes);
  encodeDictionaryBody(w, dict, 0);
  finishSavedForm(bytes);
  return bytes;
}

void save(const Dictionary& dict, const std::filesystem::path& path, Flush flush) {
  AtomicFileWriter file(path, flush);
  file.write(std::string(kHeaderSize, '\0'));
  BlockSums sums;
  std::string held;
  ByteWriter w(
      held,
      [&](std::string_view piece) {
        sums.add(piece);
        file.write(piece);
      },
      kSpillBytes);
  encodeDictionaryBody(w, dict, 0);
  w.finish();
  const std::string table = sums.table();
  file.write(table);
  file.writeAt(0, headerFor(tableChecksum(table, kFormatVersion), w.size()));
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

namespace {

// Decodes a saved form. With source given, a version 3 form's typed cells are
// left to be checked where they are first read (decodeCheckingAsRead).
bool decodeForm(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const Expected* expected,
                const std::string* source) {
  static_assert(std::endian::native == std::endian::little,
                "loaded columns are taken as they lie in the file, which is little-endian");
  const std::string_view bytes = buffer->bytes();
  Header header;
  if (readHeader(bytes, header) != HeaderStatus::Ok) return false;
  // The exact length catches truncation and appended bytes before any work;
  // the structure, walked without reading a cell, catches counts and lengths
  // that the content cannot hold (and a file of another shape than expected)
  // at the cost of a few pages; the checksums then catch damage anywhere.
  if (savedSize(header) != bytes.size()) return false;
  const std::string_view content = bytes.substr(kHeaderSize, static_cast<size_t>(header.contentLength));
  const std::string_view table = bytes.substr(kHeaderSize + content.size());
  if (!structureFits(content, header.version, expected)) return false;
  ContentMemory memory;
  memory.start = buffer->data() + kHeaderSize;
  memory.keeper = buffer;
  memory.version = header.version;
  std::shared_ptr<CheckedBlocks> blocks;
  std::vector<std::pair<size_t, size_t>> lateRanges;
  if (header.version < 3) {
    if (crc32(content) != header.checksum) return false;
  } else {
    if (tableChecksum(table, header.version) != header.checksum) return false;
    blocks = std::make_shared<CheckedBlocks>(buffer, source ? *source : std::string());
    if (source) {
      memory.lateCheck = blocks;
      memory.lateRanges = &lateRanges;
    } else {
      for (size_t b = 0; b < blocks->blocks(); ++b)
        if (!blocks->blockIntact(b)) return false;
    }
  }
  try {
    ByteReader r(content);
    if (!decodeDictionaryBody(r, memory, into, 0) || !r.atEnd()) return false;
    // What was read while decoding (all but the typed cells) must be as saved.
    return !memory.lateCheck || blocksOutsideIntact(*blocks, content.size(), std::move(lateRanges));
  } catch (...) {
    return false;  // e.g. out of memory while filling a record set
  }
}

}  // namespace

bool decode(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const Expected* expected) {
  return decodeForm(buffer, into, expected, nullptr);
}

bool decodeCheckingAsRead(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const std::string& source) {
  return decodeForm(buffer, into, nullptr, &source);
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
  finishSavedForm(bytes);
  return bytes;
}

}  // namespace wayfind::platform::fileformat
