#include "erp/middletier/server_data_info.h"

#include <iterator>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "erp/middletier/caller.h"
#include "erp/middletier/nav_tables.h"
#include "erp/storage/database.h"
#include "erp/storage/recordset_builder.h"
#include "erp/storage/versions.h"

namespace wayfind::erp::middletier {

namespace {
std::vector<storage::Statement*> pointersTo(std::vector<storage::Statement>& queries) {
  std::vector<storage::Statement*> all;
  for (auto& q : queries) all.push_back(&q);
  return all;
}

// The users whose version GetUserTemplateVer last found never moved, in this
// process (each call has a service object of its own). Only a guess of what
// GetUserData will read: a wrong one costs a round trip, never a row.
class UnchangedUsers {
 public:
  static UnchangedUsers& instance() {
    static UnchangedUsers users;
    return users;
  }
  void note(int32_t userId, int64_t revision) {
    std::lock_guard lock(mutex_);
    if (revision == 0)
      users_.insert(userId);
    else
      users_.erase(userId);
  }
  bool has(int32_t userId) {
    std::lock_guard lock(mutex_);
    return users_.count(userId) > 0;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<int32_t> users_;
};
}  // namespace

ServerDataInfo::ServerDataInfo(std::filesystem::path database) : database_(std::move(database)) {}

// Each call is one round trip to a server: the caller's check and the reads go
// together, and the reads are taken only once the check passed. A login whose
// user identifier cannot be read is refused before anything is read.
std::string ServerDataInfo::GetTemplateVer(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  if (!userIdFromProps(propsString)) requireCaller(*conn, propsString, kSource);
  // The version call needs no transaction: the text is read by one statement.
  auto version = storage::templateVersionQuery(*conn);
  requireCaller(*conn, propsString, kSource, {&version});
  return storage::templateVersionFrom(*conn, version);
}

platform::DictionaryPtr ServerDataInfo::GetTemplate(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  if (!userIdFromProps(propsString)) requireCaller(*conn, propsString, kSource);
  const std::string language = languageFromProps(propsString);
  static constexpr const char* kTables[] = {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile, kAcctType};
  std::vector<storage::Statement> queries;
  std::vector<size_t> expected(std::size(kTables));
  for (size_t i = 0; i < std::size(kTables); ++i)
    queries.push_back(templateTableQuery(*conn, kTables[i], language, expected[i]));
  queries.push_back(storage::templateVersionQuery(*conn));
  requireCaller(*conn, propsString, kSource, pointersTo(queries));
  auto dict = std::make_shared<platform::Dictionary>();
  for (size_t i = 0; i < std::size(kTables); ++i)
    dict->SetValue(kTables[i], storage::recordsetFromStatement(queries[i], templateFields(kTables[i]), expected[i]));
  dict->SetValue(kTimeStamp, storage::templateVersionFrom(*conn, queries.back()));
  return dict;
}

std::string ServerDataInfo::GetUserTemplateVer(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  const auto id = userIdFromProps(propsString);
  // User 0 is no user (the check refuses it) and has no version to read.
  if (!id || *id == 0) requireCaller(*conn, propsString, kSource);
  auto version = storage::userVersionQuery(*conn, *id);
  const Caller caller = requireCaller(*conn, propsString, kSource, {&version});
  int64_t revision = 0;
  std::string text = storage::userVersionFrom(*conn, version, caller.userId, &revision);
  UnchangedUsers::instance().note(caller.userId, revision);
  return text;
}

// Every change that writes a user's rows of the levels moves the user's version
// in the same transaction, so a user whose version never moved has none: their
// data is the levels' tables empty and the profile (the template's defaults and
// what the user's use of functions stored, which moves no version). A new user's
// first login then reads four tables fewer, which on a server is most of what
// the call costs it. Whether to read the levels with the rest is guessed from
// the version the client asked for just before; the version read with the data
// decides, and rows that came meanwhile are read then, in the same transaction.
platform::DictionaryPtr ServerDataInfo::GetUserData(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const auto id = userIdFromProps(propsString);
  if (!id || *id == 0) requireCaller(*conn, propsString, kSource);
  const std::string language = languageFromProps(propsString);
  static constexpr const char* kLevels[] = {kTopClass, kSubSystem, kSubFunc, kDetailFunc};
  std::vector<storage::Statement> queries;
  queries.push_back(userTableQuery(*conn, kProfile, *id, UserRows::View, language));
  queries.push_back(storage::userVersionQuery(*conn, *id));
  std::vector<storage::Statement> levels;
  auto askLevels = [&] {
    for (const char* table : kLevels) levels.push_back(userTableQuery(*conn, table, *id, UserRows::View, language));
  };
  const bool levelsNow = !UnchangedUsers::instance().has(*id);
  if (levelsNow) askLevels();
  std::vector<storage::Statement*> together = pointersTo(queries);
  for (auto& level : levels) together.push_back(&level);
  const Caller caller = requireCaller(*conn, propsString, kSource, together);
  int64_t revision = 0;
  const std::string version = storage::userVersionFrom(*conn, queries[1], caller.userId, &revision);
  if (!levelsNow && revision != 0) {
    askLevels();
    conn->runTogether(pointersTo(levels));
  }
  auto dict = std::make_shared<platform::Dictionary>();
  for (size_t i = 0; i < std::size(kLevels); ++i)
    dict->SetValue(kLevels[i], levels.empty() ? storage::makeRecordset(userFields(kLevels[i]))
                                              : storage::recordsetFromStatement(levels[i], userFields(kLevels[i])));
  dict->SetValue(kProfile, storage::recordsetFromStatement(queries[0], userFields(kProfile)));
  dict->SetValue(kTimeStamp, version);
  return dict;
}

}  // namespace wayfind::erp::middletier
