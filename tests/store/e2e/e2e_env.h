// The embedded ERP for the store's end-to-end tests: a database in a folder of
// its own, the middle tier and client services registered, a user logged in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace wayfind::storee2e {

// Registers the ERP's components on database, logs userId in and points the
// store's cache folder at cacheFolder.
void startErp(const std::filesystem::path& database, const std::filesystem::path& cacheFolder,
              int32_t userId);

// Renames a sub-function for userId directly in the database, bumping the user's
// version in the same transaction, as the middle tier's write side does.
void renameSubFuncInDatabase(const std::filesystem::path& database, int32_t userId, int32_t subFuncId,
                             int32_t subSysId, const std::string& name);

}  // namespace wayfind::storee2e
