#include "e2e_env.h"

#include "erp/client/data_services.h"
#include "erp/client/register_client.h"
#include "erp/middletier/register_server.h"
#include "erp/storage/connection.h"
#include "erp/storage/database.h"
#include "erp/storage/versions.h"
#include "store/cache_files.h"

namespace wayfind::storee2e {

void startErp(const std::filesystem::path& database, const std::filesystem::path& cacheFolder,
              int32_t userId) {
  erp::storage::CurrentDatabase::set(database);
  erp::middletier::registerServerComponents();
  erp::client::registerClientComponents();
  erp::client::registerDataServices();
  erp::client::publishLogin(erp::client::makeLogin(userId, "张伟", "Industry", "e2e"));
  store::SetCacheFolder(cacheFolder.string());
}

void renameSubFuncInDatabase(const std::filesystem::path& database, int32_t userId, int32_t subFuncId,
                             int32_t subSysId, const std::string& name) {
  auto conn = erp::storage::connectionFor(database);
  erp::storage::Transaction tx(*conn);
  auto existing = conn->prepare(
      "UPDATE t_NavUserSubFunc SET FFuncName = ? WHERE FUserID = ? AND FSubFuncID = ?");
  existing.bindAll(name, userId, subFuncId);
  if (existing.run() == 0) {
    auto insert = conn->prepare(
        "INSERT INTO t_NavUserSubFunc (FUserID, FSubFuncID, FSubSysID, FFuncName, FAcctType, FIndex, "
        "FVisible) SELECT ?, FSubFuncID, FSubSysID, ?, FAcctType, FIndex, FVisible FROM t_NavSubFunc "
        "WHERE FSubFuncID = ? AND FSubSysID = ?");
    insert.bindAll(userId, name, subFuncId, subSysId);
    insert.run();
  }
  erp::storage::bumpUserRevision(*conn, userId);
  tx.commit();
}

}  // namespace wayfind::storee2e
