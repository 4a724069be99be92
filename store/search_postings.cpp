// Writing and walking posting lists.
#include "store/search_postings.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

#include "platform/containers/hash_slot.h"
#include "platform/recordset/large_memory.h"

namespace wayfind::store {

bool PostingsAsBitmap(size_t count, uint32_t functions) {
  return functions >= 256 && count * kBitmapDensity >= functions;
}

PostingsBuilder::PostingsBuilder() : lists_(1024) {}
PostingsBuilder::~PostingsBuilder() {
  for (void* b : blocks_) platform::freeLarge(b, kSlabBytes * kSlabsPerBlock);
}

// A small index's lists fit in a few slabs from the heap; a large one's take
// their slabs from blocks of huge pages, which fill with far fewer page faults.
void PostingsBuilder::addSlab() {
  if (slabs_.size() < kSlabsPerBlock) {
    heapSlabs_.emplace_back(new uint8_t[kSlabBytes]);
    slabs_.push_back(heapSlabs_.back().get());
    return;
  }
  const size_t inBlock = (slabs_.size() - kSlabsPerBlock) % kSlabsPerBlock;
  if (inBlock == 0) {
    blocks_.reserve(blocks_.size() + 1);
    void* block = platform::allocateLarge(kSlabBytes * kSlabsPerBlock);
    if (!block) throw std::bad_alloc();
    blocks_.push_back(block);
  }
  slabs_.push_back(static_cast<uint8_t*>(blocks_.back()) + inBlock * kSlabBytes);
}


// Every key of every function comes here: kept inline in add, the growing aside.
[[gnu::always_inline]] inline PostingsBuilder::List& PostingsBuilder::find(uint64_t key) {
  if ((listCount_ + 1) * 2 > lists_.size()) [[unlikely]]
    grow();
  const size_t mask = lists_.size() - 1;
  for (size_t s = platform::hashSlot(key, lists_.size());; s = (s + 1) & mask) {
    List& l = lists_[s];
    if (l.count == 0) {
      l.key = key;
      ++listCount_;
      return l;
    }
    if (l.key == key) return l;
  }
}

void PostingsBuilder::grow() {
  platform::LargeVector<List> lists(lists_.size() * 2);
  const size_t mask = lists.size() - 1;
  for (const List& l : lists_) {
    if (l.count == 0) continue;
    size_t s = platform::hashSlot(l.key, lists.size());
    while (lists[s].count != 0) s = (s + 1) & mask;
    lists[s] = l;
  }
  lists_ = std::move(lists);
}

// A list's next chunk, linked behind its last.
void PostingsBuilder::newChunk(List& l) {
  if (chunks_ % kChunksPerSlab == 0) addSlab();
  const uint32_t c = chunks_++;
  if (l.tail != kNone) std::memcpy(chunk(l.tail) + kChunkBytes, &c, 4);
  else l.head = c;
  l.tail = c;
}

[[gnu::always_inline]] inline void PostingsBuilder::put(List& l, uint8_t b) {
  if (l.bytes < kInline) {
    l.first[l.bytes++] = b;
    return;
  }
  const size_t at = (l.bytes - kInline) % kChunkBytes;
  if (at == 0) [[unlikely]]
    newChunk(l);
  chunk(l.tail)[at] = b;
  ++l.bytes;
}

[[gnu::always_inline]] inline void PostingsBuilder::addOne(uint64_t key, uint32_t f) {
  List& l = find(key);
  if (l.count > 0 && l.last == f) return;  // the function has the key already
  uint32_t delta = f - l.last;
  l.last = f;
  ++l.count;
  while (delta >= 0x80) {
    put(l, static_cast<uint8_t>((delta & 0x7F) | 0x80));
    delta >>= 7;
  }
  put(l, static_cast<uint8_t>(delta));
}

void PostingsBuilder::add(std::span<const uint64_t> keys, uint32_t f) {
  for (uint64_t key : keys) addOne(key, f);
}

template <class F>
void PostingsBuilder::eachByte(const List& l, F&& f) const {
  const size_t inline_ = std::min<size_t>(l.bytes, kInline);
  for (size_t i = 0; i < inline_; ++i) f(l.first[i]);
  size_t left = l.bytes - inline_;
  for (uint32_t c = l.head; left > 0;) {
    const uint8_t* p = chunk(c);
    const size_t n = std::min(left, kChunkBytes);
    for (size_t i = 0; i < n; ++i) f(p[i]);
    left -= n;
    if (left > 0) std::memcpy(&c, p + kChunkBytes, 4);
  }
}

std::vector<PostingsBuilder::Planned> PostingsBuilder::plan(uint32_t functions) const {
  std::vector<Planned> out;
  out.reserve(listCount_);
  for (uint32_t i = 0; i < lists_.size(); ++i) {
    const List& l = lists_[i];
    if (l.count == 0) continue;
    const bool bitmap = PostingsAsBitmap(l.count, functions);
    out.push_back({l.key, i, l.count, bitmap, bitmap ? BitmapBytes(functions) : l.bytes,
                   bitmap || l.count == 0 ? 0 : (l.count - 1) / kPostingBlock});
  }
  std::sort(out.begin(), out.end(), [](const Planned& a, const Planned& b) { return a.key < b.key; });
  return out;
}

// Every kPostingBlock numbers a skip entry records the number before and where
// the next starts.
void PostingsBuilder::write(const Planned& p, uint8_t* out, PostingSkip* skips) const {
  const List& l = lists_[p.list];
  uint32_t value = 0, delta = 0, index = 0;
  int shift = 0;
  size_t at = 0;
  bool starting = true;
  eachByte(l, [&](uint8_t b) {
    if (!p.bitmap) {
      if (starting && index > 0 && index % kPostingBlock == 0) *skips++ = {value, static_cast<uint32_t>(at)};
      out[at++] = b;
    }
    starting = false;
    delta |= static_cast<uint32_t>(b & 0x7F) << shift;
    shift += 7;
    if (b & 0x80) return;
    value += delta;
    if (p.bitmap) reinterpret_cast<uint64_t*>(out)[value / 64] |= uint64_t{1} << (value % 64);
    delta = 0, shift = 0, starting = true;
    ++index;
  });
}

PostingCursor::PostingCursor(const PostingList& list) : list_(list), at_(list.bytes) {
  if (list_.words) {
    nextBit(0);
  } else if (list_.plain) {
    if (list_.count > 0) value_ = list_.plain[0];
  } else if (list_.count > 0) {
    decode();
  }
}

// The first set bit from from on; done when there is none.
void PostingCursor::nextBit(uint32_t from) {
  index_ = 0;
  for (uint32_t w = from / 64; from < list_.bits && w < (list_.bits + 63) / 64; ++w, from = w * 64) {
    const uint64_t word = list_.words[w] & (~uint64_t{0} << (from % 64));
    if (word) {
      const uint32_t bit = w * 64 + static_cast<uint32_t>(__builtin_ctzll(word));
      if (bit >= list_.bits) break;
      value_ = bit;
      return;
    }
  }
  index_ = list_.count;
}

// Reads the number at at_, adding it to value_. A list that runs past the end of
// its bytes (a damaged index) ends there.
void PostingCursor::decode() {
  uint32_t delta = 0;
  int shift = 0;
  while (at_ < list_.end && shift < 35) {
    const uint8_t b = *at_++;
    delta |= static_cast<uint32_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      value_ += delta;
      return;
    }
    shift += 7;
  }
  index_ = list_.count;
}

