// Hash indexes on integer fields of a record set: value -> the stored rows that
// hold it, in storage order. The first filter or find on a field reads its
// column once instead (a process that asks one question, as a command does,
// would pay more for the index than for the pass); a question for another value
// builds the index, which is then kept current by every write, so an identifier filter costs in
// proportion to the rows it selects, not to the size of the table. Null values
// are not indexed.
//
// A built index is three flat arrays: the keys in an open-addressed table, where
// each key's rows begin, and every row grouped by key. Building it is two passes
// over the column and a few allocations, whatever the table's size. The first
// write turns it into a list per key, which a write can change in place.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/recordset/column_store.h"

namespace wayfind::platform {

using RowList = std::vector<uint32_t>;
using RowSpan = std::span<const uint32_t>;
using RowStore = ColumnStore;

class IntegerIndex {
 public:
  IntegerIndex(const RowStore& rows, int field);

  // Rows holding `key`, ascending; empty when none. Valid until the next write.
  RowSpan rowsWith(int64_t key) const;

  void insert(uint32_t row, const Cell& value);
  void erase(uint32_t row, const Cell& value);

  size_t memoryBytes() const;

 private:
  static constexpr uint32_t kNoKey = UINT32_MAX;
  // The number of key (its place in keys_), or kNoKey.
  uint32_t ordinalOf(int64_t key) const;
  uint32_t addKey(int64_t key);
  void growSlots();
  // From the flat arrays to a list per key, before the first write.
  void makeEditable();

  // Built: keys_[k] has rows_[begin_[k] .. begin_[k + 1]).
  std::vector<int64_t> keys_;
  struct Slot {
    int64_t key;
    uint32_t ordinal;  // + 1; 0: empty
  };
  std::vector<Slot> slots_;  // the key beside its number: one memory access a probe
  std::vector<uint32_t> begin_;
  std::vector<uint32_t> rows_;
  // After a write: a list per key.
  bool editable_ = false;
  std::unordered_map<int64_t, RowList> buckets_;
};

// One lazily built IntegerIndex per field. A set whose filters never asked for
// an index (a merged result, say) costs no allocation and no upkeep.
class IndexSet {
 public:
  void reset(int fieldCount);
  // The index of `field`, built from `rows` when it does not exist yet.
  const IntegerIndex& require(const RowStore& rows, int field);
  // The rows holding key in field, ascending. The first time a field is asked,
  // by one pass over its column, whose answer is kept for the same key (a
  // filter may ask for the same parent in both halves); another key of the
  // field builds its index. Valid until the next write.
  RowSpan rowsWith(const RowStore& rows, int field, int64_t key);
  // Keep the built indexes current.
  void onWrite(uint32_t row, int field, const Cell& oldValue, const Cell& newValue);
  // A row appended with its values in place.
  void onAppend(uint32_t row, const RowStore& rows);
  // Bytes held by the built indexes.
  size_t memoryBytes() const;

 private:
  std::vector<std::unique_ptr<IntegerIndex>> byField_;  // empty until an index is built
  // A field's first question, answered by a pass over its column.
  struct Pass {
    bool done = false;   // the field was asked
    bool valid = false;  // rows still answer key (no write since)
    int64_t key = 0;
    RowList rows;
  };
  std::vector<Pass> passes_;  // empty until a field is asked
  static void forget(Pass& pass);
  size_t fieldCount_ = 0;
};

}  // namespace wayfind::platform
