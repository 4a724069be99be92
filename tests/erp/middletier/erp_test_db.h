// A temporary ERP database for one test: a fresh folder, the current database set
// to a file in it (with the demo company, or empty), everything removed afterwards.
#pragma once

#include <filesystem>
#include <string>

#include "erp/storage/database.h"

namespace wayfind::erp::testing {

class TempDatabase {
 public:
  explicit TempDatabase(storage::Seed seed = storage::Seed::Demo);
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }
  storage::Connection& conn();

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

// PropsString of a login as the host writes it.
std::string propsFor(int32_t userId, const std::string& language = "chs");

}  // namespace wayfind::erp::testing
