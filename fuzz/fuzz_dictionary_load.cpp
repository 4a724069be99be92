// Fuzzes the loader of saved dictionaries (cache and template files).
//
// The first input byte picks the mode: even, the rest is taken as a whole file
// (header, length and checksum checks); odd, the rest is taken as content and
// wrapped in a valid header, so mutations reach the content decoder instead of
// dying at the checksum. Whatever loads must save again, and what that saves
// must load back to the very same bytes.
//
// The same bytes are also loaded as cache files are, their record sets' cells
// checked only where they are first read, and then saved, which reads every
// cell: an intact form must give the very same bytes that way, and a damaged
// one may be refused or may raise DamagedFileError while it is read, nothing
// else. Copies of an intact form, each with one byte of its content changed
// (spread over the content from where the first byte and the length say),
// must do the same, or give the intact
// form's bytes when the changed byte is nowhere read: damage passed on into
// the bytes saved is a fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"

using wayfind::platform::Dictionary;
namespace fileformat = wayfind::platform::fileformat;

constexpr size_t kDamagedCopies = 32;

// Loads bytes as a cache file is loaded and saves them again. intact: the
// whole check let them through and they saved as saved.
static void loadCheckingAsRead(const std::string& bytes, bool intact, const std::string& saved) {
  const auto buffer = fileformat::LoadBuffer::allocate(bytes.size());
  if (!buffer) return;
  std::memcpy(buffer->data(), bytes.data(), bytes.size());
  Dictionary lazy;
  if (!fileformat::decodeCheckingAsRead(buffer, lazy, "fuzzed")) {
    if (intact) __builtin_trap();  // refused what the whole check let through
    return;
  }
  std::string again;
  try {
    again = lazy.serialize();
  } catch (const wayfind::platform::DamagedFileError&) {
    if (intact) __builtin_trap();  // damage found in an intact form
    return;
  }
  // Read whole without damage found: the very bytes of the intact form.
  if (!saved.empty() && again != saved) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string bytes = (data[0] & 1) ? fileformat::seal(rest) : std::string(rest);

  Dictionary d;
  const bool intact = d.deserialize(bytes);
  if (!intact && d.Count() != 0) __builtin_trap();  // a refused file must leave nothing behind
  std::string saved;
  if (intact) {
    saved = d.serialize();
    Dictionary again;
    if (!again.deserialize(saved)) __builtin_trap();
    if (again.serialize() != saved) __builtin_trap();
  }

  loadCheckingAsRead(bytes, intact, saved);
  fileformat::Header header;
  if (intact && fileformat::readHeader(bytes, header) == fileformat::HeaderStatus::Ok && header.contentLength > 0) {
    const size_t length = static_cast<size_t>(header.contentLength), start = size_t{data[0]} * 2654435761u + size;
    for (size_t i = 0; i < kDamagedCopies; ++i) {
      std::string damaged = bytes;
      const size_t at = fileformat::kHeaderSize + (start + i * (length / kDamagedCopies + 1)) % length;
      damaged[at] = static_cast<char>(damaged[at] ^ 0x5a);
      loadCheckingAsRead(damaged, false, saved);
    }
  }
  return 0;
}