void PostingCursor::next() {
  if (list_.words) return nextBit(value_ + 1);
  if (list_.plain) {
    if (++index_ < list_.count) value_ = list_.plain[index_];
    return;
  }
  if (++index_ < list_.count) decode();
}

void PostingCursor::seek(uint32_t target) {
  if (done() || value_ >= target) return;
  if (list_.words) return nextBit(target);
  if (list_.plain) {
    index_ = static_cast<uint32_t>(std::lower_bound(list_.plain + index_, list_.plain + list_.count, target) -
                                   list_.plain);
    if (index_ < list_.count) value_ = list_.plain[index_];
    return;
  }
  // Leap to the last block whose predecessor's last number is below target.
  const uint32_t block = index_ / kPostingBlock;
  const uint32_t blocks = list_.count == 0 ? 0 : (list_.count - 1) / kPostingBlock;  // skip entries
  if (block < blocks && list_.skips[block].value < target) {
    const PostingSkip* first = list_.skips + block;
    const PostingSkip* last = list_.skips + blocks;
    const PostingSkip* it = std::partition_point(first, last, [&](const PostingSkip& s) { return s.value < target; });
    const auto leap = static_cast<uint32_t>(it - list_.skips);  // skip k leads to block k + 1
    if (leap > block) {
      index_ = leap * kPostingBlock;
      value_ = list_.skips[leap - 1].value;
      at_ = list_.bytes + list_.skips[leap - 1].offset;
      if (at_ > list_.end) {
        index_ = list_.count;
        return;
      }
      decode();
    }
  }
  while (!done() && value_ < target) next();
}

