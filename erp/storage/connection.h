// A connection to the SQLite database and its prepared statements. Every value
// goes into a statement through bind(); SQL texts are fixed texts of the program.
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
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace wayfind::erp::storage {

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
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
  // Declared type of a result column from its table ("INTEGER", "TEXT"), empty
  // for an expression.
  std::string columnDeclType(int col) const;
  bool isNull(int col) const;
  int64_t int64(int col) const;
  int32_t int32(int col) const;  // raises 6 when the value does not fit
  double real(int col) const;
  std::string text(int col) const;  // NULL gives empty text
  // The column as a Variant: Null, Long (or LongLong when it does not fit), Double
  // or String.
  platform::Variant value(int col) const;

  bool readOnly() const;
  const std::string& sql() const { return sql_; }
  sqlite3_stmt* handle() const { return stmt_; }

 private:
  void check(int rc, const char* what) const;
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

class Connection {
 public:
  enum class Mode { ReadWrite, ReadOnly };

  // Opens (creating a read-write file when missing) with WAL, foreign keys and the
  // busy timeout set. Does not create the schema: see database.h.
  static std::shared_ptr<Connection> open(const std::filesystem::path& path, Mode mode = Mode::ReadWrite);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Statement prepare(std::string_view sql);
  // Runs fixed SQL text (several statements allowed); for schema and pragmas only.
  void exec(std::string_view sql);
  int64_t lastInsertRowId() const;
  bool inTransaction() const;

  sqlite3* handle() const { return db_; }
  const std::filesystem::path& path() const { return path_; }
  Mode mode() const { return mode_; }

 private:
  Connection(sqlite3* db, std::filesystem::path path, Mode mode);
  sqlite3* db_;
  std::filesystem::path path_;
  Mode mode_;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// A write transaction: BEGIN IMMEDIATE, retried while another process holds the
// write lock; rolled back by the destructor unless commit() ran. Inside an open
// transaction it becomes a savepoint, so helpers nest.
class Transaction {
 public:
  explicit Transaction(Connection& conn);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();

 private:
  Connection& conn_;
  bool savepoint_ = false;
  bool done_ = false;
};

// A read transaction (BEGIN DEFERRED): every read inside sees one state of the
// file. Ends with the object; inside an open transaction it does nothing.
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
