#include "erp/client/account_manager.h"

#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"

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
  storage::Transaction tx(*conn);
  auto st = conn->prepare(
      "INSERT INTO t_AcctProfile(FName, FValue) VALUES (?1, ?2) ON CONFLICT(FName) DO UPDATE SET FValue = ?2");
  st.bindAll(name, value).run();
  tx.commit();
}

}  // namespace wayfind::erp::client
