// Writing and walking posting lists.
#include "store/search_postings.h"

#include <algorithm>
#include <functional>

namespace wayfind::store {

void EncodePostings(const std::vector<uint32_t>& list, std::string& bytes, std::vector<PostingSkip>& skips) {
  const size_t start = bytes.size();
  uint32_t previous = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0 && i % kPostingBlock == 0) skips.push_back({previous, static_cast<uint32_t>(bytes.size() - start)});
    uint32_t delta = list[i] - previous;
    while (delta >= 0x80) {
      bytes += static_cast<char>((delta & 0x7F) | 0x80);
      delta >>= 7;
    }
    bytes += static_cast<char>(delta);
    previous = list[i];
  }
}

bool PostingsAsBitmap(size_t count, uint32_t functions) {
  return functions >= 256 && count * kBitmapDensity >= functions;
}

void EncodeBitmap(const std::vector<uint32_t>& list, uint32_t functions, std::string& bytes) {
  std::vector<uint64_t> words(BitmapBytes(functions) / 8, 0);
  for (uint32_t f : list) words[f / 64] |= uint64_t{1} << (f % 64);
  bytes.append(reinterpret_cast<const char*>(words.data()), words.size() * 8);
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
  groups_.push_back(std::move(g));
}

// Leapfrog: the shortest list proposes, the others seek to it.
bool Candidates::groupNext(Group& g, uint32_t from, uint32_t& function) {
  if (g.done) return false;
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
