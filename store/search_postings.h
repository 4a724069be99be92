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
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/recordset/large_memory.h"

namespace wayfind::store {

inline constexpr uint32_t kPostingBlock = 32;

struct PostingSkip {
  uint32_t value;   // the last number of the block before
  uint32_t offset;  // where the block's first number starts in the list's bytes
};

// A list that holds at least one function in kBitmapDensity is kept as a bitmap
// instead, one bit per function: no bigger than its differences would be, and a
// walk finds the next function in it with a few word operations.
inline constexpr uint32_t kBitmapDensity = 8;
bool PostingsAsBitmap(size_t count, uint32_t functions);
inline size_t BitmapBytes(uint32_t functions) { return (size_t{functions} + 63) / 64 * 8; }

// The posting lists of an index being built. Functions come in ascending order,
// each with its keys, and every number is written at once as it will lie in the
// index (its difference from the one before, in seven-bit groups) into small
// blocks of one pool: a list never grows by copying, and the build holds about
// the bytes the lists will take. Keys are found in one open-addressed table.
class PostingsBuilder {
 public:
  PostingsBuilder();
  ~PostingsBuilder();
  PostingsBuilder(const PostingsBuilder&) = delete;
  PostingsBuilder& operator=(const PostingsBuilder&) = delete;

  // Adds function f to the list of each of keys (a key may come more than
  // once); f is not below any function added to them before (the same function
  // again adds nothing).
  void add(std::span<const uint64_t> keys, uint32_t f);

  // Every key, ascending, with what its list will take among functions numbers.
  struct Planned {
    uint64_t key;
    uint32_t list;     // which list (for write)
    uint32_t count;
    bool bitmap;
    size_t bytes;      // of the list (a bitmap's, or its differences')
    size_t skips;      // skip entries it has
  };
  std::vector<Planned> plan(uint32_t functions) const;
  // Writes a planned list at out (bitmap: zeroed beforehand, 8-byte aligned) and
  // its skips at skips.
  void write(const Planned& p, uint8_t* out, PostingSkip* skips) const;

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr size_t kInline = 8;             // a list's first bytes, kept with it
  static constexpr size_t kChunk = 64;             // a pool block: bytes and the next block's number
  static constexpr size_t kChunkBytes = kChunk - 4;
  static constexpr size_t kChunksPerSlab = 4096;
  static constexpr size_t kSlabBytes = kChunksPerSlab * kChunk;
  static constexpr size_t kSlabsPerBlock = 8;  // beyond the first few slabs, 2 MB blocks of slabs
  struct List {
    uint64_t key;
    uint32_t count = 0, last = 0, bytes = 0;
    uint32_t head = kNone, tail = kNone;
    uint8_t first[kInline];
  };
  List& find(uint64_t key);
  void addOne(uint64_t key, uint32_t f);
  void grow();
  void put(List& l, uint8_t b);
  void newChunk(List& l);
  uint8_t* chunk(uint32_t c) const { return slabs_[c / kChunksPerSlab] + (c % kChunksPerSlab) * kChunk; }
  void addSlab();
  template <class F>
  void eachByte(const List& l, F&& f) const;

  // The lists, open-addressed by key: a key's list is found with one look into
  // memory. A list with no functions (count 0) is an empty place.
  platform::LargeVector<List> lists_;
  size_t listCount_ = 0;
  std::vector<uint8_t*> slabs_;
  std::vector<std::unique_ptr<uint8_t[]>> heapSlabs_;  // the first kSlabsPerBlock slabs
  std::vector<void*> blocks_;                          // the others, kSlabsPerBlock to a block for huge pages
  uint32_t chunks_ = 0;
};

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
    std::vector<const uint64_t*> bitmaps;  // every list's words, when all are bitmaps
    uint32_t bits = 0;                     // then the fewest bits among them
    bool done = false;
  };
  static bool bitmapsNext(Group& g, uint32_t from, uint32_t& function);
  static bool groupNext(Group& g, uint32_t from, uint32_t& function);
  std::vector<Group> groups_;
};

}  // namespace wayfind::store
