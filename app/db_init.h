// "wayfind db init [--demo]": makes the ERP's tables (and, with --demo, the
// demo company) in an empty database: a PostgreSQL database named by a
// connection URI, or an SQLite file. A database that has them already is
// migrated to this program's schema version if older, and otherwise left as it
// is. Run it as the database's owner: it also creates the server's roles,
// grants and row-level security policies (docs/server-rights.md).
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace wayfind::app {

// location: --db, else WAYFIND_DB, else the default file. Raises on failure.
int runDbInit(const std::optional<std::string>& location, bool demo, std::ostream& out);
// "wayfind db add-user USERID ROLE": the login role ERP user USERID connects to the
// server as, with a bounded number of connections (erp/storage/user_roles.h).
// Raises on failure.
int runDbAddUser(const std::optional<std::string>& location, const std::string& userId, const std::string& role,
                 std::ostream& out);

inline constexpr const char* kDbInitHelp = R"(Usage: wayfind db init [--demo] [--db LOCATION]

Creates the ERP's tables in an empty database; with --demo also the demo company.
LOCATION is a PostgreSQL connection URI (postgresql://user@host/dbname) or the
path of an SQLite file (default: $WAYFIND_DB, else the user's data folder). On
PostgreSQL run it as the database's owner: it also creates the roles
wayfind_user and wayfind_reader, the grants and the row-level security policies
by which the server keeps each user's rights. A database made by an older
program is migrated; one that is up to date is left as it is.

Usage: wayfind db add-user USERID ROLE [--db URI]

On PostgreSQL, as the database's owner: makes ROLE (lower-case letters, digits
and underscores) the login role that ERP user USERID connects as, a member of
wayfind_user and wayfind_reader, allowed at most 10 connections at once; an
existing role is changed to match. Give it a password (ALTER ROLE ... PASSWORD)
or let pg_hba.conf say how it logs in.
)";

}  // namespace wayfind::app
