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

// A list as it lies in the index: count numbers starting at bytes, with
// count / kPostingBlock skip entries starting at skips.
struct PostingList {
  const uint8_t* bytes = nullptr;
  const uint8_t* end = nullptr;  // the end of the bytes the list may read
  const PostingSkip* skips = nullptr;
  uint32_t count = 0;
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
