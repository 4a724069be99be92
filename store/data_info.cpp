// The store object and its lifecycle.
#include "store/data_info.h"

#include "store/call_log.h"
#include "store/loading.h"

#include "context/login_props.h"
#include "platform/automation/process_end.h"

namespace wayfind::store {

DataInfo& DataInfo::instance() {
  static DataInfo store;
  static platform::ProcessEndMark mark;
  return store;
}

void DataInfo::reset() { *this = DataInfo(); }

bool DataInfo::anySlotEmpty() const {
  return !templ.AcctType || !templ.TopClass || !templ.SubSystem || !templ.SubFunc ||
         !templ.DetailFunc || !templ.Profile || !user.TopClass || !user.SubSystem ||
         !user.SubFunc || !user.DetailFunc || !user.Profile;
}

void DataInfo::clearSlots() {
  templ = TemplateTables();
  user = UserTables();
  loadedTemplate = LoadedVersion();
  loadedUser = LoadedVersion();
}

void Initial() {
  int32_t handle = LogStart("WayfindInfo.DataInfo.Initial");
  // One reading of the login properties serves both loads.
  const std::string props = context::PropsString();
  LoadTemplate(props);
  LoadUserData(props);
  LogEnd(handle, 0);
}

void EnsureLoaded() {
  if (DataInfo::instance().anySlotEmpty()) Initial();
}

void ReleaseTables(bool clear) {
  if (clear) DataInfo::instance().clearSlots();
}

void ClearCache() { ReleaseTables(true); }

bool IsBOSQuery() { return DataInfo::instance().isBOSQuery; }
void SetIsBOSQuery(bool value) { DataInfo::instance().isBOSQuery = value; }

}  // namespace wayfind::store
