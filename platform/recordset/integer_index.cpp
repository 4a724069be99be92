// Integer hash indexes and their upkeep on writes.
#include "platform/recordset/integer_index.h"

#include <algorithm>

namespace wayfind::platform {

IntegerIndex::IntegerIndex(const RowStore& rows, int field) {
  const size_t n = rows.size();
  for (uint32_t r = 0; r < n; ++r) {
    const Cell c = rows.cell(r, static_cast<size_t>(field));
    if (c.isInteger()) buckets_[c.integer].push_back(r);
  }
}

const RowList& IntegerIndex::rowsWith(int64_t key) const {
  static const RowList kNone;
  auto it = buckets_.find(key);
  return it == buckets_.end() ? kNone : it->second;
}

void IntegerIndex::insert(uint32_t row, const Cell& value) {
  if (!value.isInteger()) return;
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
  auto it = buckets_.find(value.integer);
  if (it == buckets_.end()) return;
  RowList& list = it->second;
  auto at = std::lower_bound(list.begin(), list.end(), row);
  if (at != list.end() && *at == row) list.erase(at);
  if (list.empty()) buckets_.erase(it);
}

void IndexSet::reset(int fieldCount) {
  byField_.clear();
  fieldCount_ = static_cast<size_t>(fieldCount);
}

const IntegerIndex& IndexSet::require(const RowStore& rows, int field) {
  if (byField_.empty()) byField_.resize(fieldCount_);
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) slot = std::make_unique<IntegerIndex>(rows, field);
  return *slot;
}

void IndexSet::onWrite(uint32_t row, int field, const Cell& oldValue, const Cell& newValue) {
  if (byField_.empty()) return;
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) return;
  slot->erase(row, oldValue);
  slot->insert(row, newValue);
}

void IndexSet::onAppend(uint32_t row, const RowStore& rows) {
  for (size_t f = 0; f < byField_.size(); ++f)
    if (byField_[f]) byField_[f]->insert(row, rows.cell(row, f));
}

size_t IndexSet::memoryBytes() const {
  size_t bytes = 0;
  for (const auto& index : byField_) {
    if (!index) continue;
    // A node of the map (key, list, link, hash) and a bucket pointer per key.
    bytes += index->buckets_.bucket_count() * sizeof(void*);
    for (const auto& [key, list] : index->buckets_)
      bytes += sizeof(key) + sizeof(list) + 2 * sizeof(void*) + list.capacity() * sizeof(uint32_t);
  }
  return bytes;
}

}  // namespace wayfind::platform
