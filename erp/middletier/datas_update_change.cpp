#include "erp/middletier/datas_update_change.h"

#include <mutex>

#include "erp/middletier/datas_update.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/middletier/messages.h"
#include "platform/automation/conversions.h"
#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"
#include "erp/storage/versions.h"

namespace wayfind::erp::middletier {

namespace {
constexpr int32_t kAdministratorsGroup = 1;
constexpr int32_t kFirstUserId = 16384;  // lower identifiers of t_User are groups

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

int32_t requireUserArg(storage::Connection& conn, const platform::Variant& v, const char* what) {
  const int32_t id = rows::intArg(what, v);
  auto st = conn.prepare("SELECT 1 FROM t_User WHERE FUserID = ? AND FUserID >= ?");
  st.bindAll(id, kFirstUserId);
  if (!st.step()) refuse(say("用户 %1 不存在。", {std::to_string(id)}));
  return id;
}

int32_t userForChange(Change& c, const platform::DictionaryPtr& dctInfo) {
  return userForChange(c.conn(), c.userId(), dctInfo);
}

int32_t userForChange(storage::Connection& conn, int32_t caller, const platform::DictionaryPtr& dctInfo) {
  if (!namesTemplateUser(dctInfo)) return caller;
  const int32_t user = requireUserArg(conn, dctInfo->GetValue("TemplateUserID"), "TemplateUserID");
  if (user != caller) requireAdministrator(conn, caller, "修改其他用户的主控台设置");
  return user;
}

void requireAdministrator(storage::Connection& conn, int32_t userId, const std::string& what) {
  if (!isAdministrator(conn, userId)) refuse(say("只有系统管理员才能%1。", {say(what)}));
}

Change::Change(const std::filesystem::path& database, std::string_view props, const char* method,
               storage::WriteLock lock)
    : conn_(storage::connectionFor(database)), method_(method) {
  caller_ = requireCaller(*conn_, props, ServerDatasUpdate::kSource);
  // Only an administrator holds the whole database: anybody else can change only
  // their own rows (the middle tier refuses the rest, as the server does), so
  // their change holds its own rows; new custom items claim their identifiers
  // (rows::claimCustomId). On a server a role that may not hold the whole
  // database is refused it there too.
  const bool whole = lock == storage::WriteLock::Whole && isAdministrator(*conn_, caller_.userId);
  tx_.emplace(*conn_, whole ? storage::WriteLock::Whole
                             : (lock == storage::WriteLock::SharedLater ? lock : storage::WriteLock::Shared));
  if (!whole) {
    conn_->serialiseOn(storage::Serial::User, caller_.userId);
  }
  if (!conn_->writeLockPutOff()) checkpoint("locked");
}

bool Change::takeWriteLock() {
  if (!conn_->writeLockPutOff()) return true;
  if (!conn_->takeWriteLockNow()) return false;
  checkpoint("locked");
  return true;
}

bool namesTemplateUser(const platform::DictionaryPtr& dctInfo) {
  if (!dctInfo || !dctInfo->Lookup("TemplateUserID")) return false;
  const platform::Variant v = dctInfo->GetValue("TemplateUserID");
  return !(v.isNull() || v.isEmpty() || (v.isString() && platform::trimSpaces(v.asString()).empty()));
}

void Change::requireAdministrator(const std::string& what) { middletier::requireAdministrator(*conn_, caller_.userId, what); }

void checkpoint(const char* method, std::string_view point) {
  ChangeFaultHook hook;
  {
    std::lock_guard lock(faultHook().mutex);
    hook = faultHook().hook;
  }
  if (hook) hook(method, point);
}

void Change::checkpoint(std::string_view point) { middletier::checkpoint(method_, point); }

void Change::commit() {
  checkpoint("write");
  if (template_) storage::bumpTemplateRevision(*conn_);
  for (int32_t user : users_) storage::bumpUserRevision(*conn_, user);
  checkpoint("commit");
  tx_->commit();
  checkpoint("committed");
}

}  // namespace wayfind::erp::middletier
