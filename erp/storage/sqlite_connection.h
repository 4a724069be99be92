// The SQLite back end of the storage layer: one database file, WAL journal,
// foreign keys on, a busy timeout, and writers queued by BEGIN IMMEDIATE.
#pragma once

#include "erp/storage/connection.h"

struct sqlite3;

namespace wayfind::erp::storage {

class SqliteConnection final : public Connection {
 public:
  static std::shared_ptr<Connection> open(const std::filesystem::path& path, Mode mode);
  ~SqliteConnection() override;

  Backend backend() const override { return Backend::SQLite; }
  Statement prepare(std::string_view sql) override;
  void exec(std::string_view sql) override;
  bool inTransaction() const override;
  void beginWrite(WriteLock lock) override;
  void beginRead() override;
  void commit() override;
  void rollback() noexcept override;
  void endRead() noexcept override;

  // In a forked child the handle is the parent's: it is left open, never closed
  // here (SQLite's locks and its write-ahead log belong to the parent).
  void abandon() noexcept override { db_ = nullptr; }
  void keepLogOnClose() noexcept override;

  // For the data-access service, which puts an authorizer on the handle.
  sqlite3* handle() const { return db_; }

 private:
  SqliteConnection(sqlite3* db, std::filesystem::path path, Mode mode);
  sqlite3* db_;
};

}  // namespace wayfind::erp::storage
