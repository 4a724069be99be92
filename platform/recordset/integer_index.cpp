// Integer hash indexes and their upkeep on writes.
#include "platform/recordset/integer_index.h"

#include <algorithm>

#include "platform/recordset/field_value.h"

namespace wayfind::platform {

IntegerIndex::IntegerIndex(const RowStore& rows, int field) {
  for (uint32_t r = 0; r < rows.size(); ++r) {
    if (auto key = integerOf(rows[r][field])) buckets_[*key].push_back(r);
  }
}

const RowList& IntegerIndex::rowsWith(int64_t key) const {
  static const RowList kNone;
  auto it = buckets_.find(key);
  return it == buckets_.end() ? kNone : it->second;
}

void IntegerIndex::insert(uint32_t row, const Variant& value) {
  auto key = integerOf(value);
  if (!key) return;
  RowList& list = buckets_[*key];
  if (list.empty() || list.back() < row) {
    list.push_back(row);  // the usual case: a new row at the end of storage
  } else {
    auto at = std::lower_bound(list.begin(), list.end(), row);
    if (at == list.end() || *at != row) list.insert(at, row);
  }
}

void IntegerIndex::erase(uint32_t row, const Variant& value) {
  auto key = integerOf(value);
  if (!key) return;
  auto it = buckets_.find(*key);
  if (it == buckets_.end()) return;
  RowList& list = it->second;
  auto at = std::lower_bound(list.begin(), list.end(), row);
  if (at != list.end() && *at == row) list.erase(at);
  if (list.empty()) buckets_.erase(it);
}

void IndexSet::reset(int fieldCount) {
  byField_.clear();
  byField_.resize(static_cast<size_t>(fieldCount));
}

const IntegerIndex& IndexSet::require(const RowStore& rows, int field) {
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) slot = std::make_unique<IntegerIndex>(rows, field);
  return *slot;
}

void IndexSet::onWrite(uint32_t row, int field, const Variant& oldValue, const Variant& newValue) {
  auto& slot = byField_[static_cast<size_t>(field)];
  if (!slot) return;
  slot->erase(row, oldValue);
  slot->insert(row, newValue);
}

void IndexSet::onAppend(uint32_t row, const std::vector<Variant>& values) {
  for (size_t f = 0; f < byField_.size(); ++f)
    if (byField_[f]) byField_[f]->insert(row, values[f]);
}

}  // namespace wayfind::platform
