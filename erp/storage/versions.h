// Revision counters of the template (user 0) and of each user's rows, and the
// version texts built from them. Every change bumps its counter in the change's
// own transaction, so a reader sees the rows and the version of one moment.
//
//   template:  "T:<instance>:<template revision>"
//   user:      "U:<instance>:<template revision>:<user id>:<user revision>"
#pragma once

#include <cstdint>
#include <string>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

int64_t templateRevision(Connection& conn);
int64_t userRevision(Connection& conn, int32_t userId);  // 0 when never changed
// Add one to the counter and return the new value. Call inside a Transaction.
int64_t bumpTemplateRevision(Connection& conn);
int64_t bumpUserRevision(Connection& conn, int32_t userId);

std::string templateVersionText(Connection& conn);
std::string userVersionText(Connection& conn, int32_t userId);

}  // namespace wayfind::erp::storage
