// The keys of navigation tree nodes, as every tree of the system writes them: the
// level's three-letter prefix and the item's identifier in decimal ("Top1",
// "Sys101", "Sub10101", "Det1010101"); the root of a whole tree is "All0".
// A placeholder node (the expand button of a node not read yet) has no key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/navigation/levels.h"

namespace wayfind::nav {

inline constexpr const char* kRootKey = "All0";
inline constexpr const char* kRootPrefix = "All";

std::string NodeKey(Level level, int32_t id);

// The first three characters of a key (all of it when shorter).
std::string_view KeyPrefix(std::string_view key);
// The identifier after the prefix, when the rest of the key is exactly a decimal
// number as NodeKey writes it (an optional minus sign, digits, within 32 bits).
std::optional<int32_t> KeyId(std::string_view key);
// The level a key's prefix names ("Top" ... "Det"); nothing for the root and
// for any other prefix.
std::optional<Level> LevelOfKey(std::string_view key);
// The level of the items listed under the node of key: the root lists top
// classes, a top class subsystems, a subsystem sub-functions and a sub-function
// detail functions. Nothing for a detail function and for any other prefix.
std::optional<Level> ChildLevelOfKey(std::string_view key);

}  // namespace wayfind::nav
