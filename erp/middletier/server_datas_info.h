// "ZelWayfind.DatasInfo" on the SQLite database: questions about single nodes in
// the calling user's view (class, subsystem name, help codes, next order number
// and identifier), the export of the user's customisation, and the favourites.
//
// lType of GetSubSysClass: 1 top class, 2 subsystem, 3 sub-function, 4 detail
// function. lType of GetNextIndex / GetNextID: the level of the new child (1 top
// class; 2 subsystem under top class lID; 3 sub-function under subsystem lID;
// 4 detail function under sub-function lID).
#pragma once

#include <filesystem>

#include "erp/api/server_datas_info.h"

namespace wayfind::erp::middletier {

class ServerDatasInfo : public api::IServerDatasInfo {
 public:
  explicit ServerDatasInfo(std::filesystem::path database = {});

  std::string GetSubSysClass(const std::string& propsString, int32_t& lID, int32_t& lType) override;
  std::string GetSubSysName(const std::string& propsString, int32_t& lFDetailFuncID) override;
  platform::RecordsetPtr GetHelpCodeInfo(const std::string& propsString, std::string& sHelpCode) override;
  platform::Variant GetNextIndex(const std::string& propsString, int32_t& lType, int32_t& lID) override;
  platform::Variant GetNextID(const std::string& propsString, int32_t& lType, int32_t& lID) override;
  platform::DictionaryPtr ExportUserData(const std::string& propsString) override;
  platform::Variant GetNormalFuncGroup(const std::string& propsString) override;
  platform::Variant GetDetailNormalFunc(const std::string& propsString, int32_t& lngGroupID) override;

  static constexpr const char* kSource = "ZelWayfind.DatasInfo";
  // Keys of the exported dictionary besides the navigation tables.
  static constexpr const char* kExportFormat = "WayfindUserData";
  static constexpr int32_t kExportVersion = 1;

 private:
  std::filesystem::path database_;
};

}  // namespace wayfind::erp::middletier
