// Node keys made and read.
#include "platform/navigation/node_keys.h"

#include <charconv>

namespace wayfind::nav {

std::string NodeKey(Level level, int32_t id) { return InfoOf(level).keyPrefix + std::to_string(id); }

std::string_view KeyPrefix(std::string_view key) { return key.substr(0, 3); }

std::optional<int32_t> KeyId(std::string_view key) {
  if (key.size() <= 3) return std::nullopt;
  const std::string_view rest = key.substr(3);
  int32_t id = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), id);
  if (error != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
  return id;
}

std::optional<Level> LevelOfKey(std::string_view key) {
  const std::string_view prefix = KeyPrefix(key);
  for (const LevelInfo& info : kLevels)
    if (prefix == info.keyPrefix) return info.level;
  return std::nullopt;
}

std::optional<Level> ChildLevelOfKey(std::string_view key) {
  if (KeyPrefix(key) == kRootPrefix) return Level::TopClass;
  const auto level = LevelOfKey(key);
  return level ? ChildLevel(*level) : std::nullopt;
}

}  // namespace wayfind::nav
