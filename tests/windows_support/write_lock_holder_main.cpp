// wayfind_write_lock_holder DATABASE: another process that holds the SQLite write
// lock of DATABASE. It takes the lock (BEGIN IMMEDIATE), says "locked" on standard
// output, and gives the lock back when its standard input ends or a byte arrives,
// or after 60 seconds at the latest, so a failing test never hangs on it.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DATABASE\n", argv[0]);
    return 2;
  }
  alarm(60);
  sqlite3* db = nullptr;
  if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
  sqlite3_busy_timeout(db, 10000);
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return 1;
  std::printf("locked\n");
  std::fflush(stdout);
  char byte;
  (void)read(0, &byte, 1);
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return 0;
}
