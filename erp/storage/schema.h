// The database schema and its migrations, on both back ends. The schema version
// lives in PRAGMA user_version (SQLite) or in t_WayfindMeta "SchemaVersion"
// (PostgreSQL); ensureSchema() brings a database up to kSchemaVersion, one
// migration step per transaction, and refuses one made by a newer program.
#pragma once

#include <functional>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

inline constexpr int kSchemaVersion = 9;

// Called inside the transaction that creates a new database (version 0 to 1), to
// fill it (the demo company). A failure rolls the creation back.
using Seeder = std::function<void(Connection&)>;

// Returns true when this call created the database. Without create, an empty
// database is refused (a PostgreSQL database is created by "wayfind db init").
bool ensureSchema(Connection& conn, const Seeder& seeder = {}, bool create = true);
int schemaVersion(Connection& conn);
// Whether an SQLite file is this program's (a version it knows) or new (version 0
// and nothing in it yet). Another program's file, or one a newer program made, is
// neither, and is refused untouched.
bool isOwnOrNewSqliteFile(Connection& conn);

}  // namespace wayfind::erp::storage
