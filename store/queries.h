// The host's queries on the navigation store: the tree levels (each a new record
// set with the user's rows merged over the template rows available for the
// current account type), questions about single nodes, and the settings and
// account-type lookups. Every query that reads the tables loads them first when a
// slot is empty; failures reach the caller except where noted.
#pragma once

#include <cstdint>
#include <string>

#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::store {

using platform::DictionaryPtr;
using platform::RecordsetPtr;

// ---- tree queries; "_All" variants keep invisible nodes ----
RecordsetPtr GetTopClass();
RecordsetPtr GetTopClass_All();
RecordsetPtr GetSubSystem(int32_t lTopClassID);
// lTopClassID < 0: every top class. With IsBOSQuery the user's rows are left out.
RecordsetPtr GetSubSystem_All(int32_t lTopClassID);
RecordsetPtr GetSubFunc(int32_t lSubSysID);
// lSubSysID < 0: every subsystem.
RecordsetPtr GetSubFunc_All(int32_t lSubSysID);
RecordsetPtr GetDetailFunc(int32_t lSubFuncID);
RecordsetPtr GetDetailFunc_All(int32_t lSubFuncID);
// One detail function; no row when it is reserved to another account type.
RecordsetPtr GetDetailFuncInfo(int32_t lDetailFuncID);

// ---- node questions ----
// lType 2 = subsystem, 3 = sub-function. oDict receives the node's row when it
// exists (replaced by a new dictionary).
bool IsRefresh(int32_t lID, int32_t lType, DictionaryPtr& oDict);
bool IsRefreshNode(int32_t lID, int32_t lType);
bool IsSetEnable(int32_t lID, DictionaryPtr& oDict);
bool GetSubSystemInfo(int32_t lID, DictionaryPtr& oDict);

// ---- account types and settings ----
// The template AcctType table itself, filtered to live rows of one code (0 = all).
RecordsetPtr GetAcctInfo(int32_t lngAcctType);
// These four never fail: any error gives empty text.
std::string GetAcctShowName(const std::string& strName);
std::string GetProfileValue(const std::string& strName);
std::string GetSubSysClass(int32_t lID, int32_t lType);
std::string GetSubSysName(int32_t lFDetailFuncID);

// A new dictionary with one entry per field of the record set's current row.
DictionaryPtr RowToDictionary(const RecordsetPtr& rs);

}  // namespace wayfind::store
