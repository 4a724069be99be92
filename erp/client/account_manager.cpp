#include "erp/client/account_manager.h"

#include <unistd.h>

#include "erp/client/share_props.h"
#include "erp/middletier/caller.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/messages.h"
#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::erp::client {

AcctMgr::AcctMgr(std::filesystem::path database) : database_(std::move(database)) {}

std::string AcctMgr::GetProfile(const std::string& name) {
  auto conn = storage::connectionFor(database_);
  auto st = conn->prepare("SELECT FValue FROM t_AcctProfile WHERE FName = ?");
  st.bind(1, name);
  return st.step() ? st.text(0) : std::string();
}

void AcctMgr::SetProfile(const std::string& name, const std::string& value) {
  if (name.empty()) storage::raiseRefused(kSource, "设置名称不能为空。");
  storage::checkText(kSource, "设置名称", name, storage::size::kProfileName);
  storage::checkText(kSource, "设置值", value, storage::size::kProfileValue);
  auto conn = storage::connectionFor(database_);
  // The company's switches are the administrators' to change: the login this
  // process published says who asks (a server's rights refuse the others too,
  // with an error of its own; a database file has nothing else to stop them).
  // Asked before the write lock, which a server gives administrators only.
  const std::string props =
      platform::textOrEmpty(SharePropsTable::instance().get(static_cast<int32_t>(::getpid()), "PropsString"));
  const auto caller = middletier::requireCaller(*conn, props, kSource);
  if (!middletier::isAdministrator(*conn, caller.userId))
    storage::raiseRefused(kSource, middletier::say("只有系统管理员才能%1。", {middletier::say("修改公司的设置")}));
  storage::Transaction tx(*conn);
  auto st = conn->prepare(
      "INSERT INTO t_AcctProfile(FName, FValue) VALUES (?1, ?2) ON CONFLICT(FName) DO UPDATE SET FValue = ?2");
  st.bindAll(name, value).run();
  tx.commit();
}

}  // namespace wayfind::erp::client
