// Private state of a Recordset, shared by its implementation files
// (recordset.cpp: structure, rows, cursor, values; recordset_query.cpp: filter,
// sort, find).
#pragma once

#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/recordset/bound_criteria.h"
#include "platform/recordset/integer_index.h"
#include "platform/recordset/recordset.h"
#include "platform/recordset/sort_order.h"

namespace wayfind::platform {

struct Recordset::Impl {
  static constexpr int64_t kAtBOF = -1;
  static constexpr int64_t kAtEOF = -2;

  std::vector<FieldInfo> fields;
  RowStore rows;
  bool open = false;

  // The visible view: stored row numbers in view order, and the cursor into it
  // (a position, or kAtBOF / kAtEOF). An empty view is at both BOF and EOF.
  RowList view;
  int64_t cursor = kAtEOF;
  // Position in the view of every stored row (-1 when hidden); built on demand
  // for indexed Find and dropped whenever the view is rebuilt.
  std::vector<int32_t> viewPosition;
  bool viewPositionValid = false;

  std::string filterText;
  std::shared_ptr<const BoundCriteria> filter;  // null: no filter
  std::string sortText;
  SortOrder sortOrder;

  IndexSet indexes;
  bool useIndexes = true;
  // Criteria texts bound to this set's fields; fields only change while the set
  // has no rows, and appendField clears it.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, std::shared_ptr<const BoundCriteria>, TextHash, std::equal_to<>> boundCache;

  bool onRow() const { return cursor >= 0 && cursor < static_cast<int64_t>(view.size()); }
  uint32_t currentRow() const;  // 3021 when not on a row
  int fieldFor(int index) const;  // 3265 when out of range
  std::shared_ptr<const BoundCriteria> bound(std::string_view text);
  void rebuildView();
  void addToView(uint32_t row);
  void ensureViewPositions();
};

inline constexpr const char* kRecordsetSource = "Recordset";

}  // namespace wayfind::platform
