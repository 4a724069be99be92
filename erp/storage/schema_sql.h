// The DDL of either back end, written from the one description of the tables
// (schema_tables.h). SQLite keeps the text of each CREATE as it was run, so the
// texts are laid out always the same way.
#pragma once

#include <string>

#include "erp/storage/connection.h"
#include "erp/storage/schema_tables.h"

namespace wayfind::erp::storage::schema {

// One table's CREATE TABLE with the sizes the given schema version has; a
// suffix names a copy under another name.
std::string createTable(Backend backend, const Table& table, int version, bool ifNotExists = false,
                        const char* suffix = "");

// What a schema version makes: its new tables with their indexes, and its new
// columns and indexes on older tables.
std::string createdIn(Backend backend, int version);

// The columns a schema version widened, changed in place on a server; SQLite
// cannot change a CHECK constraint, so there each such table is rebuilt under
// its name.
std::string widenedIn(Backend backend, int version);

// The users' tables' delete triggers that keep the custom identifier of a
// deleted row in t_WayfindRetiredId, so that it is never handed out again. On a
// server they call wayfind_retire_id(), which the server's rights define.
std::string retiringTriggers(Backend backend);

}  // namespace wayfind::erp::storage::schema
