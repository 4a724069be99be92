#include "erp/middletier/server_data_info.h"

#include <iterator>
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
  return storage::userVersionFrom(*conn, version, caller.userId);
}

platform::DictionaryPtr ServerDataInfo::GetUserData(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const auto id = userIdFromProps(propsString);
  if (!id || *id == 0) requireCaller(*conn, propsString, kSource);
  const std::string language = languageFromProps(propsString);
  static constexpr const char* kTables[] = {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile};
  std::vector<storage::Statement> queries;
  for (const char* table : kTables) queries.push_back(userTableQuery(*conn, table, *id, UserRows::View, language));
  queries.push_back(storage::userVersionQuery(*conn, *id));
  const Caller caller = requireCaller(*conn, propsString, kSource, pointersTo(queries));
  auto dict = std::make_shared<platform::Dictionary>();
  for (size_t i = 0; i < std::size(kTables); ++i)
    dict->SetValue(kTables[i], storage::recordsetFromStatement(queries[i], userFields(kTables[i])));
  dict->SetValue(kTimeStamp, storage::userVersionFrom(*conn, queries.back(), caller.userId));
  return dict;
}

}  // namespace wayfind::erp::middletier
