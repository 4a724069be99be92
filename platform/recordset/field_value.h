// Conversion of a value written into a field to the field's type, and the
// numeric / text views of stored values that comparisons and indexes use.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/automation/variant.h"
#include "platform/recordset/column_store.h"
#include "platform/recordset/field.h"

namespace wayfind::platform {

// The value as the field stores it: Null and Empty become Null, a Variant field
// keeps the value as it is, other types convert with the host's rules (CLng,
// CStr, ...; their errors propagate). A text longer than a text field's defined
// size (in Unicode characters) raises 3367.
Variant convertForField(const FieldInfo& field, const Variant& value);

// The number a stored value stands for (Boolean True is -1, a date its serial),
// or nullopt for Null, Empty, texts and objects.
std::optional<double> numericOf(const Variant& v);
std::optional<double> numericOf(const Cell& c);

// The exact integer of a value held as Integer, Long or LongLong; nullopt otherwise.
std::optional<int64_t> integerOf(const Variant& v);

}  // namespace wayfind::platform
