// Hash indexes on integer fields of a record set: value -> the stored rows that
// hold it, in storage order. An index is built the first time a filter or find
// asks for it and is then kept current by every write, so an identifier filter
// costs in proportion to the rows it selects, not to the size of the table.
// Null values are not indexed.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/recordset/column_store.h"

namespace wayfind::platform {

using RowList = std::vector<uint32_t>;
using RowStore = ColumnStore;

class IntegerIndex {
 public:
  IntegerIndex(const RowStore& rows, int field);

  // Rows holding `key`, ascending; empty when none.
  const RowList& rowsWith(int64_t key) const;

  void insert(uint32_t row, const Cell& value);
  void erase(uint32_t row, const Cell& value);

 private:
  friend class IndexSet;
  std::unordered_map<int64_t, RowList> buckets_;
};

// One lazily built IntegerIndex per field. A set whose filters never asked for
// an index (a merged result, say) costs no allocation and no upkeep.
class IndexSet {
 public:
  void reset(int fieldCount);
  // The index of `field`, built from `rows` when it does not exist yet.
  const IntegerIndex& require(const RowStore& rows, int field);
  // Keep the built indexes current.
  void onWrite(uint32_t row, int field, const Cell& oldValue, const Cell& newValue);
  // A row appended with its values in place.
  void onAppend(uint32_t row, const RowStore& rows);
  // Bytes held by the built indexes.
  size_t memoryBytes() const;

 private:
  std::vector<std::unique_ptr<IntegerIndex>> byField_;  // empty until an index is built
  size_t fieldCount_ = 0;
};

}  // namespace wayfind::platform
