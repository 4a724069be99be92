// The PostgreSQL back end of the storage layer, on the server's C client library.
//
// - Round trips are what a login costs, on both sides: a session's settings
//   travel in the start-up message; a statement's first run on a session goes
//   unprepared, a later one prepares it in the same round trip; a read
//   transaction's BEGIN goes with its first statement and its ROLLBACK is not
//   waited for; reads that runTogether names go in one round trip. Values are
//   sent apart from the SQL; the server infers each parameter's type from
//   where it stands.
// - A write transaction (READ COMMITTED) first takes the database's write lock:
//   whole, or shared for a change of one user's rows, which then also takes
//   that user's lock and, to hand out a custom identifier, the level's. So
//   changes of different users run side by side, changes of one user and the
//   handing out of identifiers one after another, and the whole-database
//   changes (template upkeep, applying to other users) alone. Locks are always
//   taken in that order, so no two changes deadlock; the one exception, an
//   import's write lock put off until its rows are written (SharedLater), waits
//   for it only a moment and otherwise starts again. The locks are row locks
//   that only the server's function wayfind_lock takes, for the roles entitled
//   to them (docs/server-rights.md); a shared holder never makes another shared
//   request wait. Readers never wait: a read transaction sees one snapshot
//   (REPEATABLE READ). Beginning is retried, a bounded number of times, when the
//   server answers with a serialisation failure or a deadlock.
// - Every session is bounded (kSessionBounds): a wait for a lock fails after 5 s
//   with a clear "busy" error, an idle transaction ends after 15 s, a statement
//   after 30 s. No session can hold another up for longer than that.
// - A role without the DELETE right on a table (every ERP user's role: that
//   right would let it lock the table against readers) deletes through the
//   server's function wayfind_delete_rows; prepare() rewrites such a DELETE.
// - The connection authenticates as the PostgreSQL role the URI names; the
//   server's grants and row-level security decide what that role may change
//   (docs/server-rights.md).
// - A lost connection (a server restart, a failover to a promoted standby) is
//   made again, for a bounded time, by the next request that can safely be
//   sent twice: beginning a transaction, preparing, a plain read outside a
//   transaction. A change whose connection went mid-way fails with a clear
//   error; one whose connection went at COMMIT says that it may not be saved.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "erp/storage/connection.h"

struct pg_conn;
struct pg_result;

namespace wayfind::erp::storage {

class PgStatement;

// One request of a round trip: how to send it (libpq's PQsend..., 1 when
// sent), and what it is for.
struct PipelineRequest {
  std::function<int()> send;
  enum Kind { Begin, Prepare, Run } kind;
  PgStatement* statement;  // whose preparation or run it is
  const std::string* sql;  // the statement's text, for messages
};

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
  bool claimIdentifiers(int32_t level, const std::vector<int32_t>& ids) override;
  bool writeLockPutOff() const override { return writeLockPutOff_; }
  bool takeWriteLockNow() override;
  void beginRead() override;
  void endRead() noexcept override;
  // Sends the statements that wait to run in one round trip (only reads, when
  // no transaction is open).
  void runTogether(const std::vector<Statement*>& statements) override;
  void commit() override;
  void rollback() noexcept override;
  std::optional<int32_t> serverUserId() override;
  bool hasUser(int32_t userId, const std::vector<Statement*>& alongside = {}) override;

  bool broken() const override;
  // Connects again with the URI's settings (with several hosts and
  // target_session_attrs, to whichever now answers as it asks), retrying for a
  // bounded time; raises the database error when no server answers by then.
  // Everything prepared on the old session is forgotten.
  void reconnect() override;
  void abandon() noexcept override { conn_ = nullptr; }
  // Counts the sessions: a statement prepared on an earlier one prepares again.
  unsigned generation() const { return generation_; }
  // Sends a request that has no effect of its own (BEGIN, PREPARE, a plain
  // read); when it failed because the connection was lost while no
  // transaction was open, connects again and sends it once more.
  pg_result* sendOutsideTransaction(const std::function<pg_result*()>& send);
  pg_conn* handle() const { return conn_; }

  // The name of the server-side prepared statement for sql (already in "$N"
  // form), preparing it on first use.
  const std::string& preparedName(const std::string& sql, const std::vector<bool>& used);
  // The session's prepared statement of sql, or null.
  const std::string* preparedNameOf(const std::string& sql) const;
  // A name for a statement about to be prepared.
  std::string newPreparedName(const std::string& sql);
  // Runs the statements in one round trip: a read transaction's BEGIN still
  // to send first, then each statement (prepared in the same round trip where
  // it needs to be). Each statement takes its result; the first failure is
  // raised (the later statements' results are dropped). A round trip that
  // begins the transaction, or only reads, goes again on a new session when
  // the connection was lost.
  void runStatements(std::span<PgStatement* const> statements);
  // True the first time this session is asked about sql (in "$N" form), when
  // it is not prepared yet.
  bool firstRunOf(const std::string& sql);

  // Raises the database error for a failed result (and frees it).
  [[noreturn]] void fail(pg_result* res, const std::string& what) const;

 private:
  PgConnection(pg_conn* conn, std::filesystem::path uri, Mode mode);
  // The session's encoding and bounds, after every connect.
  void setUpSession();
  void begin(const char* sql);
  // Whether res failed because the connection to the server is gone.
  bool lost(const pg_result* res) const;
  // Sends the requests one after another and then reads their answers: one
  // round trip. Each result in order; null where the connection failed first.
  std::vector<pg_result*> pipeline(const std::vector<PipelineRequest>& requests);
  // Sends a read transaction's BEGIN that waits for a statement to go with.
  void sendPendingBegin();
  // Reads the answer to a ROLLBACK that endRead did not wait for.
  void settle();
  // Whether the database has the lock function (one made by an earlier
  // program has not until it is migrated; its write lock is an advisory lock).
  bool hasLockFunction();
  // The statement that takes the write lock, whole or shared.
  std::string writeLockSql(bool whole);
  // Whether the role may delete from table itself; a role that may not deletes
  // through the server's function (see pg_sql.h).
  bool mayDeleteFrom(const std::string& table);
  // Whether serverUser_ is known without a request (asked before, or a
  // superuser's session).
  bool knowsServerUser();
  // serverUser_ from a result's (owner, mapped user) columns at firstColumn.
  void learnServerUser(Statement& st, int firstColumn);

  pg_conn* conn_;
  std::map<std::string, std::string> prepared_;
  std::set<std::string> run_;  // texts run once unprepared
  std::map<std::string, bool> mayDelete_;
  bool lockFunction_ = false;
  bool claimed_ = false;  // this transaction holds claims to give up before its commit
  bool writeLockPutOff_ = false;  // a SharedLater transaction, until takeWriteLockNow
  unsigned generation_ = 0;
  unsigned names_ = 0;  // prepared statements named on this connection
  bool pendingBegin_ = false;  // a read transaction begun, its BEGIN not sent yet
  bool pendingRollback_ = false;  // a ROLLBACK sent, its answer not read yet
  std::optional<std::optional<int32_t>> serverUser_;
};

// The SQLSTATE of a failed result ("40001"), empty when none.
std::string sqlState(const pg_result* res);

}  // namespace wayfind::erp::storage
