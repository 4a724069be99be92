// The sub-functions that are folders of the user's own rather than the company's.
// Two rules, for two questions:
//
//   IsUserFolderId      ids 701 to 799: the folders the template reserves for the
//                       user. IsRefresh reports them refreshed and describes them
//                       by the user's own row.
//   ListsOnlyUserRows   those ids, and ids whose first six decimal digits lie in
//                       750102 to 750104: sub-functions whose detail functions
//                       come from the user's rows alone, so the merge takes no
//                       template row for them and names them in the login's
//                       language.
#pragma once

#include <cstdint>

namespace wayfind::nav {

bool IsUserFolderId(int32_t subFuncId);
bool ListsOnlyUserRows(int32_t subFuncId);

}  // namespace wayfind::nav