void Candidates::addGroup(std::vector<PostingList> lists) {
  Group g;
  if (lists.empty()) return;
  std::sort(lists.begin(), lists.end(), [](const PostingList& a, const PostingList& b) {
    if (a.count != b.count) return a.count < b.count;
    if (a.bytes != b.bytes) return std::less<const uint8_t*>()(a.bytes, b.bytes);
    if (a.words != b.words) return std::less<const uint64_t*>()(a.words, b.words);
    return std::less<const uint32_t*>()(a.plain, b.plain);
  });
  // A list named twice (a pair that a text holds twice) is walked once.
  lists.erase(std::unique(lists.begin(), lists.end(),
                          [](const PostingList& a, const PostingList& b) {
                            return a.count == b.count && a.bytes == b.bytes && a.words == b.words &&
                                   a.plain == b.plain;
                          }),
              lists.end());
  for (const auto& l : lists) g.cursors.emplace_back(l);
  g.done = g.cursors.front().done();
  if (std::all_of(lists.begin(), lists.end(), [](const PostingList& l) { return l.words != nullptr; })) {
    g.bits = UINT32_MAX;
    for (const auto& l : lists) g.bitmaps.push_back(l.words), g.bits = std::min(g.bits, l.bits);
  }
  groups_.push_back(std::move(g));
}

// Bitmaps only: their words are joined a word at a time.
bool Candidates::bitmapsNext(Group& g, uint32_t from, uint32_t& function) {
  for (uint32_t w = from / 64; from < g.bits; ++w, from = w * 64) {
    uint64_t word = ~uint64_t{0} << (from % 64);
    for (const uint64_t* words : g.bitmaps) {
      word &= words[w];
      if (!word) break;
    }
    if (word) {
      const uint32_t bit = w * 64 + static_cast<uint32_t>(__builtin_ctzll(word));
      if (bit >= g.bits) break;
      function = bit;
      return true;
    }
  }
  g.done = true;
  return false;
}

// Leapfrog: the shortest list proposes, the others seek to it.
bool Candidates::groupNext(Group& g, uint32_t from, uint32_t& function) {
  if (g.done) return false;
  if (!g.bitmaps.empty()) return bitmapsNext(g, from, function);
  uint32_t target = from;
  for (;;) {
    PostingCursor& lead = g.cursors[0];
    lead.seek(target);
    if (lead.done()) {
      g.done = true;
      return false;
    }
    target = lead.value();
    bool onAll = true;
    for (size_t k = 1; k < g.cursors.size(); ++k) {
      PostingCursor& c = g.cursors[k];
      c.seek(target);
      if (c.done()) {
        g.done = true;
        return false;
      }
      if (c.value() != target) {
        target = c.value();
        onAll = false;
        break;
      }
    }
    if (onAll) {
      function = target;
      return true;
    }
  }
}

bool Candidates::nextFrom(uint32_t from, uint32_t& function) {
  bool any = false;
  uint32_t best = 0;
  for (Group& g : groups_) {
    uint32_t f;
    if (groupNext(g, from, f) && (!any || f < best)) {
      best = f;
      any = true;
    }
  }
  function = best;
  return any;
}

}  // namespace wayfind::store
