// What the search knows of Chinese characters: the toneless pinyin readings of
// each character, and the one form a family of variant characters is compared by
// (帐 帳 賬 账 are one family; so are a simplified character and its traditional
// forms). The tables come from Unicode's Unihan database and OpenCC's character
// dictionaries as Debian ships them, turned into compact tables when the program
// is built (store/hanzi/make_hanzi_tables.cpp), so nothing is read at run time.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace wayfind::store::hanzi {

// The character that stands for cp's family of variant forms; cp itself when it
// has none.
char32_t FoldVariant(char32_t cp);

// The readings of a character, each a syllable number for SyllableText, in the
// order of the syllables' spelling; empty for a character without a Mandarin
// reading (and for everything that is not a Chinese character).
std::span<const uint16_t> Readings(char32_t cp);

// A syllable's spelling: lower-case ASCII letters without tones, ü written "v"
// ("zhang", "lv").
std::string_view SyllableText(uint16_t syllable);

// Changes whenever the tables change: an index saved with other tables is not
// used.
uint32_t DataFingerprint();

}  // namespace wayfind::store::hanzi
