// A second floor for a fresh process answering from its cache files: what any
// C++ program pays that asks an SQLite database for the versions before it
// trusts its cache files. It execs with libstdc++ and SQLite loaded, opens the
// database read-write as the program does (foreign keys on, WAL), reads the
// company's instance and the template's and the user's versions in one
// statement, then opens and maps each file named and reads one byte of it.
// whole_process.py times it beside bench_mmap_floor and the query.
//
//   bench_sqlite_floor DATABASE USER FILE...
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "touch_files.h"

namespace {

bool run(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_sqlite_floor DATABASE USER FILE...\n");
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      !run(db, "PRAGMA foreign_keys = ON") || !run(db, "PRAGMA journal_mode = WAL")) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], sqlite3_errmsg(db));
    return 1;
  }
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "SELECT (SELECT FValue FROM t_WayfindMeta WHERE FKey = 'InstanceID'), "
      "COALESCE((SELECT FRevision FROM t_NavVersion WHERE FUserID = 0), 0), "
      "COALESCE((SELECT FStamp FROM t_NavVersion WHERE FUserID = 0), 0), "
      "COALESCE((SELECT FRevision FROM t_NavVersion WHERE FUserID = ?1), 0), "
      "COALESCE((SELECT FStamp FROM t_NavVersion WHERE FUserID = ?1), 0)";
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot read the versions: %s\n", sqlite3_errmsg(db));
    return 1;
  }
  sqlite3_bind_int(st, 1, std::atoi(argv[2]));
  std::string versions;
  if (sqlite3_step(st) == SQLITE_ROW) {
    const auto* instance = sqlite3_column_text(st, 0);
    versions = std::string(instance ? reinterpret_cast<const char*>(instance) : "") + ":" +
               std::to_string(sqlite3_column_int64(st, 1)) + "." + std::to_string(sqlite3_column_int64(st, 2)) + ":" +
               std::to_string(sqlite3_column_int64(st, 3)) + "." + std::to_string(sqlite3_column_int64(st, 4));
  }
  sqlite3_finalize(st);
  const long sum = touchFiles(argv + 3, argv + argc);
  if (sum < 0) return 1;
  sqlite3_close(db);
  return sum + static_cast<long>(versions.size()) == 0x7fffffff ? 3 : 0;  // the values are used, so they are read
}
