// A record set's sort: "FIndex,FSubSysID", "FName DESC", "[F Name] ASC, FID".
// Fields bare or in brackets, each optionally followed by ASC or DESC (any case).
// Rows compare key by key, Null first when ascending (last when descending);
// equal rows keep storage order, so the sort is stable.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/recordset/field.h"
#include "platform/recordset/integer_index.h"

namespace wayfind::platform {

class SortOrder {
 public:
  SortOrder() = default;
  // Raises 3001 for a malformed text and 3265 for an unknown field.
  static SortOrder parse(std::string_view text, const std::vector<FieldInfo>& fields);

  bool empty() const { return keys_.empty(); }
  // Puts `view` (stored row numbers) in sort order; storage order without keys.
  void apply(RowList& view, const RowStore& rows) const;
  // True when stored row a comes before stored row b in this order.
  bool before(uint32_t a, uint32_t b, const RowStore& rows) const;

 private:
  struct Key {
    int field = 0;
    bool descending = false;
  };
  std::vector<Key> keys_;
};

}  // namespace wayfind::platform
