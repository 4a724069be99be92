// Matching what a user types in Latin letters against a Chinese name's pinyin.
// A name is read as units: each Chinese character with its readings (行: xing,
// hang), each letter or digit as itself; blanks and punctuation are passed over.
// Typed text matches a name from a unit on
// - by initials when its letters, one per unit, are the first letters of a
//   reading of each unit in turn ("pzcx" for 凭证查询, "lrbb" for "LR 报表");
// - by full pinyin when it spells one reading of each unit in turn, the last one
//   possibly cut short ("pingzheng", "ping zheng cha", "pingzh"); a blank in the
//   typed text may only fall between two units.
// - by starts when its letters split into pieces, each the beginning of a reading
//   of each unit in turn, as input methods take full pinyin and initials mixed
//   ("pingzlr", "pzluru" for 凭证录入); a name without Chinese is read as words,
//   each piece the beginning of a word ("sainv" for Sales Invoice, "fcve").
// Any reading of a character counts. Typed u also matches a reading's v (ü).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wayfind::store {

struct PinyinUnit {
  const uint16_t* readings = nullptr;  // syllable numbers (hanzi::SyllableText)
  uint8_t count = 0;                   // 0: a letter or digit standing for itself
  char self = 0;
  size_t spellings() const { return count ? count : 1; }
  std::string_view spelling(size_t k) const;
};

// The units of a name as written (not folded for variants: readings belong to the
// character the name uses). hasChinese tells whether any unit is a Chinese
// character with readings; without one, the name has no pinyin to match.
std::vector<PinyinUnit> PinyinUnits(std::string_view name, bool& hasChinese);
void PinyinUnits(std::string_view name, std::vector<PinyinUnit>& units, bool& hasChinese);

// letters: the typed text without blanks, lower case.
bool InitialsMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view letters);
// typed: the typed text, lower case, blanks kept.
bool FullPinyinMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view typed);

// letters: the typed text without blanks, lower case (at most 63 letters).
bool StartsMatchAt(const std::vector<PinyinUnit>& units, size_t first, std::string_view letters);
// The words of a folded name without Chinese (runs of letters and digits), and
// the same test over them.
void NameWords(std::string_view folded, std::vector<std::string_view>& words);
bool WordStartsMatchAt(const std::vector<std::string_view>& words, size_t first, std::string_view letters);

// The full spellings of the name from its first unit, one reading per unit, at
// most limit of them (a name of many characters with several readings each would
// have thousands): the first ones of out, how many answered. The strings of out
// are reused.
size_t FullSpellings(const std::vector<PinyinUnit>& units, size_t limit, std::vector<std::string>& out);

// True when text holds a stretch that is at most one typing error away from
// typed: one letter wrong, missing, extra, or two neighbours swapped. Compares
// bytes; typed texts longer than 64 bytes match nothing.
bool WithinOneTypo(std::string_view typed, std::string_view text);

// The same test prepared once for a typed text and run over many texts: the
// states of all prefixes of the typed text are kept as bits of one word
// (shift-and with one error, and swaps of neighbours).
class OneTypoMatcher {
 public:
  explicit OneTypoMatcher(std::string_view typed);
  bool in(std::string_view text) const;

 private:
  uint64_t at_[256] = {};  // for each byte, the positions of the typed text that hold it
  uint64_t last_ = 0;      // the bit of the whole typed text
};

// The letters a unit's readings begin with, and the letters typed for them (a
// reading's v may be typed u): at most a few.
void InitialLetters(const PinyinUnit& unit, std::string& out);

}  // namespace wayfind::store
