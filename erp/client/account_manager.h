// "QvSvrMgr.AcctMgr" on the ERP database: the company switches of the login and
// main window (ENTERPRISE_LOGO, COMPANY_NOTSHOW, COMPANY_NOTSAVE, ...), one text
// per name.
#pragma once

#include <filesystem>

#include "erp/api/account_manager.h"

namespace wayfind::erp::client {

class AcctMgr : public api::IAcctMgr {
 public:
  explicit AcctMgr(std::filesystem::path database = {});

  // The stored text; empty text when the name was never set.
  std::string GetProfile(const std::string& name) override;
  // Stores value under name. A name that is empty, longer than 50 characters or
  // not UTF-8, or a value longer than 1000 characters or not UTF-8, is refused
  // with error 5 and nothing is stored; so is a change asked by a process whose
  // published login is no administrator's.
  void SetProfile(const std::string& name, const std::string& value) override;

  static constexpr const char* kSource = "QvSvrMgr.AcctMgr";

 private:
  std::filesystem::path database_;
};

}  // namespace wayfind::erp::client
