// Building a tree query's result: a copy of the filtered template rows with the
// user's own rows merged over them, sorted by display order.
#pragma once

#include <cstdint>
#include <string>

#include "platform/recordset/recordset.h"

namespace wayfind::store {

using platform::RecordsetPtr;

// A new, open record set with the fields of source (name, type, defined size,
// attributes, precision) and no rows.
RecordsetPtr CloneStructure(const RecordsetPtr& source);

// Appends to target every row visible through source's filter, in its order,
// copying fields by name. Does nothing unless both exist and source is on a row.
void CopyAllRows(const RecordsetPtr& target, const RecordsetPtr& source);

// The merged result for tableName ("TopClass", "SubSystem", "SubFunc" or
// "DetailFunc"). The caller has set the filters on both tables; userTable may be
// null (nothing to merge). subFuncId is the sub-function whose leaves are listed
// (GetDetailFunc), 0 otherwise; the user's rows alone are listed under one for
// which nav::ListsOnlyUserRows holds. The result is sorted by the level's order once a
// user row has been merged and stands on its first row.
RecordsetPtr MergeUserRows(const std::string& tableName, const RecordsetPtr& templateTable,
                           const RecordsetPtr& userTable, int32_t subFuncId);

// The literal merge: the result is searched from its first row for every user row
// and sorted after every row. Same result as MergeUserRows, at a higher cost;
// MergeUserRows falls back to it when a search could meet more than one row
// (an identifier repeated in the template rows) or an identifier is not an integer.
RecordsetPtr MergeUserRowsLiteral(const std::string& tableName, const RecordsetPtr& templateTable,
                                  const RecordsetPtr& userTable, int32_t subFuncId);

}  // namespace wayfind::store
