// Small services around the navigation tree: the current account-type code, the
// lookup of detail functions by help code, the next free order number and
// identifier for a new node (asked of "ZelWayfind.DatasInfo"), and whether a node
// has user-created children.
#pragma once

#include <cstdint>
#include <string>

#include "platform/recordset/recordset.h"

namespace wayfind::store {

// The account-type code of a setup-type text (compared in upper case; 1 when the
// text is not in the table).
int32_t AcctTypeCodeOf(const std::string& setupType);
// The code of the host's current setup type, recomputed only when the setup type
// differs from the one last used. Failures reading the setup type propagate.
int32_t GetAcctTypeCode();

// A text placed between single quotes in a filter, with its quotes doubled.
std::string QuoteFilterText(const std::string& text);

// The server's rows for a help code, filtered to those whose FHelpCode or
// FHelpCode1 is the code. Any failure raises error 5 with the language text of
// the failure and its reason.
platform::RecordsetPtr GetHelpCodeInfo(const std::string& sHelpCode);
// The next free FIndex / identifier for a new child; 0 on any failure.
int32_t GetNextIndex(int32_t lType, int32_t lID);
int32_t GetNextID(int32_t lType, int32_t lID);
// Whether the user's tables hold a child of the node named by level base
// (platform/navigation/levels.h) and id. A detail function never has one; another
// base raises error 5.
bool IsHasChild(int32_t lBase, int32_t lID);

}  // namespace wayfind::store
