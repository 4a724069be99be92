// The user-folder rules.
#include "platform/navigation/user_folders.h"

#include <string>

namespace wayfind::nav {

bool IsUserFolderId(int32_t subFuncId) { return subFuncId >= 701 && subFuncId <= 799; }

bool ListsOnlyUserRows(int32_t subFuncId) {
  if (IsUserFolderId(subFuncId)) return true;
  // The leading digits of the decimal text; a negative id's text starts with its
  // sign, which keeps it out of the range.
  const long long lead = std::stoll(std::to_string(subFuncId).substr(0, 6));
  return lead >= 750102 && lead <= 750104;
}

}  // namespace wayfind::nav
