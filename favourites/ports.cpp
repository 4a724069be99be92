#include "favourites/ports.h"

#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"

namespace wayfind::favourites {

bool hasRecord(const platform::RecordsetPtr& rs) { return rs && rs->RecordCount() > 0 && !rs->isEOF(); }

}  // namespace wayfind::favourites
