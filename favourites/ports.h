// How the favourites windows reach the component: its public classes, created by
// ProgID for each operation and released when the operation ends, as any caller
// of the component does.
#pragma once

#include <memory>
#include <string>

#include "platform/automation/variant.h"
#include "platform/recordset/recordset.h"
#include "store/datas_info.h"
#include "update/datas_update.h"

namespace wayfind::favourites {

using store::newDatasInfo;
using update::newDatasUpdate;

// A record set a query answered, or null when it answered none or no rows.
bool hasRecord(const platform::RecordsetPtr& rs);

}  // namespace wayfind::favourites
