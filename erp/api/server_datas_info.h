// "ZelWayfind.DatasInfo": the middle tier's questions about the tree and the
// favourites groups. Arguments after PropsString are passed by reference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "platform/automation/object.h"
#include "platform/automation/registry.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::api {

class IServerDatasInfo : public platform::Object {
 public:
  virtual std::string GetSubSysClass(const std::string& propsString, int32_t& lID, int32_t& lType) = 0;
  virtual std::string GetSubSysName(const std::string& propsString, int32_t& lFDetailFuncID) = 0;
  // Rows with FHelpCode and FHelpCode1 (and the detail function's fields).
  virtual platform::RecordsetPtr GetHelpCodeInfo(const std::string& propsString, std::string& sHelpCode) = 0;
  virtual platform::Variant GetNextIndex(const std::string& propsString, int32_t& lType, int32_t& lID) = 0;
  virtual platform::Variant GetNextID(const std::string& propsString, int32_t& lType, int32_t& lID) = 0;
  virtual platform::DictionaryPtr ExportUserData(const std::string& propsString) = 0;
  // FFuncGroupID, FFuncGroupName.
  virtual platform::Variant GetNormalFuncGroup(const std::string& propsString) = 0;
  // FDetailFuncID, FFuncName, FHelpCode, FShowName, in list order.
  virtual platform::Variant GetDetailNormalFunc(const std::string& propsString, int32_t& lngGroupID) = 0;
};

// A new "ZelWayfind.DatasInfo" as the registry makes it (the ERP's middle tier registers it).
inline std::shared_ptr<IServerDatasInfo> newServerDatasInfo() {
  return platform::Registry::instance().createAs<IServerDatasInfo>(progid::kServerDatasInfo);
}

}  // namespace wayfind::erp::api
