// A small company on a temporary database for the write side's tests: two top
// classes, three subsystems, four sub-functions (701 a user's own folder), four
// detail functions; an administrator and three users.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "erp/middletier/datas_update.h"
#include "erp/middletier/server_data_info.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/database.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::testing {

inline constexpr int32_t kAdmin = 16384;
inline constexpr int32_t kUserA = 16385;
inline constexpr int32_t kUserB = 16386;
inline constexpr int32_t kUserC = 16387;

std::string props(int32_t userId, const std::string& language = "chs");

// Creates the company in a new database file under folder (no demo data).
void createSmallCompany(const std::filesystem::path& database);

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  storage::Connection& conn() { return *storage::connectionFor(path_); }
  const std::filesystem::path& path() const { return path_; }
  // The test's own temporary folder (logs of child processes go there).
  const std::filesystem::path& folderPath() const { return folder_; }

  middletier::ServerDatasUpdate up_;
  middletier::ServerDataInfo info_;
  middletier::ServerDatasInfo datas_;

  // The user's rows as GetUserData delivers them.
  platform::RecordsetPtr userTable(int32_t userId, const std::string& table);
  // One row of a record set, field by field, or empty when the id is absent.
  std::map<std::string, platform::Variant> row(const platform::RecordsetPtr& rs, const std::string& idField, int32_t id);
  int64_t revision(int32_t userId);  // 0 = the template
  std::string userVersion(int32_t userId);
  // Every row of every navigation table, for "nothing changed" checks.
  std::string dump();
  int64_t count(const std::string& sql);

  static platform::DictionaryPtr dict(std::initializer_list<std::pair<const char*, platform::Variant>> values);

 private:
  std::filesystem::path folder_, path_;
};

// Runs fn and expects error 5 whose description contains text.
void expectRefused(const std::function<void()>& fn, const std::string& text);

}  // namespace wayfind::erp::testing
