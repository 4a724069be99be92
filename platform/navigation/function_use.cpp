#include "platform/navigation/function_use.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <iterator>
#include <vector>

namespace wayfind::nav {

int32_t UseDayToday() {
  const auto now = std::chrono::system_clock::now();
  return static_cast<int32_t>(std::chrono::floor<std::chrono::days>(now).time_since_epoch().count());
}

double FunctionUse::decayed(const Use& use, int32_t today) {
  // In 64 bits: a day read from a damaged record may be any 32-bit number.
  const int64_t age = std::max<int64_t>(0, int64_t{today} - use.day);
  return use.score * std::exp2(-static_cast<double>(age) / kUseHalfLifeDays);
}

FunctionUse FunctionUse::parse(std::string_view text) {
  FunctionUse out;
  while (!text.empty()) {
    const size_t end = std::min(text.find(';'), text.size());
    const std::string_view entry = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const size_t a = entry.find(':'), b = entry.rfind(':');
    if (a == std::string_view::npos || a == b) return FunctionUse();
    int32_t id = 0, day = 0;
    // Numbers in the C locale's form whatever the process's locale is. A comma
    // as the decimal point is read too: a window's process under a locale that
    // writes one once wrote the scores that way.
    std::string score(entry.substr(a + 1, b - a - 1));
    std::replace(score.begin(), score.end(), ',', '.');
    double value = 0;
    const auto scoreAt = std::from_chars(score.data(), score.data() + score.size(), value);
    const auto idAt = std::from_chars(entry.data(), entry.data() + a, id);
    const auto dayAt = std::from_chars(entry.data() + b + 1, entry.data() + entry.size(), day);
    if (idAt.ec != std::errc() || idAt.ptr != entry.data() + a || dayAt.ec != std::errc() ||
        dayAt.ptr != entry.data() + entry.size() || scoreAt.ec != std::errc() ||
        scoreAt.ptr != score.data() + score.size() || !std::isfinite(value) || value < 0)
      return FunctionUse();
    out.uses_[id] = {value, day};
  }
  return out;
}

std::string FunctionUse::text(int32_t today) const {
  std::vector<std::pair<double, int32_t>> byScore;
  for (const auto& [id, use] : uses_) byScore.emplace_back(decayed(use, today), id);
  std::sort(byScore.begin(), byScore.end(), [](const auto& x, const auto& y) {
    return x.first != y.first ? x.first > y.first : x.second < y.second;
  });
  std::string out;
  for (const auto& [score, id] : byScore) {
    if (score < 0.001) break;  // forgotten
    // Room for the longest: a score read as 1e308 has 309 digits before its point.
    char entry[384];
    char* at = entry;
    if (!out.empty()) *at++ = ';';
    at = std::to_chars(at, std::end(entry), id).ptr;
    *at++ = ':';
    at = std::to_chars(at, std::end(entry), score, std::chars_format::fixed, 3).ptr;
    *at++ = ':';
    at = std::to_chars(at, std::end(entry), today).ptr;
    if (out.size() + static_cast<size_t>(at - entry) > kFunctionUseTextLimit) break;
    out.append(entry, at);
  }
  return out;
}

void FunctionUse::recordStart(int32_t detailFuncId, int32_t today) {
  Use& use = uses_[detailFuncId];
  use.score = decayed(use, today) + 1.0;
  use.day = std::max(use.day, today);
}

double FunctionUse::score(int32_t detailFuncId, int32_t today) const {
  auto it = uses_.find(detailFuncId);
  return it == uses_.end() ? 0.0 : decayed(it->second, today);
}

}  // namespace wayfind::nav
