// "T8MSmsManager.clsBillUseInfo" on the ERP database: runs one read-only SELECT
// for a known user and answers its rows as a record set typed from the result.
//
// Refused with error 5, before anything runs and with nothing changed: an empty
// text, more than one statement, text that is not UTF-8, and any statement that
// could write (INSERT, UPDATE, DELETE, CREATE, DROP, ALTER, ATTACH, DETACH,
// PRAGMA, VACUUM, REINDEX, BEGIN/COMMIT, ...). Three independent guards: the
// statement is prepared on a read-only connection, under an authorizer that
// allows only reads, and must be sqlite3_stmt_readonly. A query running longer
// than 15 seconds is interrupted.
#pragma once

#include <filesystem>

#include "erp/api/data_access.h"

namespace wayfind::erp::client {

class BillUseInfo : public api::IBillUseInfo {
 public:
  explicit BillUseInfo(std::filesystem::path database = {});

  platform::RecordsetPtr GetData(const std::string& propsString, const std::string& sql) override;

  static constexpr const char* kSource = "T8MSmsManager.clsBillUseInfo";

 private:
  std::filesystem::path database_;
};

}  // namespace wayfind::erp::client
