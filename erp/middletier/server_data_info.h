// "ZelWayfind.clsDataInfo" on the SQLite database: the navigation template and a
// user's own rows, each a dictionary of record sets whose TimeStamp is the version
// text read in the same transaction as the rows.
#pragma once

#include <filesystem>

#include "erp/api/server_data_info.h"

namespace wayfind::erp::middletier {

class ServerDataInfo : public api::IServerDataInfo {
 public:
  // The database is the current one unless a path is given.
  explicit ServerDataInfo(std::filesystem::path database = {});

  std::string GetTemplateVer(const std::string& propsString) override;
  platform::DictionaryPtr GetTemplate(const std::string& propsString) override;
  std::string GetUserTemplateVer(const std::string& propsString) override;
  platform::DictionaryPtr GetUserData(const std::string& propsString) override;

  static constexpr const char* kSource = "ZelWayfind.clsDataInfo";

 private:
  std::filesystem::path database_;
};

}  // namespace wayfind::erp::middletier
