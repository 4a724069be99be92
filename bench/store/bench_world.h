// What the store's benchmarks share: the memory server, the loaded companies,
// and the SQLite baseline's database, all for one run.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "erp/api/server_data_info.h"
#include "store/data_info.h"

namespace wayfind::storebench {


using platform::DictionaryPtr;

// "ZelWayfind.clsDataInfo" answering from memory: version calls cost next to
// nothing, so the store's own overhead around them shows in full.
class MemoryServer : public erp::api::IServerDataInfo {
 public:
  std::string templateVersion, userVersion;
  DictionaryPtr templ, user;
  std::string GetTemplateVer(const std::string&) override { return templateVersion; }
  DictionaryPtr GetTemplate(const std::string&) override { return templ; }
  std::string GetUserTemplateVer(const std::string&) override { return userVersion; }
  DictionaryPtr GetUserData(const std::string&) override { return user; }
};

struct World {
  std::filesystem::path root;
  std::shared_ptr<MemoryServer> server = std::make_shared<MemoryServer>();
  store::DataInfo large, small;  // the store holding each company
  sqlite3* db = nullptr;
};

inline World& world() {
  static World w;
  return w;
}

inline void useStore(const store::DataInfo& snapshot) { store::DataInfo::instance() = snapshot; }

// Sub-function and subsystem ids spread over the company, so no run favours one.
inline std::vector<int32_t> spread(int first, int count) {
  std::vector<int32_t> ids;
  for (int k = 0; k < 64; ++k) ids.push_back(first + (k * 7919) % count);
  return ids;
}

// The SQLite baseline (sqlite_baseline.cpp): the store's tables copied into
// SQLite in memory with indexes on the parent ids, and the two queries as
// statements prepared once and checked against the store's answers.
struct Statements {
  sqlite3_stmt* detail = nullptr;
  sqlite3_stmt* subFunc = nullptr;
};
Statements& statements();
void buildSqlite();
void prepareSqlite();
// Runs st for parent and reads every value of every row as a caller does.
uint64_t readSql(sqlite3_stmt* st, int32_t parent);
// Aborts when SQLite prepared st again since it was prepared.
void requireNoReprepare(sqlite3_stmt* st, const char* what);

}  // namespace wayfind::storebench
