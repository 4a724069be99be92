// The groups of frequently used functions ("常用功能"): each user keeps groups,
// each an ordered list of detail functions with the user's own help codes and show
// names. They live in the middle tier, not in the navigation tables: they are read
// through "ZelWayfind.DatasInfo" (store/normal_func_queries.h) and changed here
// through "ZelWayfind.DatasUpdate".
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/variant.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::update {

// Changes; server failures reach the caller as the server raised them.
void ClearNormalList(int32_t lFuncGroupID = -1);
bool AddNormalFuncGroup(const std::string& strFuncGroupName, const std::string& strShowName = {});
platform::Variant DelNormalFuncGroup(int32_t lngGroupID);
platform::Variant UpdateNormalFuncGroup(int32_t lngGroupID, const std::string& strName);

// Appends one function to a group. With group -1 and more than one group, the
// installed chooser picks the group; a choice closed without OK answers false and
// calls no server. A failing server call answers false; a failure while reading the
// groups or choosing reaches the caller.
// Replaces one group's whole list with rows (dictionaries with FDetailFuncID,
// FHelpCode, FShowName, FFuncName, in list order) in a single server change: the
// group keeps either the new list or its old one. Server failures reach the caller
// as the server raised them.
void ReplaceNormalList(int32_t lngGroupID, const platform::VectorPtr& rows);

bool AppendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                      const std::string& strFuncName, const platform::Variant& lngGroupID);
// The same for the program's own windows: the server's refusal or failure
// reaches the caller as the server raised it, so that the user learns why
// (the function or the group deleted meanwhile); false only when the user
// chose no group.
bool AppendNormalItemTellingWhy(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                                const std::string& strFuncName, const platform::Variant& lngGroupID);

}  // namespace wayfind::update
