// A temporary ERP database for one test: a fresh folder, the current database set
// to a file in it (with the demo company, or empty), everything removed afterwards.
//
// When WAYFIND_TEST_PG names a PostgreSQL server (a connection URI as a
// superuser; scripts/test starts a throwaway one), every test database is a new
// database on that server instead, created with the schema and dropped
// afterwards: the same tests then prove the server back end.
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

// The server the tests run against, or empty for SQLite files.
std::string testServer();
bool onServer();
// A new, empty database for one test: a file path in folder, or on the test
// server a new database's URI (as the server's superuser, or as role when given).
std::filesystem::path newTestDatabase(const std::filesystem::path& folder);
// The URI of database as another role (server only).
std::string asRole(const std::filesystem::path& database, const std::string& role);
// Drops a database newTestDatabase made on the server; removes nothing else.
void dropTestDatabase(const std::filesystem::path& database);

// PropsString of a login as the host writes it.
std::string propsFor(int32_t userId, const std::string& language = "chs");

}  // namespace wayfind::erp::testing
