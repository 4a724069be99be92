// Turns the rows of a statement into a platform::Recordset: either with fields
// fixed by the schema (name, type, defined size), or typed from the result itself
// for ad-hoc queries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "erp/storage/connection.h"
#include "platform/recordset/field.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::storage {

struct FieldSpec {
  std::string name;
  platform::DataType type = platform::DataType::Integer;
  int32_t size = 0;  // characters, for text fields
};

inline FieldSpec intField(std::string name) { return {std::move(name), platform::DataType::Integer, 0}; }
inline FieldSpec textField(std::string name, int32_t size) {
  return {std::move(name), platform::DataType::VarWChar, size};
}

// An open, empty record set with these fields (every field may hold Null).
platform::RecordsetPtr makeRecordset(const std::vector<FieldSpec>& fields);

// Runs st to its end; column i of the result fills field i of the record set. The
// result is positioned on its first row when it has rows. expectedRows, when the
// caller knows about how many rows come, lets the record set make room for them
// at once instead of growing as they arrive.
platform::RecordsetPtr recordsetFromStatement(Statement& st, const std::vector<FieldSpec>& fields,
                                              size_t expectedRows = 0);

// Runs st to its end; fields are named after the result's columns and typed from
// the declared column types, or else from the values seen (integers Integer or
// BigInt, reals Double, texts VarWChar sized to the longest value, at least 1).
platform::RecordsetPtr recordsetTypedFromResult(Statement& st);

}  // namespace wayfind::erp::storage
