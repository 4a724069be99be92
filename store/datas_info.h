// DatasInfo: the public class through which the host and the editors read the
// navigation store. It holds no state of its own: every method forwards to a store
// operation, and every object shares the one store. Creating an object loads the
// tables when any slot is empty; destroying one keeps them. The marked queries are
// timed through the call log; a failure ends the method at once with no end entry
// and reaches the caller as the method's error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::store {

class DatasInfo : public platform::Object, public platform::Dispatchable {
 public:
  static constexpr const char* kProgId = erp::progid::kDatasInfo;
  static constexpr const char* kInterfaceName = "_DatasInfo";

  using Rs = platform::RecordsetPtr;
  using Dict = platform::DictionaryPtr;

  DatasInfo();
  ~DatasInfo() override;

  Rs GetTopClass();
  Rs GetTopClass_All();
  Rs GetSubSystem(int32_t lTopClassID);
  Rs GetSubSystem_All(int32_t lTopClassID);
  Rs GetSubFunc(int32_t lSubSysID);
  Rs GetSubFunc_All(int32_t lSubSysID);
  Rs GetDetailFunc(int32_t lSubFuncID);
  Rs GetDetailFunc_All(int32_t lSubFuncID);
  Rs GetDetailFuncInfo(int32_t lDetailFuncID);
  Rs GetHelpCodeInfo(const std::string& sHelpCode);
  Rs GetDetailNormalFunc(int32_t lngGroupID);
  bool IsRefresh(int32_t lID, int32_t lType, Dict& oDict);
  std::string GetSubSysClass(int32_t lID, int32_t lType);
  bool IsSetEnable(int32_t lID, Dict& oDict);
  std::string GetSubSysName(int32_t lFDetailFuncID);
  std::string GetProfileValue(const std::string& strName);
  std::string GetAcctShowName(const std::string& strName);
  Rs GetAcctInfo(int32_t lngAcctType);
  bool GetSubSystemInfo(int32_t lID, Dict& oDict);
  bool IsReFreshBaseData(int32_t lngSystemID);
  bool IsRefreshNode(int32_t lID, int32_t lType);
  int32_t GetNextIndex(int32_t lType, int32_t lID);
  int32_t GetNextID(int32_t lType, int32_t lID);
  bool IsHasChild(int32_t lBase, int32_t lID);
  platform::Variant GetNormalFuncGroup();
  void Export(const std::string& strFile);
  void Initial();
  void ClearCache();
  bool IsBOSQuery() const;
  void SetIsBOSQuery(bool value);
  void RegetDataInfo();

  // Late-bound face: every method above by name, in slot order ("IsBOSQuery" reads
  // the flag with no argument and sets it with one).
  platform::Variant invoke(std::string_view name, platform::Args& args) override;
  std::vector<std::string> methodNames() const override;
};

// Registers DatasInfo under its ProgID.
void registerDatasInfo();
// A new "WayfindInfo.DatasInfo" as the registry makes it (a host may have
// registered another class under the name).
std::shared_ptr<DatasInfo> newDatasInfo();

}  // namespace wayfind::store
