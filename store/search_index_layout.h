// The search index's bytes as they lie in memory and in the saved file: the
// records of its sections, and the view on them an attached index reads. The
// index's own, not a public header (store/search_index.h is).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/search_index.h"
#include "store/search_postings.h"

namespace wayfind::store {

namespace index_layout {

constexpr uint32_t kMagic = 0x49534657;  // "WFSI"
constexpr uint32_t kFormat = 6;  // 3: dense lists as bitmaps; 4: levels; 5: levels without places of their own;
                                 // 6: every space a blank, invisible characters dropped

enum Section {
  kStrings, kPlaces, kFunctions, kTexts, kCodes, kKeys, kLists, kPostings, kSkips, kLevels, kLevelIndex, kSectionCount
};

struct SectionRec {
  uint64_t offset;
  uint64_t size;
};
struct Header {
  uint32_t magic;
  uint32_t format;
  uint32_t functions;
  uint32_t places;
  SectionRec sections[kSectionCount];
};

// Texts are offsets into the strings section, where each is its length in
// seven-bit groups and then its bytes; offset 0 is the empty text.
struct PlaceRec {
  int32_t top, sys, sub;
  uint32_t topName, sysName, subName;
};
// One more record than functions: the last one only marks the end of the texts.
struct FuncRec {
  int32_t id;
  uint32_t placeAndEnabled;
  uint32_t name, code, code1, cls, param;
  uint32_t firstText;  // the function's searched texts are texts[firstText, next's firstText)
};
constexpr uint32_t kEnabledBit = 0x80000000u;

// A searched text: its folded form (what queries compare with) and its form as
// written (shown as what matched; for a Chinese name, what its pinyin is read
// from). The folded offset carries the kind in its top two bits.
struct TextRec {
  uint32_t folded;
  uint32_t raw;
};
enum TextKind : uint32_t { kCode = 0, kName = 1, kChineseName = 2 };
constexpr uint32_t kKindShift = 30;
constexpr uint32_t kRefMask = (1u << kKindShift) - 1;

// A level of the tree over the functions [first, end); the level index (an index
// of its own, in the kLevelIndex section) has it as its function of the same number.
struct LevelRec {
  uint32_t depth;   // 1 top class, 2 subsystem, 3 sub-function
  uint32_t parent;  // the level above, kNoLevel for a top class
  uint32_t first, end;
};
constexpr uint32_t kNoLevel = UINT32_MAX;
// A match's text in the level index rather than in this one.
constexpr uint32_t kLevelText = 0x80000000u;

struct ListRec {
  uint32_t count;
  uint32_t offset;     // in the postings section
  uint32_t firstSkip;  // in the skips section; kBitmapList: the list is a bitmap
};
constexpr uint32_t kBitmapList = UINT32_MAX;

// Posting-list keys: a kind and one or two characters (21 bits each).
enum KeyKind : uint64_t {
  kAnyOne,          // a character anywhere in a text
  kAnyPair,         // two characters side by side anywhere in a text
  kCodeStartOne,    // the first character of a help code
  kCodeStartPair,   // its first two
  kNameStartOne,    // the same for names
  kNameStartPair,
  kInitStartOne,    // an initial of a Chinese name's first unit
  kInitStartPair,   // initials of its first two units (of a name without Chinese:
                    // the first letters of its first two words)
  kInitPair,        // initials of two neighbouring units anywhere
  kFullStartPair,   // the first two letters of a full pinyin spelling
  kFullPair,        // two letters side by side in a full pinyin spelling
};

inline uint64_t keyOf(KeyKind kind, char32_t a, char32_t b = 0) {
  return (static_cast<uint64_t>(kind) << 42) | (static_cast<uint64_t>(a) << 21) | static_cast<uint64_t>(b);
}

}  // namespace index_layout

using namespace index_layout;

struct SearchIndex::Layout {
  const char* strings = nullptr;
  size_t stringsSize = 0;
  const PlaceRec* places = nullptr;
  const FuncRec* functions = nullptr;
  const TextRec* texts = nullptr;
  size_t textCount = 0;
  const uint32_t* codes = nullptr;
  size_t codeCount = 0;
  const uint64_t* keys = nullptr;
  const ListRec* lists = nullptr;
  size_t keyCount = 0;
  const uint8_t* postings = nullptr;
  size_t postingsSize = 0;
  const PostingSkip* skips = nullptr;
  size_t skipCount = 0;
  const LevelRec* levels = nullptr;
  size_t levelCount = 0;
  uint32_t functionCount = 0;

  PostingList list(uint64_t key) const {
    const uint64_t* it = std::lower_bound(keys, keys + keyCount, key);
    if (it == keys + keyCount || *it != key) return {};
    const ListRec& l = lists[it - keys];
    if (l.firstSkip == kBitmapList)
      return {nullptr, nullptr, nullptr, l.count, reinterpret_cast<const uint64_t*>(postings + l.offset), functionCount};
    return {postings + l.offset, postings + postingsSize, skips + l.firstSkip, l.count};
  }
};

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The bytes of an index as made: one block (aligned for every record), written once.
struct IndexBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;
};

// The bytes of the index of functions under places, as SearchIndex attaches them.
// withLevels: the index has a level index inside (the level index itself has none).
std::shared_ptr<IndexBytes> buildSearchIndexBytes(const std::vector<SearchPlace>& places,
                                                  const std::vector<SearchFunction>& functions, bool withLevels = true);

}  // namespace wayfind::store
