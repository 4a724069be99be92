// The database schema and its migrations. The schema version lives in
// PRAGMA user_version; ensureSchema() brings a file up to kSchemaVersion, one
// migration step per transaction, and refuses a file made by a newer program.
#pragma once

#include <functional>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

inline constexpr int kSchemaVersion = 2;

// Called inside the transaction that creates a new database (version 0 to 1), to
// fill it (the demo company). A failure rolls the creation back.
using Seeder = std::function<void(Connection&)>;

// Returns true when this call created the database.
bool ensureSchema(Connection& conn, const Seeder& seeder = {});
int schemaVersion(Connection& conn);

}  // namespace wayfind::erp::storage
