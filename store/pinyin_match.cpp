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
  PinyinUnits(name, units, hasChinese);
  return units;
}

void PinyinUnits(std::string_view name, std::vector<PinyinUnit>& units, bool& hasChinese) {
  units.clear();
  hasChinese = false;
  for (size_t pos = 0; pos < name.size();) {
    const char32_t cp = NextCodePoint(name, pos);
    const auto readings = hanzi::Readings(cp);
    if (!readings.empty()) {
      units.push_back({readings.data(), static_cast<uint8_t>(readings.size()), 0});
      hasChinese = true;
      continue;
    }
    const char32_t folded = FoldSearchChar(cp);
    if (isLatinOrDigit(folded)) units.push_back({nullptr, 0, static_cast<char>(folded)});
  }
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

namespace {

// Bit p of a mask: the first p typed letters are spelled by the units so far.
// Each unit takes a non-empty beginning of one of its spellings.
template <class Unit>
bool startsFrom(size_t count, size_t first, std::string_view letters, Unit unitAt) {
  if (letters.empty() || letters.size() > 63 || first >= count) return false;
  const uint64_t done = uint64_t{1} << letters.size();
  uint64_t at = 1;
  for (size_t i = first; i < count && at; ++i) {
    uint64_t next = 0;
    unitAt(i, [&](std::string_view r) {
      for (size_t p = 0; p < letters.size(); ++p) {
        if (!((at >> p) & 1)) continue;
        for (size_t n = 0; n < r.size() && p + n < letters.size() && letterMatches(letters[p + n], r[n]); ++n)
          next |= uint64_t{1} << (p + n + 1);
      }
    });
    if (next & done) return true;
    at = next;
  }
  return false;
}

}  // namespace

bool StartsMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view letters) {
  return startsFrom(units.size(), first, letters, [&](size_t i, auto each) {
    for (size_t k = 0; k < units[i].spellings(); ++k) each(units[i].spelling(k));
  });
}

void NameWords(std::string_view folded, std::vector<std::string_view>& words) {
  words.clear();
  size_t start = std::string_view::npos;
  for (size_t i = 0; i <= folded.size(); ++i) {
    const bool word = i < folded.size() && isLatinOrDigit(static_cast<unsigned char>(folded[i]));
    if (word && start == std::string_view::npos) start = i;
    if (!word && start != std::string_view::npos) {
      words.push_back(folded.substr(start, i - start));
      start = std::string_view::npos;
    }
  }
}

bool WordStartsMatchAt(const std::vector<std::string_view>& words, size_t first, std::string_view letters) {
  return startsFrom(words.size(), first, letters, [&](size_t i, auto each) { each(words[i]); });
}

size_t FullSpellings(const std::vector<PinyinUnit>& units, size_t limit, std::vector<std::string>& out) {
  if (units.empty() || limit == 0) return 0;
  if (out.empty()) out.emplace_back();
  out[0].clear();
  size_t n = 1;
  for (const PinyinUnit& u : units) {
    const size_t before = n;
    for (size_t k = 1; k < u.spellings() && n < limit; ++k) {
      for (size_t s = 0; s < before && n < limit; ++s) {
        if (out.size() <= n) out.emplace_back();
        out[n].assign(out[s]);
        out[n] += u.spelling(k);
        ++n;
      }
    }
    for (size_t s = 0; s < before; ++s) out[s] += u.spelling(0);
  }
  return n;
}

void InitialLetters(const PinyinUnit& unit, std::string& out) {
  out.clear();
  for (size_t k = 0; k < unit.spellings(); ++k) {
    const char c = unit.spelling(k)[0];
    if (out.find(c) == std::string::npos) out += c;
    if (c == 'v' && out.find('u') == std::string::npos) out += 'u';
  }
}

OneTypoMatcher::OneTypoMatcher(std::string_view typed) {
  if (typed.empty() || typed.size() > 64) return;  // last_ stays 0: nothing matches
  for (size_t i = 0; i < typed.size(); ++i) at_[static_cast<unsigned char>(typed[i])] |= uint64_t{1} << i;
  last_ = uint64_t{1} << (typed.size() - 1);
}

// Bit j of exact says the typed text's first j + 1 bytes end here without an
// error, of one with at most one. A stretch may start anywhere, hence the 1
// shifted in at every step.
bool OneTypoMatcher::in(std::string_view text) const {
  if (last_ == 0) return false;
  uint64_t exact = 0, one = 1;  // the first typed byte may be the one missing
  uint64_t exactBefore = 0;     // exact one byte earlier, for swaps
  unsigned char previous = 0;
  if (one & last_) return true;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const uint64_t mask = at_[c];
    const uint64_t ready = (exact << 1) | 1;  // the next typed byte may come now
    const uint64_t exactNow = ready & mask;
    uint64_t oneNow = (((one << 1) | 1) & mask)  // a byte as typed, after one error
                      | ready                      // this byte typed wrong
                      | ((exactNow << 1) | 1)      // a typed byte missing here
                      | exact;                     // this byte extra
    // Two neighbours swapped: typed j - 1 is this byte and typed j the one before.
    oneNow |= ((((exactBefore << 1) | 1) & mask) << 1) & at_[previous];
    if ((exactNow | oneNow) & last_) return true;
    exactBefore = exact;
    exact = exactNow;
    one = oneNow;
    previous = c;
  }
  return false;
}

bool WithinOneTypo(std::string_view typed, std::string_view text) { return OneTypoMatcher(typed).in(text); }

}  // namespace wayfind::store
