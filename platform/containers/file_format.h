// The saved form of a dictionary (what Dictionary::Save writes and Load reads),
// described for maintainers in docs/file-formats.md. A file is a fixed 24-byte
// header followed by the content:
//
//   header   magic "\x89WFDICT\n" | u32 format version | u32 CRC-32 of the content
//            | u64 content length
//   content  the dictionary: u32 entry count, then per entry a key text and a
//            tagged value (record sets, dictionaries and vectors nest)
//
// Everything is little-endian and length-prefixed, so loading is a single pass
// with no text parsing. Decoding checks every length against the bytes left
// before it allocates, bounds the nesting depth, and answers false at the first
// fault; it never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wayfind::platform {
class Dictionary;
}

namespace wayfind::platform::fileformat {

inline constexpr char kMagic[8] = {'\x89', 'W', 'F', 'D', 'I', 'C', 'T', '\n'};
inline constexpr uint32_t kFormatVersion = 1;
inline constexpr size_t kHeaderSize = 24;
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

// The whole saved form of dict. Raises AutomationError (32755) naming the
// offending entry when a value cannot be saved (an object of a foreign class, a
// text longer than 4 GB, nesting deeper than kMaxNesting).
std::string encode(const Dictionary& dict);

// Fills into, which must be empty, from a whole saved form. False for anything
// that is not an intact saved dictionary of a known version; into may then hold
// part of the content and the caller must clear it.
bool decode(std::string_view bytes, Dictionary& into);

// Wraps content bytes in a valid header (tests and fuzzing use it to reach the
// content decoder with arbitrary content).
std::string seal(std::string_view content);

}  // namespace wayfind::platform::fileformat
