// The saved form of a dictionary (what Dictionary::Save writes and Load reads),
// described for maintainers in docs/file-formats.md. A file is a fixed 24-byte
// header followed by the content:
//
//   header   magic "\x89WFDICT\n" | u32 format version | u32 CRC-32 of the content
//            (since version 3: of the block table) | u64 content length
//   content  the dictionary: u32 entry count, then per entry a key text and a
//            tagged value (record sets, dictionaries and vectors nest)
//   blocks   (since version 3) the CRC-32 of every block of the content
//
// Since version 2 a record set is saved column by column, each column as it
// lies in memory, and a loaded set keeps its columns where they lie in the
// loaded bytes (LoadBuffer) instead of copying them. Version 1 files, whose
// record sets are saved row by row, still load.
//
// Everything is little-endian and length-prefixed, so loading is a single pass
// with no text parsing. Decoding checks every length against the bytes left
// before it allocates, bounds the nesting depth, and answers false at the first
// fault; it never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/containers/atomic_file.h"
#include "platform/containers/structure_check.h"

namespace wayfind::platform {
class Dictionary;
}

namespace wayfind::platform::fileformat {

inline constexpr char kMagic[8] = {'\x89', 'W', 'F', 'D', 'I', 'C', 'T', '\n'};
inline constexpr uint32_t kFormatVersion = 4;
inline constexpr size_t kHeaderSize = 24;
// Since version 3 the content is followed by the CRC-32 of every block of it
// (the last one shorter), a u32 each, and the header's checksum is that of this
// table: a loader may check the blocks a reader touches instead of the whole
// content first. A block is 16 KiB in version 3 and 4 KiB since version 4, so
// that a query reading a few rows scattered over a large table checks little
// more than the pages it reads.
constexpr size_t blockBytes(uint32_t version) { return version >= 4 ? 4096 : 16384; }
// Deepest nesting of containers (dictionary in vector in dictionary ...) that is
// saved or loaded; deeper data, or a container that holds itself, is refused.
inline constexpr int kMaxNesting = 64;

struct Header {
  uint32_t version = 0;
  uint32_t checksum = 0;
  uint64_t contentLength = 0;
};

enum class HeaderStatus {
  Ok,
  NotADictionary,  // too short, or the magic does not match
  NewerVersion,    // a version this build does not know
};

// Reads the header at the start of bytes (only the first kHeaderSize bytes are
// looked at).
HeaderStatus readHeader(std::string_view bytes, Header& header);
// The size of the whole saved form a header describes (0 when that cannot be
// held in memory).
uint64_t savedSize(const Header& header);

// The whole saved form of dict. Raises AutomationError (32755) naming the
// offending entry when a value cannot be saved (an object of a foreign class, a
// text longer than 4 GB, nesting deeper than kMaxNesting).
std::string encode(const Dictionary& dict);
// The saved form of dict written to path as it is encoded, a piece at a time,
// and put in place atomically (atomic_file.h): the whole form never lies in
// memory. Raises as encode() does, or as AtomicFileWriter does for the file;
// either way the file at path is left as it was.
void save(const Dictionary& dict, const std::filesystem::path& path, Flush flush = Flush::ToDisk);

// The bytes of a saved form in memory of their own, aligned for any value,
// which record sets loaded from them keep using (and keep alive): either a
// buffer (a large one mapped for huge pages, large_memory.h) or a file mapped
// privately, whose pages are read only when first touched and are written
// (when a loaded record set's cell changes) in memory of the process's own,
// never in the file.
class LoadBuffer {
 public:
  // Null when the memory cannot be had.
  static std::shared_ptr<LoadBuffer> allocate(size_t size);
  // The first size bytes of the open file fd, mapped; null when the file
  // cannot be mapped. The mapping outlives fd. The file must not shrink while
  // the mapping is used: the files loaded this way are only ever replaced by
  // renaming a new file over them, which leaves the mapped one as it was.
  static std::shared_ptr<LoadBuffer> mapFile(int fd, size_t size);
  ~LoadBuffer();
  LoadBuffer(const LoadBuffer&) = delete;
  LoadBuffer& operator=(const LoadBuffer&) = delete;

  char* data() const { return data_; }
  size_t size() const { return size_; }
  std::string_view bytes() const { return {data_, size_}; }

 private:
  LoadBuffer() = default;
  char* data_ = nullptr;
  size_t size_ = 0;
  enum class Kind { Heap, Large, Mapped } kind_ = Kind::Heap;
};

// Fills into, which must be empty, from a whole saved form. False for anything
// that is not an intact saved dictionary of a known version, or that does not
// hold what expected asks (when given); into may then hold part of the content
// and the caller must clear it. The record sets loaded keep their cells in
// buffer. The content's structure is walked first (structure_check.h): a form
// whose counts and lengths do not fit it is refused before the checksum reads
// every byte and before anything is allocated.
bool decode(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const Expected* expected = nullptr);
// As decode, but a version 3 form's typed record-set cells (the bulk of a
// cache file) are checked where they are first read: only the blocks that
// hold anything else are checked now. Damage found later raises
// DamagedFileError naming source. Older versions are checked whole.
bool decodeCheckingAsRead(const std::shared_ptr<LoadBuffer>& buffer, Dictionary& into, const std::string& source);
// The same for bytes held elsewhere: they are copied into a buffer first.
bool decode(std::string_view bytes, Dictionary& into);

// Wraps content bytes in a valid header (tests and fuzzing use it to reach the
// content decoder with arbitrary content).
std::string seal(std::string_view content);

}  // namespace wayfind::platform::fileformat
