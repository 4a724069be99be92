// The record of the functions a user started, kept in the user's profile beside
// the user's settings. Writing it leaves the user's version alone: a start
// changes nothing in the tree, and a new version would make every client load
// the user's data (and its search index) again.
#include "erp/middletier/datas_update.h"

#include "erp/middletier/caller.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "platform/navigation/function_use.h"

namespace wayfind::erp::middletier {

namespace {

std::string storedUse(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare("SELECT FValue FROM t_NavUserProfile WHERE FUserID = ? AND FName = ?");
  st.bindAll(userId, nav::kFunctionUseSetting);
  return st.step() ? st.text(0) : std::string();
}

}  // namespace

std::string ServerDatasUpdate::GetFunctionUse(const Props& p) {
  // A read: it waits behind no change, and a database the process may only
  // read answers it too.
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, p, kSource);
  return storedUse(*conn, caller.userId);
}

std::string ServerDatasUpdate::RecordFunctionUse(const Props& p, int32_t& lngDetailID) {
  Change c(database_, p, "RecordFunctionUse", storage::WriteLock::Shared);
  const int32_t today = nav::UseDayToday();
  nav::FunctionUse use = nav::FunctionUse::parse(storedUse(c.conn(), c.userId()));
  use.recordStart(lngDetailID, today);
  std::string text = use.text(today);
  static_assert(nav::kFunctionUseTextLimit <= static_cast<size_t>(storage::size::kProfileValue));
  auto st = c.conn().prepare(
      "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (?, ?, ?) "
      "ON CONFLICT(FUserID, FName) DO UPDATE SET FValue = excluded.FValue");
  st.bindAll(c.userId(), nav::kFunctionUseSetting, text);
  st.run();
  c.commit();
  return text;
}

}  // namespace wayfind::erp::middletier
