#include "favourites/ports.h"

#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"

namespace wayfind::favourites {

std::shared_ptr<store::DatasInfo> newDatasInfo() {
  return platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
}

std::shared_ptr<update::DatasUpdate> newDatasUpdate() {
  return platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
}

bool hasRecord(const platform::RecordsetPtr& rs) { return rs && rs->RecordCount() > 0 && !rs->isEOF(); }

}  // namespace wayfind::favourites
