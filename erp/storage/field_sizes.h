// Defined sizes, in characters, of the text fields the middle tier stores and
// delivers. The database refuses longer texts; the record sets carry these sizes.
#pragma once

#include <cstdint>

#include "platform/navigation/columns.h"

namespace wayfind::erp::storage::size {
// The tree's rows, as their columns have them (platform/navigation/columns.h).
inline constexpr int32_t kName = nav::kNameChars;          // FTopClassName, FName, FFuncName*, FShowName
inline constexpr int32_t kHelpCode = nav::kHelpCodeChars;  // FHelpCode, FHelpCode1
inline constexpr int32_t kAcctList = nav::kAcctListChars;  // FAcctType of the tree levels
inline constexpr int32_t kClass = nav::kClassChars;        // FClassName, FClassParam, FHelpFile
inline constexpr int32_t kProfileName = 50; // Profile.FName, t_AcctProfile.FName
inline constexpr int32_t kProfileValue = 1000;  // FValue of the profiles and company switches
inline constexpr int32_t kAcctNumber = 50;  // AcctType.FNumber
inline constexpr int32_t kGroupName = 80;   // FFuncGroupName, group FShowName
inline constexpr int32_t kUserName = 80;    // t_User.FName
inline constexpr int32_t kDescription = 255;
}  // namespace wayfind::erp::storage::size
