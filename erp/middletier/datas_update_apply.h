// What the node updates and ApplyAllUser share: the key under which a window
// sends the values it read, and the rows a save for one user records in the
// call's info dictionary so that ApplyAllUser gives the other users exactly
// those rows, as the window showed them, and nothing else of that user's.
#pragma once

#include <cstdint>

#include "erp/api/server_datas_update.h"
#include "erp/middletier/datas_update_change.h"
#include "platform/containers/dictionary.h"

namespace wayfind::erp::middletier {

// The key of a row's dictionary holding the values the window read.
inline constexpr const char* kReadKey = "Read";
// The info dictionary holds the rows saved for a template user under
// api::kAppliedRowsKey: a vector of dictionaries "Level", "ID", "Values".
using api::kAppliedRowsKey;

void recordAppliedRow(platform::Dictionary& info, int level, int32_t id, const platform::Dictionary& values);
bool hasAppliedRows(const platform::DictionaryPtr& info);

// Within change c, gives userId each recorded row the user may change (a node
// of the template or the user's own item), with the recorded values; another
// user's custom item is nobody else's to receive and is skipped. Answers how
// many rows were given.
int applyRecordedRows(Change& c, int32_t userId, const platform::Dictionary& info);

}  // namespace wayfind::erp::middletier
