// Ordering of stored values as filters and sorts see them: numbers numerically,
// texts without regard to ASCII letter case, Null before everything.
#pragma once

#include <string_view>

#include "platform/automation/variant.h"
#include "platform/recordset/column_store.h"

namespace wayfind::platform {

// <0, 0, >0 comparing texts with ASCII letters folded to upper case, byte by byte.
int compareTextNoCase(std::string_view a, std::string_view b);

// Sort order of two stored values of one field: Null (and Empty) first, then
// numbers (NaN last among them), then texts, objects last. A total order.
int compareForSort(const Variant& a, const Variant& b);
int compareForSort(const Cell& a, const Cell& b);

}  // namespace wayfind::platform
