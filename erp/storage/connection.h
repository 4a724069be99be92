// A connection to the ERP's database and its prepared statements. Two back ends
// sit behind the one interface: an SQLite file (the embedded default) and a
// PostgreSQL server (many clients, rights kept by the server). Every value goes
// into a statement through bind(); SQL texts are fixed texts of the program,
// written once for both back ends ("?" or "?N" parameters; the PostgreSQL side
// numbers them as the server wants).
//
//   auto conn = storage::connectionFor(storage::CurrentDatabase::path());
//   auto st = conn->prepare("SELECT FName FROM t_User WHERE FUserID = ?");
//   st.bind(1, userId);
//   if (st.step()) name = st.text(0);
//
// Errors raise platform::AutomationError (kDatabaseError) naming the statement.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"

namespace wayfind::erp::storage {

// What a result value (or a result column) holds.
enum class ValueKind { Null, Integer, Real, Text };

// One back end's prepared statement; Statement forwards to it.
class StatementBackend {
 public:
  virtual ~StatementBackend() = default;
  virtual void bindNull(int index) = 0;
  virtual void bindInt64(int index, int64_t v) = 0;
  virtual void bindDouble(int index, double v) = 0;
  virtual void bindText(int index, std::string_view text) = 0;
  virtual bool step() = 0;
  virtual int run() = 0;
  virtual void reset() = 0;
  virtual int columnCount() const = 0;
  virtual std::string columnName(int col) const = 0;
  virtual ValueKind declaredKind(int col) const = 0;
  virtual ValueKind kind(int col) const = 0;
  virtual int64_t int64(int col) const = 0;
  virtual double real(int col) const = 0;
  virtual std::string text(int col) const = 0;
  // The text of the column without a copy, valid until the next step; a back
  // end without such access hands out a copy it keeps until then.
  virtual std::string_view textView(int col) const {
    scratch_ = text(col);
    return scratch_;
  }
  // How many rows the result holds, where the back end knows it once the
  // statement ran (a server's result arrives whole); nullopt otherwise.
  virtual std::optional<size_t> rowsInResult() const { return std::nullopt; }

 private:
  mutable std::string scratch_;
};

class Statement {
 public:
  explicit Statement(std::unique_ptr<StatementBackend> backend, std::string sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;

  // Parameters are numbered from 1.
  Statement& bind(int index, int32_t v);
  Statement& bind(int index, int64_t v);
  Statement& bind(int index, double v);
  Statement& bind(int index, std::string_view text);
  Statement& bind(int index, const char* text) { return bind(index, std::string_view(text)); }
  Statement& bind(int index, const std::string& text) { return bind(index, std::string_view(text)); }
  // Empty and Null bind NULL; Boolean binds -1 / 0; objects are refused.
  Statement& bind(int index, const platform::Variant& v);
  Statement& bindNull(int index);

  // Binds the arguments to parameters 1, 2, ...
  template <class... Args>
  Statement& bindAll(const Args&... args) {
    int i = 0;
    (bind(++i, args), ...);
    return *this;
  }

  // True when a row is ready, false when the statement is done.
  bool step();
  // Runs a statement that returns no rows; the number of rows changed.
  int run();
  void reset();  // ready to run again, bindings cleared

  int columnCount() const;
  std::string columnName(int col) const;
  // The column's type as the schema declares it; Null for an expression whose
  // type the back end does not know.
  ValueKind declaredKind(int col) const;
  // What the current row holds in the column.
  ValueKind kind(int col) const;
  bool isNull(int col) const { return kind(col) == ValueKind::Null; }
  int64_t int64(int col) const;
  int32_t int32(int col) const;  // raises 6 when the value does not fit
  double real(int col) const;
  std::string text(int col) const;  // NULL gives empty text
  std::string_view textView(int col) const;  // the same, valid until the next step
  // After the first step: the rows of the whole result, where the back end
  // knows them without reading them (a server); nullopt otherwise.
  std::optional<size_t> rowsInResult() const { return backend_->rowsInResult(); }
  // The column as a Variant: Null, Long (or LongLong when it does not fit), Double
  // or String.
  platform::Variant value(int col) const;

  const std::string& sql() const { return sql_; }
  StatementBackend& backend() { return *backend_; }

 private:
  std::unique_ptr<StatementBackend> backend_;
  std::string sql_;
};

// Tests: sees the SQL text of every statement prepared from now on, in any
// thread (an empty function stops it). For checks over what an operation runs,
// such as that every statement of an import is answered from an index.
void setStatementObserverForTesting(std::function<void(const std::string& sql)> observer);

enum class Backend { SQLite, PostgreSQL };

// How much of the database a write transaction holds from its start.
// - Whole: every other writer waits (template upkeep, imports, applying one
//   user's rows to others, schema changes).
// - Shared: writers of other users go on beside it; the change then serialises
//   on what it touches (serialiseOn: the user whose rows it changes, the level
//   whose next identifier it takes). Whole-database writers wait for it.
// - SharedLater: as Shared, but on a server the write lock itself is put off
//   until takeWriteLockNow(): a big change writes its rows holding only what
//   it serialises on, so a whole-database writer is held up only from then to
//   the commit.
// SQLite has one write lock: every write transaction holds the whole file.
enum class WriteLock { Whole, Shared, SharedLater };

// What a Shared write transaction serialises on, with the identifier of the
// thing: the user (their rows, profile, favourites and revision), or the level
// whose custom identifiers it hands out (1 to 4).
enum class Serial { User = 1, Identifiers = 2 };

class Connection {
 public:
  enum class Mode { ReadWrite, ReadOnly };

