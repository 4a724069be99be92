// Where a key starts looking in an open-addressed table.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace wayfind::platform {

// A key's first place in a table of size places (a power of two): the top bits
// of a product with every bit of the key in it, so keys that differ only in
// their high bits (a kind above a number) land apart.
inline constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;
inline size_t hashSlot(uint64_t key, size_t size) {
  return static_cast<size_t>((key * kHashMultiplier) >> (64 - std::countr_zero(size)));
}

}  // namespace wayfind::platform
