// Private state of a Recordset, shared by its implementation files
// (recordset.cpp: structure, rows, cursor, values; recordset_query.cpp: filter,
// sort, find).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/recordset/bound_criteria.h"
#include "platform/recordset/integer_index.h"
#include "platform/recordset/recordset.h"
#include "platform/recordset/sort_order.h"

namespace wayfind::platform {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// A record set's fields and what depends on them alone: the criteria and sorts
// bound to them. The sets made by cloneStructure() share their source's schema
// until one of them changes a field (copy on write), so the merged results of a
// table bind each filter and sort text once, not once per result. Sets sharing
// a schema may be used by different threads: the caches take the mutex.
struct RecordsetSchema {
  std::vector<FieldInfo> fields;
  std::unordered_map<std::string, int, TextHash, std::equal_to<>> byName;  // names as spelt
  std::mutex mutex;
  // One bound criteria per text shape (criteria_shape.h): the one of the text
  // last set with that shape, whose tree serves every other.
  std::unordered_map<std::string, std::shared_ptr<const BoundCriteria>, TextHash, std::equal_to<>> criteria;
  std::unordered_map<std::string, std::shared_ptr<const SortOrder>, TextHash, std::equal_to<>> sorts;
};

// The visible rows of a set: stored row numbers in view order. Every row in
// storage order (what a table shows once loaded, before its first filter) is
// only counted until something needs it as a list, since a loaded table's first
// filter usually replaces it at once: a table of 500,000 rows then never writes
// the 2 MB list. Reading a position needs no list; a list is made once, safely
// when several threads read the set.
class ViewRows {
 public:
  ViewRows() = default;
  ViewRows(const ViewRows&) = delete;
  ViewRows& operator=(const ViewRows&) = delete;

  // Every one of count rows in storage order.
  void setWhole(size_t count) {
    list_.clear();
    whole_ = count;
    pending_.store(true, std::memory_order_release);
  }
  void assign(RowList rows) {
    list_ = std::move(rows);
    pending_.store(false, std::memory_order_release);
  }
  // The list given up (empty when the rows were only counted); the view is then empty.
  RowList take() {
    RowList taken = pending() ? RowList() : std::move(list_);
    assign(RowList());
    return taken;
  }

  size_t size() const { return pending() ? whole_ : list_.size(); }
  bool empty() const { return size() == 0; }
  uint32_t operator[](size_t position) const {
    return pending() ? static_cast<uint32_t>(position) : list_[position];
  }
  size_t capacity() const { return list_.capacity(); }
  // The rows as a list, made first if they were only counted.
  RowList& list() {
    settle();
    return list_;
  }
  const RowList& list() const {
    settle();
    return list_;
  }
  RowList::const_iterator begin() const { return list().begin(); }
  RowList::const_iterator end() const { return list().end(); }

 private:
  bool pending() const { return pending_.load(std::memory_order_acquire); }
  void settle() const;

  mutable RowList list_;
  size_t whole_ = 0;
  mutable std::atomic<bool> pending_{false};
};

struct Recordset::Impl {
  static constexpr int64_t kAtBOF = -1;
  static constexpr int64_t kAtEOF = -2;

  Impl();

  std::shared_ptr<RecordsetSchema> schema;  // never null
  const std::vector<FieldInfo>& fields() const { return schema->fields; }
  // The fields to change: a schema of their own first when shared, with its
  // caches empty.
  std::vector<FieldInfo>& ownFields();
  RowStore rows;
  bool open = false;

  // The visible view: stored row numbers in view order, and the cursor into it
  // (a position, or kAtBOF / kAtEOF). An empty view is at both BOF and EOF.
  ViewRows view;
  RowList spareView;  // room for the next view (rebuildView)
  int64_t cursor = kAtEOF;
  // Position in the view of every stored row (-1 when hidden); built on demand
  // for indexed Find and dropped whenever the view is rebuilt.
  std::vector<int32_t> viewPosition;
  bool viewPositionValid = false;

  std::string filterText;
  std::shared_ptr<const BoundCriteria> filter;  // null: no filter
  std::string sortText;
  std::shared_ptr<const SortOrder> sortOrder;  // never null; without keys: storage order

  IndexSet indexes;
  bool useIndexes = true;

  bool onRow() const { return cursor >= 0 && cursor < static_cast<int64_t>(view.size()); }
  uint32_t currentRow() const;  // 3021 when not on a row
  int fieldFor(int index) const;  // 3265 when out of range
  // The criteria text bound to the fields (3265, 3001 when it cannot be).
  std::shared_ptr<const BoundCriteria> bound(std::string_view text);
  // The sort text bound to the fields; storageOrder() for an empty text (3265, 3001).
  std::shared_ptr<const SortOrder> boundSort(std::string_view text);
  void rebuildView();
  void addToView(uint32_t row);
  void ensureViewPositions();
};

inline constexpr const char* kRecordsetSource = "Recordset";

// The sort without keys (storage order), shared by every set.
const std::shared_ptr<const SortOrder>& storageOrder();

}  // namespace wayfind::platform
