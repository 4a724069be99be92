// Reading the groups of frequently used functions ("常用功能"). The groups and
// their lists live in the middle tier, not in the navigation tables, and are read
// live through "ZelWayfind.DatasInfo" on every call: nothing here is cached. The
// query class hands these on unchanged, and the update side reads the groups when
// it has to choose one.
#pragma once

#include <cstdint>

#include "platform/automation/variant.h"
#include "platform/recordset/recordset.h"

namespace wayfind::store {

// The user's groups (FFuncGroupID, FFuncGroupName) in the server's order. Any
// failure is raised again as error 5 "获取常用功能组失败。" with its reason.
platform::Variant GetNormalFuncGroup();

// The functions of one group (FDetailFuncID, FFuncName, FHelpCode, FShowName) in
// list order; recomputes the account-type code first, as every navigation query
// does. Failures reach the caller unchanged.
platform::RecordsetPtr GetDetailNormalFunc(int32_t lngGroupID);

}  // namespace wayfind::store
