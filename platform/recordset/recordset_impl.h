// Private state of a Recordset, shared by its implementation files
// (recordset.cpp: structure, rows, cursor, values; recordset_query.cpp: filter,
// sort, find).
#pragma once

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
  RowList view;
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
