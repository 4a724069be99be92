// Which database the ERP uses, and the per-thread connections to it.
//
// The location is, first match wins: the one the host set with
// CurrentDatabase::set, the environment variable WAYFIND_DB,
// $XDG_DATA_HOME/wayfind/wayfind.db, or ~/.local/share/wayfind/wayfind.db. A
// location starting "postgresql://" (or "postgres://") is a PostgreSQL server's
// database; anything else is an SQLite file. The first connection to a file in a
// process creates or migrates its schema and, for a new file, fills it through
// the seeder (the demo company, unless the host asked for an empty database). A
// server database is created by prepareDatabase ("wayfind db init") only; a
// connection migrates an older one and refuses an empty one.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>

#include "erp/storage/connection.h"
#include "erp/storage/schema.h"

namespace wayfind::erp::storage {

enum class Seed { Demo, None };

class CurrentDatabase {
 public:
  static void set(const std::filesystem::path& path);
  static void clear();  // back to WAYFIND_DB or the default place
  static std::filesystem::path path();
  static std::filesystem::path defaultPath();

  // What a new database is filled with (Demo unless set).
  static void setSeed(Seed seed);
  static Seed seed();
  // The demo company's loader; installed by registerServerComponents().
  static void setDemoSeeder(Seeder seeder);
  static Seeder demoSeeder();

  static void reset();  // tests: forget path, seed and seeder
  // Every thread's kept connections are let go at its next call, and opened
  // again: a new session may find another file at the same path (a backup put
  // back, a file removed) than the connections of the one before hold open.
  static void forgetConnections();
};

// The calling thread's cached read-write connection to path (the current
// database when path is empty), with the schema in place. Cheap after the first
// call on a thread.
ConnectionPtr connectionFor(const std::filesystem::path& path = {});
// The calling thread's cached read-only connection to an existing database
// (schema made first).
ConnectionPtr readOnlyConnectionFor(const std::filesystem::path& path = {});
// Drops the calling thread's cached connections (tests that delete their files).
void releaseThreadConnections();

// Opens path once, creating and seeding it as the settings say; for tools and
// tests that want a database filled before anything else runs.
void prepareDatabase(const std::filesystem::path& path, Seed seed);

// The random identifier made when the database was created.
std::string instanceId(Connection& conn);

}  // namespace wayfind::erp::storage
