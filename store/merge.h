// Building a tree query's result: a copy of the filtered template rows with the
// user's own rows merged over them, sorted by display order.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

// A stored row of a record set: where a merged row can be read without a
// record set of its own.
struct StoredRow {
  const platform::Recordset* rs = nullptr;
  uint32_t row = 0;
};

// One sub-function's detail functions merged as MergeUserRows(..., subFuncId)
// merges them when it takes its shortcut, for reading many sub-functions
// without copying each one's template rows into a result of its own:
// templateRows are the stored rows of templ the template's filter shows for it
// (none are read for a sub-function that lists only the user's rows), userRows
// those of user the user's filter shows (at least one), each in its view's
// order. Appends the result's rows in the result's order, before its result
// filter: a template row no user row touched as it lies in templ, the others
// as rows appended to merged (a CloneStructure of templ without filter or
// sort). False, with nothing appended, where MergeUserRows would take the
// literal way: the caller then runs the query itself.
//
// copies (optional) are template rows the caller copied into merged beforehand,
// all at once, as AddNew and setValueFromStored of every field would: a touched
// row found there is taken where it lies instead of being copied again, and
// marked taken (a row is taken once).
struct CopiedRows {
  std::vector<uint32_t> from;  // template rows, ascending; the k-th is merged's stored row k
  std::vector<bool> taken;
  // merged's copy of the template row, marked taken; -1 when there is none (left).
  int64_t take(uint32_t templateRow);
};
bool MergeDetailFuncsInPlace(const platform::Recordset& templ, std::span<const uint32_t> templateRows,
                             const platform::Recordset& user, std::span<const uint32_t> userRows, int32_t subFuncId,
                             platform::Recordset& merged, std::vector<StoredRow>& rows,
                             CopiedRows* copies = nullptr);

// The literal merge: the result is searched from its first row for every user row
// and sorted after every row. Same result as MergeUserRows, at a higher cost;
// MergeUserRows falls back to it when a search could meet more than one row
// (an identifier repeated in the template rows) or an identifier is not an integer.
RecordsetPtr MergeUserRowsLiteral(const std::string& tableName, const RecordsetPtr& templateTable,
                                  const RecordsetPtr& userTable, int32_t subFuncId);

}  // namespace wayfind::store
