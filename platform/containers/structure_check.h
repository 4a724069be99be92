// A walk over the structure of a saved dictionary's content (counts, lengths,
// tags, field types, nesting, the extent of every record set's columns) that
// reads no cell and allocates nothing. The loader runs it before the checksum
// and before decoding, so a file whose sizes do not fit its own length, or that
// does not hold what its caller expects at the top level, is refused at the
// cost of its structure (a few pages), not of its size.
//
// It refuses nothing that decoding would accept; what it lets through is still
// checksummed and decoded in full.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wayfind::platform::fileformat {

// What a caller knows the top level of a file must hold: a record set under
// each of these keys (letter case ignored). Other keys may be there too.
struct Expected {
  std::vector<std::string> recordSets;
};

// True when content (the bytes after the header) is structurally a saved
// dictionary of format version, ending exactly where content ends, and holds
// what expected asks (when given).
bool structureFits(std::string_view content, uint32_t version, const Expected* expected);

}  // namespace wayfind::platform::fileformat
