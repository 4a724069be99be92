// Process-wide cache of parsed criteria texts. The store sets the same few dozen
// filter texts over and over; parsing each distinct text once keeps a filter's
// cost in the evaluation. The cache is bounded: when full it starts afresh.
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/recordset/criteria_parser.h"

namespace wayfind::platform::criteria {

namespace {

constexpr size_t kMaxEntries = 4096;

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

struct Cache {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<const Node>, TextHash, std::equal_to<>> entries;
};

Cache& cache() {
  static Cache c;
  return c;
}

}  // namespace

std::shared_ptr<const Node> parseCached(std::string_view text) {
  Cache& c = cache();
  {
    std::lock_guard lock(c.mutex);
    auto it = c.entries.find(text);
    if (it != c.entries.end()) return it->second;
  }
  auto parsed = std::make_shared<const Node>(parse(text));
  std::lock_guard lock(c.mutex);
  if (c.entries.size() >= kMaxEntries) c.entries.clear();
  c.entries.emplace(std::string(text), parsed);
  return parsed;
}

}  // namespace wayfind::platform::criteria
