// Writing and walking posting lists.
#include "store/search_postings.h"

#include <algorithm>

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

PostingCursor::PostingCursor(const PostingList& list) : list_(list), at_(list.bytes) {
  if (list_.count > 0) decode();
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
  if (++index_ < list_.count) decode();
}

void PostingCursor::seek(uint32_t target) {
  if (done() || value_ >= target) return;
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
  std::sort(lists.begin(), lists.end(), [](const PostingList& a, const PostingList& b) { return a.count < b.count; });
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
