// Pinyin units, initials and full-pinyin matching, and the one-typo test.
#include "store/pinyin_match.h"

#include <algorithm>

#include "store/hanzi.h"
#include "store/search_text.h"

namespace wayfind::store {

namespace {

bool letterMatches(char typed, char reading) { return typed == reading || (reading == 'v' && typed == 'u'); }

bool isLatinOrDigit(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string_view PinyinUnit::spelling(size_t k) const {
  return count ? hanzi::SyllableText(readings[k]) : std::string_view(&self, 1);
}

std::vector<PinyinUnit> PinyinUnits(std::string_view name, bool& hasChinese) {
  std::vector<PinyinUnit> units;
  hasChinese = false;
  for (char32_t cp : CodePoints(name)) {
    const auto readings = hanzi::Readings(cp);
    if (!readings.empty()) {
      units.push_back({readings.data(), static_cast<uint8_t>(readings.size()), 0});
      hasChinese = true;
      continue;
    }
    const char32_t folded = FoldSearchChar(cp);
    if (isLatinOrDigit(folded)) units.push_back({nullptr, 0, static_cast<char>(folded)});
  }
  return units;
}

bool InitialsMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view letters) {
  if (letters.empty() || first + letters.size() > units.size()) return false;
  for (size_t j = 0; j < letters.size(); ++j) {
    const PinyinUnit& u = units[first + j];
    bool any = false;
    for (size_t k = 0; k < u.spellings() && !any; ++k) any = letterMatches(letters[j], u.spelling(k)[0]);
    if (!any) return false;
  }
  return true;
}

namespace {

bool fullFrom(const std::vector<PinyinUnit>& units, size_t unit, std::string_view typed, size_t at) {
  while (at < typed.size() && typed[at] == ' ') ++at;  // a blank between two units
  if (at == typed.size()) return true;
  if (unit == units.size()) return false;
  const PinyinUnit& u = units[unit];
  for (size_t k = 0; k < u.spellings(); ++k) {
    const std::string_view r = u.spelling(k);
    size_t n = 0;
    while (n < r.size() && at + n < typed.size() && letterMatches(typed[at + n], r[n])) ++n;
    if (n == r.size()) {
      if (fullFrom(units, unit + 1, typed, at + n)) return true;
    } else if (n > 0 && at + n == typed.size()) {
      return true;  // the last syllable typed only in part
    }
  }
  return false;
}

}  // namespace

bool FullPinyinMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view typed) {
  if (first >= units.size() || typed.empty() || typed[0] == ' ') return false;
  return fullFrom(units, first, typed, 0);
}

void FullSpellings(const std::vector<PinyinUnit>& units, size_t limit, std::vector<std::string>& out) {
  out.clear();
  if (units.empty() || limit == 0) return;
  out.emplace_back();
  for (const PinyinUnit& u : units) {
    const size_t before = out.size();
    for (size_t k = 1; k < u.spellings() && out.size() < limit; ++k) {
      for (size_t s = 0; s < before && out.size() < limit; ++s) out.push_back(out[s] + std::string(u.spelling(k)));
    }
    for (size_t s = 0; s < before; ++s) out[s] += u.spelling(0);
  }
}

void InitialLetters(const PinyinUnit& unit, std::string& out) {
  out.clear();
  for (size_t k = 0; k < unit.spellings(); ++k) {
    const char c = unit.spelling(k)[0];
    if (out.find(c) == std::string::npos) out += c;
    if (c == 'v' && out.find('u') == std::string::npos) out += 'u';
  }
}

bool WithinOneTypo(std::string_view typed, std::string_view text) {
  // Distance of typed to the best stretch of text ending at each position
  // (a stretch may start anywhere: row 0 is all zeros), with swaps of
  // neighbours counted as one error. Three rows of the table suffice.
  const size_t m = typed.size();
  if (m == 0 || m > 64) return false;
  std::vector<uint8_t> before(m + 1), previous(m + 1), current(m + 1);
  for (size_t i = 0; i <= m; ++i) previous[i] = static_cast<uint8_t>(std::min<size_t>(i, 2));
  if (previous[m] <= 1) return true;
  for (size_t j = 1; j <= text.size(); ++j) {
    current[0] = 0;
    for (size_t i = 1; i <= m; ++i) {
      const bool same = typed[i - 1] == text[j - 1];
      uint8_t best = static_cast<uint8_t>(previous[i - 1] + (same ? 0 : 1));
      best = std::min<uint8_t>(best, static_cast<uint8_t>(previous[i] + 1));  // an extra letter in the text
      best = std::min<uint8_t>(best, static_cast<uint8_t>(current[i - 1] + 1));  // a letter missing from it
      if (i > 1 && j > 1 && typed[i - 1] == text[j - 2] && typed[i - 2] == text[j - 1])
        best = std::min<uint8_t>(best, static_cast<uint8_t>(before[i - 2] + 1));
      current[i] = std::min<uint8_t>(best, 2);
    }
    if (current[m] <= 1) return true;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return false;
}

}  // namespace wayfind::store