  // Opens location: a PostgreSQL connection URI ("postgresql://..."), or else the
  // path of an SQLite file (created read-write when missing, with WAL, foreign
  // keys and the busy timeout set). Does not create the schema: see database.h.
  static std::shared_ptr<Connection> open(const std::filesystem::path& location, Mode mode = Mode::ReadWrite);
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  virtual Backend backend() const = 0;
  virtual Statement prepare(std::string_view sql) = 0;
  // Runs fixed SQL text (several statements allowed); for schema and set-up only.
  virtual void exec(std::string_view sql) = 0;
  virtual bool inTransaction() const = 0;

  // The transaction primitives behind Transaction and ReadTransaction.
  virtual void beginWrite(WriteLock lock) = 0;
  // Inside a Shared write transaction: waits until no other transaction holds
  // (space, id), and holds it to the end; nothing to wait for where writes are
  // serialised anyway (SQLite). Taking a level's identifiers also counts one
  // more handing out of them (storage::identifierRevision), so that a change
  // planned earlier can tell whether any identifier was handed out since.
  virtual void serialiseOn(Serial space, int32_t id);
  // Inside a write transaction: claims the custom identifiers ids of a level
  // (1 to 4) for it, all or none, without waiting more than a moment; false
  // when another change stores one of them or is about to. The caller checks
  // again, after the claim, that no change stored them meanwhile. The claims
  // end with the transaction and hold nothing else, so a change that is kept
  // open holds up nobody's new items. Nothing to claim where writes are
  // serialised anyway (SQLite).
  virtual bool claimIdentifiers(int32_t level, const std::vector<int32_t>& ids);
  // Whether this write transaction began SharedLater and does not hold the
  // write lock yet.
  virtual bool writeLockPutOff() const { return false; }
  // Takes the shared write lock a SharedLater transaction put off, waiting only
  // a moment: false when a whole-database change holds it or waits for it. The
  // transaction is then spoiled (it may have been cancelled): the caller rolls
  // it back and goes again. True at once where the lock is held already.
  virtual bool takeWriteLockNow() { return true; }
  virtual void beginRead() = 0;
  virtual void commit() = 0;
  virtual void rollback() noexcept = 0;
  virtual void endRead() noexcept { rollback(); }
  // Runs the statements (bound, not stepped yet) together where that saves
  // round trips to a server; each is then stepped as usual. A file runs each
  // when it is first stepped.
  virtual void runTogether(const std::vector<Statement*>& /*statements*/) {}

  // The ERP user the server knows this connection as (its PostgreSQL role), when
  // the server keeps the rights; nullopt on a connection trusted with everything
  // (an SQLite file, the database's owner). 0: a role that is no ERP user.
  virtual std::optional<int32_t> serverUserId() { return std::nullopt; }
  // Whether t_User holds the user. A server connection that does not know its
  // serverUserId yet learns it in the same request, and sends the reads
  // alongside (bound, not stepped yet) in the same round trip.
  virtual bool hasUser(int32_t userId, const std::vector<Statement*>& alongside = {});
  // A server connection that is gone (a restart, a failover): the cache of
  // connections makes it again (reconnect). A file never breaks.
  virtual bool broken() const { return false; }
  // Makes a broken connection again, retrying for a bounded time, or raises the
  // database error.
  virtual void reconnect() {}
  // Forgets the server session without ending it (in a forked child, where the
  // session belongs to the parent).
  virtual void abandon() noexcept {}
  // Closing later writes nothing of this connection's log into the file (SQLite
  // moves its write-ahead log into the file as the last connection closes).
  virtual void keepLogOnClose() noexcept {}

  // The location as given, for messages; a password in a URI is left out.
  const std::filesystem::path& path() const { return path_; }
  std::string displayName() const;
  Mode mode() const { return mode_; }

 protected:
  Connection(std::filesystem::path path, Mode mode) : path_(std::move(path)), mode_(mode) {}

 private:
  std::filesystem::path path_;
  Mode mode_;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// True for a PostgreSQL connection URI ("postgresql://" or "postgres://").
bool isServerLocation(const std::filesystem::path& location);
// Refuses a location that is a server's address written otherwise than
// isServerLocation reads one ("PostgreSQL://...", "host=db dbname=erp"):
// taken for a file name it would make a new database wherever the program runs.
void refuseMistakenServerAddress(const std::filesystem::path& location);
// The location for messages, without a password.
std::string locationForDisplay(const std::filesystem::path& location);

// A write transaction: on SQLite BEGIN IMMEDIATE, retried while another process
// holds the write lock; on PostgreSQL a transaction that first takes the
// database's write lock, whole or shared (see WriteLock), while readers go on
// reading their snapshots. Rolled back by
// the destructor unless commit() ran. Inside an open transaction it becomes a
// savepoint, so helpers nest.
class Transaction {
 public:
  explicit Transaction(Connection& conn, WriteLock lock = WriteLock::Whole);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();

 private:
  Connection& conn_;
  bool savepoint_ = false;
  bool done_ = false;
};

// A read transaction: every read inside sees one state of the database. Ends
// with the object; inside an open transaction it does nothing.
class ReadTransaction {
 public:
  explicit ReadTransaction(Connection& conn);
  ~ReadTransaction();
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  Connection& conn_;
  bool owner_ = false;
};

}  // namespace wayfind::erp::storage
