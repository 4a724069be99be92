#include "store/datas_info.h"

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_update.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/call_log.h"
#include "store/cache_files.h"
#include "store/codes.h"
#include "store/data_info.h"
#include "store/normal_func_queries.h"
#include "store/queries.h"
#include "store/template_files.h"

namespace wayfind::store {

namespace {

// The wrapper of a logged method: start entry, the store operation, end entry with
// code 0. A failure leaves the method before the end entry.
template <class F>
auto logged(const char* method, F&& operation) {
  const int32_t handle = LogStart(std::string("WayfindInfo.DatasInfo.") + method);
  auto result = AfterDamageForgotten(operation);
  LogEnd(handle, 0);
  return result;
}

}  // namespace

DatasInfo::DatasInfo() {
  // The creation hook: when any slot is empty, start from a clean store and load.
  // A failure here does not stop the object from being made: the next query loads
  // again and reports the failure to its caller.
  try {
    if (DataInfo::instance().anySlotEmpty()) {
      ReleaseTables(true);
      store::Initial();
    }
  } catch (...) {
  }
}

DatasInfo::~DatasInfo() { ReleaseTables(false); }

DatasInfo::Rs DatasInfo::GetTopClass() { return logged("GetTopClass", [] { return store::GetTopClass(); }); }
DatasInfo::Rs DatasInfo::GetTopClass_All() {
  return logged("GetTopClass_All", [] { return store::GetTopClass_All(); });
}
DatasInfo::Rs DatasInfo::GetSubSystem(int32_t id) {
  return logged("GetSubSystem", [&] { return store::GetSubSystem(id); });
}
DatasInfo::Rs DatasInfo::GetSubSystem_All(int32_t id) {
  return logged("GetSubSystem_All", [&] { return store::GetSubSystem_All(id); });
}
DatasInfo::Rs DatasInfo::GetSubFunc(int32_t id) {
  return logged("GetSubFunc", [&] { return store::GetSubFunc(id); });
}
DatasInfo::Rs DatasInfo::GetSubFunc_All(int32_t id) {
  return logged("GetSubFunc_All", [&] { return store::GetSubFunc_All(id); });
}
DatasInfo::Rs DatasInfo::GetDetailFunc(int32_t id) {
  return logged("GetDetailFunc", [&] { return store::GetDetailFunc(id); });
}
DatasInfo::Rs DatasInfo::GetDetailFunc_All(int32_t id) { return AfterDamageForgotten([&] { return store::GetDetailFunc_All(id); }); }
DatasInfo::Rs DatasInfo::GetDetailFuncInfo(int32_t id) { return AfterDamageForgotten([&] { return store::GetDetailFuncInfo(id); }); }
DatasInfo::Rs DatasInfo::GetHelpCodeInfo(const std::string& code) { return AfterDamageForgotten([&] { return store::GetHelpCodeInfo(code); }); }
DatasInfo::Rs DatasInfo::GetDetailNormalFunc(int32_t group) { return AfterDamageForgotten([&] { return store::GetDetailNormalFunc(group); }); }
bool DatasInfo::IsRefresh(int32_t id, int32_t type, Dict& oDict) { return AfterDamageForgotten([&] { return store::IsRefresh(id, type, oDict); }); }
std::string DatasInfo::GetSubSysClass(int32_t id, int32_t type) {
  return logged("GetSubSysClass", [&] { return store::GetSubSysClass(id, type); });
}
bool DatasInfo::IsSetEnable(int32_t id, Dict& oDict) { return AfterDamageForgotten([&] { return store::IsSetEnable(id, oDict); }); }
std::string DatasInfo::GetSubSysName(int32_t id) { return AfterDamageForgotten([&] { return store::GetSubSysName(id); }); }
std::string DatasInfo::GetProfileValue(const std::string& name) {
  return logged("GetProfileValue", [&] { return store::GetProfileValue(name); });
}
std::string DatasInfo::GetAcctShowName(const std::string& name) {
  return logged("GetAcctShowName", [&] { return store::GetAcctShowName(name); });
}
DatasInfo::Rs DatasInfo::GetAcctInfo(int32_t acctType) { return AfterDamageForgotten([&] { return store::GetAcctInfo(acctType); }); }
bool DatasInfo::GetSubSystemInfo(int32_t id, Dict& oDict) {
  return logged("GetSubSystemInfo", [&] { return store::GetSubSystemInfo(id, oDict); });
}

bool DatasInfo::IsReFreshBaseData(int32_t lngSystemID) {
  // Any failure answers true: the caller then refreshes rather than risk stale data.
  try {
    const std::string props = context::PropsString();
    auto server = erp::api::newServerDatasUpdate();
    int32_t id = lngSystemID;
    return platform::CBool(server->IsReFreshBaseData(props, id));
  } catch (...) {
    return true;
  }
}

bool DatasInfo::IsRefreshNode(int32_t id, int32_t type) { return AfterDamageForgotten([&] { return store::IsRefreshNode(id, type); }); }
int32_t DatasInfo::GetNextIndex(int32_t type, int32_t id) { return AfterDamageForgotten([&] { return store::GetNextIndex(type, id); }); }
int32_t DatasInfo::GetNextID(int32_t type, int32_t id) { return AfterDamageForgotten([&] { return store::GetNextID(type, id); }); }
bool DatasInfo::IsHasChild(int32_t base, int32_t id) { return AfterDamageForgotten([&] { return store::IsHasChild(base, id); }); }
platform::Variant DatasInfo::GetNormalFuncGroup() { return AfterDamageForgotten([&] { return store::GetNormalFuncGroup(); }); }
void DatasInfo::Export(const std::string& file) { AfterDamageForgotten([&] { store::Export(file); }); }
void DatasInfo::Initial() { AfterDamageForgotten([&] { store::Initial(); }); }
void DatasInfo::ClearCache() { ReleaseTables(true); }
bool DatasInfo::IsBOSQuery() const { return store::IsBOSQuery(); }
void DatasInfo::SetIsBOSQuery(bool value) { store::SetIsBOSQuery(value); }
void DatasInfo::RegetDataInfo() { AfterDamageForgotten([&] { store::Initial(); }); }

void registerDatasInfo() {
  platform::Registry::instance().add(DatasInfo::kProgId, [] { return std::make_shared<DatasInfo>(); });
}

std::shared_ptr<DatasInfo> newDatasInfo() {
  return platform::Registry::instance().createAs<DatasInfo>(DatasInfo::kProgId);
}

}  // namespace wayfind::store
