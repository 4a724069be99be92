// CRC-32 (the IEEE 802.3 polynomial, as zlib and PNG use it) for the integrity
// check of saved files. It catches every change of up to 32 consecutive bits, so a
// single damaged byte anywhere in a saved dictionary is always detected. On x86-64
// processors with carry-less multiplication the bulk of the data is folded 64
// bytes per step (several GB/s), elsewhere a table-driven form takes eight bytes
// per step, so the check does not limit how fast a cache file loads.
#pragma once

#include <cstdint>
#include <string_view>

namespace wayfind::platform {

// CRC-32 of data; pass a previous result as crc to continue over several pieces.
uint32_t crc32(std::string_view data, uint32_t crc = 0);

// The same value from the table-driven form alone (tests compare the two).
uint32_t crc32Portable(std::string_view data, uint32_t crc = 0);

}  // namespace wayfind::platform
