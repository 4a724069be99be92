// Integer hash indexes and their upkeep on writes.
#include "platform/recordset/integer_index.h"

#include <algorithm>

namespace wayfind::platform {

namespace {

size_t slotOf(int64_t key, size_t mask) {
  return static_cast<size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 24) & mask;
}

}  // namespace

IntegerIndex::IntegerIndex(const RowStore& rows, int field) : slots_(64, Slot{0, 0}) {
  const auto n = static_cast<uint32_t>(rows.size());
  const auto column = static_cast<size_t>(field);
  // First pass: each row's key by its number, and how many rows each key has.
  // Rows of one parent often lie together: the key before is tried first.
  std::vector<uint32_t> ordinal(n, kNoKey);
  std::vector<uint32_t> count;
  constexpr uint32_t kBlock = 1024;
  std::vector<Cell> block(kBlock);
  uint32_t last = kNoKey;
  for (uint32_t first = 0; first < n; first += kBlock) {
    const uint32_t m = std::min(kBlock, n - first);
    rows.cells(column, first, m, block.data());
    for (uint32_t i = 0; i < m; ++i) {
      const Cell& c = block[i];
      if (!c.isInteger()) continue;
      uint32_t k = last != kNoKey && keys_[last] == c.integer ? last : ordinalOf(c.integer);
      if (k == kNoKey) {
        k = addKey(c.integer);
        count.push_back(0);
      }
      ordinal[first + i] = last = k;
      ++count[k];
    }
  }
  begin_.resize(keys_.size() + 1);
  uint32_t at = 0;
  for (size_t k = 0; k < keys_.size(); ++k) {
    begin_[k] = at;
    at += count[k];
  }
  begin_[keys_.size()] = at;
  // Second pass: the rows in place, in storage order within each key.
  rows_.resize(at);
  std::copy(begin_.begin(), begin_.end() - 1, count.begin());
  for (uint32_t r = 0; r < n; ++r)
    if (ordinal[r] != kNoKey) rows_[count[ordinal[r]]++] = r;
}

uint32_t IntegerIndex::ordinalOf(int64_t key) const {
  const size_t mask = slots_.size() - 1;
  for (size_t s = slotOf(key, mask);; s = (s + 1) & mask) {
    const Slot& slot = slots_[s];
    if (slot.ordinal == 0) return kNoKey;
    if (slot.key == key) return slot.ordinal - 1;
  }
}

uint32_t IntegerIndex::addKey(int64_t key) {
  if ((keys_.size() + 1) * 2 > slots_.size()) growSlots();
  const size_t mask = slots_.size() - 1;
  size_t s = slotOf(key, mask);
  while (slots_[s].ordinal != 0) s = (s + 1) & mask;
  keys_.push_back(key);
  slots_[s] = {key, static_cast<uint32_t>(keys_.size())};
  return static_cast<uint32_t>(keys_.size() - 1);
}

void IntegerIndex::growSlots() {
  std::vector<Slot> slots(slots_.size() * 2, Slot{0, 0});
  const size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.ordinal == 0) continue;
    size_t s = slotOf(slot.key, mask);
    while (slots[s].ordinal != 0) s = (s + 1) & mask;
    slots[s] = slot;
  }
  slots_ = std::move(slots);
}

RowSpan IntegerIndex::rowsWith(int64_t key) const {
  if (editable_) {
    auto it = buckets_.find(key);
    return it == buckets_.end() ? RowSpan() : RowSpan(it->second);
  }
  const uint32_t k = ordinalOf(key);
  if (k == kNoKey) return RowSpan();
  return RowSpan(rows_.data() + begin_[k], begin_[k + 1] - begin_[k]);
}

void IntegerIndex::makeEditable() {
  if (editable_) return;
  buckets_.reserve(keys_.size());
  for (size_t k = 0; k < keys_.size(); ++k)
    buckets_.emplace(keys_[k], RowList(rows_.begin() + begin_[k], rows_.begin() + begin_[k + 1]));
  keys_ = {};
  slots_ = {};
  begin_ = {};
  rows_ = {};
  editable_ = true;
}

void IntegerIndex::insert(uint32_t row, const Cell& value) {
  if (!value.isInteger()) return;
  makeEditable();
  RowList& list = buckets_[value.integer];
  if (list.empty() || list.back() < row) {
    list.push_back(row);  // the usual case: a new row at the end of storage
  } else {
    auto at = std::lower_bound(list.begin(), list.end(), row);
    if (at == list.end() || *at != row) list.insert(at, row);
  }
}

void IntegerIndex::erase(uint32_t row, const Cell& value) {
  if (!value.isInteger()) return;
  makeEditable();
  auto it = buckets_.find(value.integer);
  if (it == buckets_.end()) return;
  RowList& list = it->second;
  auto at = std::lower_bound(list.begin(), list.end(), row);
  if (at != list.end() && *at == row) list.erase(at);
  if (list.empty()) buckets_.erase(it);
}

size_t IntegerIndex::memoryBytes() const {
  if (!editable_) {
    return keys_.capacity() * sizeof(int64_t) + slots_.capacity() * sizeof(Slot) +
           (begin_.capacity() + rows_.capacity()) * sizeof(uint32_t);
  }
  // A node of the map (key, list, link, hash) and a bucket pointer per key.
  size_t bytes = buckets_.bucket_count() * sizeof(void*);
  for (const auto& [key, list] : buckets_)
    bytes += sizeof(key) + sizeof(list) + 2 * sizeof(void*) + list.capacity() * sizeof(uint32_t);
  return bytes;
}

void IndexSet::reset(int fieldCount) {
  byField_.clear();
  passes_.clear();
  fieldCount_ = static_cast<size_t>(fieldCount);
}

const IntegerIndex& IndexSet::require(const RowStore& rows, int field) {
  if (byField_.empty()) byField_.resize(fieldCount_);
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) slot = std::make_unique<IntegerIndex>(rows, field);
  return *slot;
}

RowSpan IndexSet::rowsWith(const RowStore& rows, int field, int64_t key) {
  const auto f = static_cast<size_t>(field);
  if (!byField_.empty() && byField_[f]) return byField_[f]->rowsWith(key);
  if (passes_.empty()) passes_.resize(fieldCount_);
  Pass& pass = passes_[f];
  if (!pass.done) {
    pass.done = pass.valid = true;
    pass.key = key;
    rows.rowsHolding(f, key, pass.rows);
  }
  // The pass's rows stay as they are: a list given out earlier in the same
  // filter may still be in use.
  if (pass.valid && pass.key == key) return RowSpan(pass.rows);
  return require(rows, field).rowsWith(key);
}

void IndexSet::onWrite(uint32_t row, int field, const Cell& oldValue, const Cell& newValue) {
  if (!passes_.empty()) forget(passes_[static_cast<size_t>(field)]);
  if (byField_.empty()) return;
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) return;
  slot->erase(row, oldValue);
  slot->insert(row, newValue);
}

void IndexSet::forget(Pass& pass) {
  pass.valid = false;
  pass.rows = RowList();
}

void IndexSet::onAppend(uint32_t row, const RowStore& rows) {
  for (Pass& pass : passes_) forget(pass);
  for (size_t f = 0; f < byField_.size(); ++f)
    if (byField_[f]) byField_[f]->insert(row, rows.cell(row, f));
}

size_t IndexSet::memoryBytes() const {
  size_t bytes = 0;
  for (const Pass& pass : passes_) bytes += pass.rows.capacity() * sizeof(uint32_t);
  for (const auto& index : byField_)
    if (index) bytes += index->memoryBytes();
  return bytes;
}

}  // namespace wayfind::platform
