#include "erp/middletier/erp_test_db.h"

#include <cstdlib>
#include <stdexcept>

#include "erp/demo/demo_company.h"

namespace wayfind::erp::testing {

TempDatabase::TempDatabase(storage::Seed seed) {
  std::string pattern = (std::filesystem::temp_directory_path() / "wayfind-erp-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  path_ = folder_ / "wayfind.db";
  storage::releaseThreadConnections();
  storage::CurrentDatabase::set(path_);
  storage::CurrentDatabase::setSeed(seed);
  storage::CurrentDatabase::setDemoSeeder(&demo::loadDemoCompany);
}

TempDatabase::~TempDatabase() {
  storage::CurrentDatabase::reset();
  storage::releaseThreadConnections();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

storage::Connection& TempDatabase::conn() { return *storage::connectionFor(path_); }

std::string propsFor(int32_t userId, const std::string& language) {
  return "UserID=" + std::to_string(userId) + ";UserName={演示, 用户};T8Version=9.0;AcctDB=demo;Language=" + language;
}

}  // namespace wayfind::erp::testing
