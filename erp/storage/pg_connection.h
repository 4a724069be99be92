// The PostgreSQL back end of the storage layer, on the server's C client library.
//
// - Statements are prepared once per connection (by their text) and run with
//   their values sent apart from the SQL; the server infers each parameter's
//   type from where it stands.
// - A write transaction (READ COMMITTED) first takes the database's write lock,
//   a transaction-level advisory lock: whole, or shared for a change of one
//   user's rows, which then also takes that user's lock and, to hand out a
//   custom identifier, the level's. So changes of different users run side by
//   side, changes of one user and the handing out of identifiers one after
//   another, and the whole-database changes (imports, template upkeep) alone.
//   Locks are always taken in that order, so no two changes deadlock. A writer
//   waits as long as the holder runs, so a long import delays other writers but
//   never fails them. Readers never wait: a read transaction sees one snapshot
//   (REPEATABLE READ). Beginning is retried, a bounded number of times, when the
//   server answers with a serialisation failure or a deadlock.
// - The connection authenticates as the PostgreSQL role the URI names; the
//   server's grants and row-level security decide what that role may change
//   (docs/server-rights.md).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "erp/storage/connection.h"

struct pg_conn;
struct pg_result;

namespace wayfind::erp::storage {

class PgConnection final : public Connection {
 public:
  static std::shared_ptr<Connection> open(const std::filesystem::path& uri, Mode mode);
  ~PgConnection() override;

  Backend backend() const override { return Backend::PostgreSQL; }
  Statement prepare(std::string_view sql) override;
  void exec(std::string_view sql) override;
  bool inTransaction() const override;
  void beginWrite(WriteLock lock) override;
  void serialiseOn(Serial space, int32_t id) override;
  void beginRead() override;
  void commit() override;
  void rollback() noexcept override;
  std::optional<int32_t> serverUserId() override;

  bool broken() const override;
  void abandon() noexcept override { conn_ = nullptr; }
  pg_conn* handle() const { return conn_; }

  // The name of the server-side prepared statement for sql (already in "$N"
  // form), preparing it on first use.
  const std::string& preparedName(const std::string& sql, const std::vector<bool>& used);

  // Raises the database error for a failed result (and frees it).
  [[noreturn]] void fail(pg_result* res, const std::string& what) const;

 private:
  PgConnection(pg_conn* conn, std::filesystem::path uri, Mode mode);
  pg_conn* conn_;
  std::map<std::string, std::string> prepared_;
  std::optional<std::optional<int32_t>> serverUser_;
};

// The SQLSTATE of a failed result ("40001"), empty when none.
std::string sqlState(const pg_result* res);

}  // namespace wayfind::erp::storage
