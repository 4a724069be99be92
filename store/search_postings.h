// Posting lists as the search index keeps them: for each key (a character, a pair
// of characters, a pair of pinyin letters) the ascending numbers of the functions
// whose texts hold it, written as the differences from one number to the next in
// seven-bit groups, so a list of close numbers takes about a byte a function.
// Every 32nd number a skip entry records the value and where the next one
// starts, so a walk can leap through a long list instead of reading all of it.
//
// A PostingCursor reads one list in place (the index's bytes may be a mapped
// file); a Candidates stream walks the functions on all lists of a group, for any
// of several groups, in ascending order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wayfind::store {

inline constexpr uint32_t kPostingBlock = 32;

struct PostingSkip {
  uint32_t value;   // the last number of the block before
  uint32_t offset;  // where the block's first number starts in the list's bytes
};

// Appends one ascending list (no repeats) to bytes and its skips to skips.
void EncodePostings(const std::vector<uint32_t>& list, std::string& bytes, std::vector<PostingSkip>& skips);

// A list that holds at least one function in kBitmapDensity is kept as a bitmap
// instead, one bit per function: no bigger than its differences would be, and a
// walk finds the next function in it with a few word operations.
inline constexpr uint32_t kBitmapDensity = 8;
bool PostingsAsBitmap(size_t count, uint32_t functions);
// Appends the bitmap of an ascending list over functions functions (8-byte
// words, starting on a multiple of 8 of bytes).
void EncodeBitmap(const std::vector<uint32_t>& list, uint32_t functions, std::string& bytes);
inline size_t BitmapBytes(uint32_t functions) { return (size_t{functions} + 63) / 64 * 8; }

// A list as it lies in the index: count numbers starting at bytes, with
// (count - 1) / kPostingBlock skip entries starting at skips; or, when words is
// set, a bitmap of bits bits; or, when plain is set, count numbers as they are.
struct PostingList {
  const uint8_t* bytes = nullptr;
  const uint8_t* end = nullptr;  // the end of the bytes the list may read
  const PostingSkip* skips = nullptr;
  uint32_t count = 0;
  const uint64_t* words = nullptr;
  uint32_t bits = 0;
  const uint32_t* plain = nullptr;  // or count numbers as they are (made for one query)
};

class PostingCursor {
 public:
  explicit PostingCursor(const PostingList& list);
  bool done() const { return index_ >= list_.count; }
  uint32_t value() const { return value_; }
  uint32_t size() const { return list_.count; }
  void next();
  // Moves to the first number not below target (done when there is none).
  void seek(uint32_t target);

 private:
  void decode();
  void nextBit(uint32_t from);
  PostingList list_;
  const uint8_t* at_ = nullptr;
  uint32_t index_ = 0;
  uint32_t value_ = 0;
};

// The functions on every list of at least one group, ascending. A group without
// lists matches nothing.
class Candidates {
 public:
  void addGroup(std::vector<PostingList> lists);
  bool empty() const { return groups_.empty(); }
  // The next function not below from; false when there is none.
  bool nextFrom(uint32_t from, uint32_t& function);

 private:
  struct Group {
    std::vector<PostingCursor> cursors;  // shortest first
    bool done = false;
  };
  static bool groupNext(Group& g, uint32_t from, uint32_t& function);
  std::vector<Group> groups_;
};

}  // namespace wayfind::store
