#include "erp/middletier/server_data_info.h"

#include "erp/middletier/caller.h"
#include "erp/middletier/nav_tables.h"
#include "erp/storage/database.h"
#include "erp/storage/versions.h"

namespace wayfind::erp::middletier {

ServerDataInfo::ServerDataInfo(std::filesystem::path database) : database_(std::move(database)) {}

// The version calls need no transaction: the text is read by one statement.
std::string ServerDataInfo::GetTemplateVer(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  requireCaller(*conn, propsString, kSource);
  return storage::templateVersionText(*conn);
}

platform::DictionaryPtr ServerDataInfo::GetTemplate(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  auto dict = std::make_shared<platform::Dictionary>();
  for (const char* table : {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile, kAcctType})
    dict->SetValue(table, readTemplateTable(*conn, table, caller.language));
  dict->SetValue(kTimeStamp, storage::templateVersionText(*conn));
  return dict;
}

std::string ServerDataInfo::GetUserTemplateVer(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  return storage::userVersionText(*conn, caller.userId);
}

platform::DictionaryPtr ServerDataInfo::GetUserData(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  auto dict = std::make_shared<platform::Dictionary>();
  for (const char* table : {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile})
    dict->SetValue(table, readUserTable(*conn, table, caller.userId, UserRows::View, caller.language));
  dict->SetValue(kTimeStamp, storage::userVersionText(*conn, caller.userId));
  return dict;
}

}  // namespace wayfind::erp::middletier
