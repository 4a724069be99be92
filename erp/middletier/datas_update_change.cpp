#include "erp/middletier/datas_update_change.h"

#include <mutex>

#include "erp/middletier/datas_update.h"
#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"
#include "erp/storage/versions.h"

namespace wayfind::erp::middletier {

namespace {
constexpr int32_t kAdministratorsGroup = 1;

struct FaultHookSlot {
  std::mutex mutex;
  ChangeFaultHook hook;
};
FaultHookSlot& faultHook() {
  static FaultHookSlot slot;
  return slot;
}
}  // namespace

void setChangeFaultHookForTesting(ChangeFaultHook hook) {
  std::lock_guard lock(faultHook().mutex);
  faultHook().hook = std::move(hook);
}

void refuse(const std::string& description) { storage::raiseRefused(ServerDatasUpdate::kSource, description); }

bool isAdministrator(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare(
      "SELECT 1 FROM t_Group g JOIN t_User u ON u.FUserID = g.FUserID "
      "WHERE g.FGroupID = ? AND g.FUserID = ? AND u.FForbidden = 0");
  st.bindAll(kAdministratorsGroup, userId);
  return st.step();
}

Change::Change(const std::filesystem::path& database, std::string_view props, const char* method)
    : conn_(storage::connectionFor(database)), method_(method) {
  tx_.emplace(*conn_);
  caller_ = requireCaller(*conn_, props, ServerDatasUpdate::kSource);
}

void Change::requireAdministrator(const std::string& what) {
  if (!isAdministrator(*conn_, caller_.userId))
    refuse("只有系统管理员才能" + what + "，用户 " + std::to_string(caller_.userId) + " 不是系统管理员。");
}

void Change::checkpoint(std::string_view point) {
  ChangeFaultHook hook;
  {
    std::lock_guard lock(faultHook().mutex);
    hook = faultHook().hook;
  }
  if (hook) hook(method_, point);
}

void Change::commit() {
  checkpoint("write");
  if (template_) storage::bumpTemplateRevision(*conn_);
  for (int32_t user : users_) storage::bumpUserRevision(*conn_, user);
  checkpoint("commit");
  tx_->commit();
}

}  // namespace wayfind::erp::middletier
