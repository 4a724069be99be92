// The groups of frequently used functions ("常用功能"): each user keeps groups,
// each an ordered list of detail functions with the user's own help codes and show
// names. They live in the middle tier, not in the navigation tables: they are read
// through "ZelWayfind.DatasInfo" and changed through "ZelWayfind.DatasUpdate".
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/variant.h"
#include "platform/recordset/recordset.h"

namespace wayfind::update {

// The user's groups (FFuncGroupID, FFuncGroupName) in the server's order. Any
// failure is raised again as error 5 "获取常用功能组失败。" with its reason.
platform::Variant GetNormalFuncGroup();
// The functions of one group (FDetailFuncID, FFuncName, FHelpCode, FShowName) in
// list order. Failures reach the caller unchanged.
platform::RecordsetPtr GetDetailNormalFunc(int32_t lngGroupID);

// Changes; server failures reach the caller as the server raised them.
void ClearNormalList(int32_t lFuncGroupID = -1);
bool AddNormalFuncGroup(const std::string& strFuncGroupName, const std::string& strShowName = {});
platform::Variant DelNormalFuncGroup(int32_t lngGroupID);
platform::Variant UpdateNormalFuncGroup(int32_t lngGroupID, const std::string& strName);

// Appends one function to a group. With group -1 and more than one group, the
// installed chooser picks the group; a choice closed without OK answers false and
// calls no server. A failing server call answers false; a failure while reading the
// groups or choosing reaches the caller.
bool AppendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                      const std::string& strFuncName, const platform::Variant& lngGroupID);

}  // namespace wayfind::update
