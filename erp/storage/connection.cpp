#include "erp/storage/connection.h"

#include <sqlite3.h>

#include <chrono>
#include <limits>
#include <thread>

#include "erp/storage/storage_error.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::storage {

namespace {
constexpr int kBusyTimeoutMs = 10000;
constexpr auto kBeginRetryLimit = std::chrono::seconds(30);

std::string shortSql(const std::string& sql) {
  return sql.size() > 120 ? sql.substr(0, 117) + "..." : sql;
}
}  // namespace

// ---- Statement ----

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql_.data(), static_cast<int>(sql_.size()), &stmt_, &tail);
  if (rc != SQLITE_OK) {
    const std::string msg = sqlite3_errmsg(db_);
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    raiseDatabaseError("无法准备语句 [" + shortSql(sql_) + "]", msg);
  }
}

Statement::~Statement() {
  if (stmt_) sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), sql_(std::move(other.sql_)) {
  other.stmt_ = nullptr;
}

void Statement::check(int rc, const char* what) const {
  if (rc != SQLITE_OK) raiseDatabaseError(std::string(what) + " [" + shortSql(sql_) + "]", sqlite3_errmsg(db_));
}

Statement& Statement::bind(int index, int32_t v) {
  check(sqlite3_bind_int(stmt_, index, v), "绑定参数失败");
  return *this;
}
Statement& Statement::bind(int index, int64_t v) {
  check(sqlite3_bind_int64(stmt_, index, v), "绑定参数失败");
  return *this;
}
Statement& Statement::bind(int index, double v) {
  check(sqlite3_bind_double(stmt_, index, v), "绑定参数失败");
  return *this;
}
Statement& Statement::bind(int index, std::string_view text) {
  check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
        "绑定参数失败");
  return *this;
}
Statement& Statement::bindNull(int index) {
  check(sqlite3_bind_null(stmt_, index), "绑定参数失败");
  return *this;
}

Statement& Statement::bind(int index, const platform::Variant& v) {
  using platform::VarType;
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return bindNull(index);
    case VarType::Boolean: return bind(index, static_cast<int32_t>(v.asBool() ? -1 : 0));
    case VarType::Integer: return bind(index, static_cast<int32_t>(v.asInteger()));
    case VarType::Long: return bind(index, v.asLong());
    case VarType::LongLong: return bind(index, v.asLongLong());
    case VarType::Double: return bind(index, v.asDouble());
    case VarType::Date: return bind(index, v.asDate().serial);
    case VarType::String: return bind(index, std::string_view(v.asString()));
    case VarType::Object: break;
  }
  raiseRefused(kStorageSource, "对象不能作为数据库参数。");
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const std::string msg = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  raiseDatabaseError("执行语句失败 [" + shortSql(sql_) + "]", msg);
}

int Statement::run() {
  while (step()) {
  }
  return sqlite3_changes(db_);
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }
std::string Statement::columnName(int col) const {
  const char* n = sqlite3_column_name(stmt_, col);
  return n ? n : "";
}
std::string Statement::columnDeclType(int col) const {
  const char* t = sqlite3_column_decltype(stmt_, col);
  return t ? t : "";
}
bool Statement::isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
int64_t Statement::int64(int col) const { return sqlite3_column_int64(stmt_, col); }
int32_t Statement::int32(int col) const {
  const int64_t v = sqlite3_column_int64(stmt_, col);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    platform::raise(platform::err::kOverflow, kStorageSource);
  return static_cast<int32_t>(v);
}
double Statement::real(int col) const { return sqlite3_column_double(stmt_, col); }
std::string Statement::text(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
  if (!p) return {};
  return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col)));
}

platform::Variant Statement::value(int col) const {
  switch (sqlite3_column_type(stmt_, col)) {
    case SQLITE_NULL: return platform::Variant::null();
    case SQLITE_INTEGER: {
      const int64_t v = int64(col);
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        return platform::Variant(static_cast<int32_t>(v));
      return platform::Variant(v);
    }
    case SQLITE_FLOAT: return platform::Variant(real(col));
    default: return platform::Variant(text(col));
  }
}

bool Statement::readOnly() const { return sqlite3_stmt_readonly(stmt_) != 0; }

// ---- Connection ----

std::shared_ptr<Connection> Connection::open(const std::filesystem::path& path, Mode mode) {
  sqlite3* db = nullptr;
  const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY
                                           : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  const int rc = sqlite3_open_v2(path.string().c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    raiseDatabaseError("无法打开数据库 " + path.string(), msg);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  std::shared_ptr<Connection> conn(new Connection(db, path, mode));
  conn->exec("PRAGMA foreign_keys = ON;");
  if (mode == Mode::ReadWrite) {
    // journal_mode needs the file lock for a moment; the busy timeout covers it.
    auto st = conn->prepare("PRAGMA journal_mode = WAL");
    st.step();
    conn->exec("PRAGMA synchronous = NORMAL;");
  }
  return conn;
}

Connection::Connection(sqlite3* db, std::filesystem::path path, Mode mode)
    : db_(db), path_(std::move(path)), mode_(mode) {}

Connection::~Connection() { sqlite3_close_v2(db_); }

Statement Connection::prepare(std::string_view sql) { return Statement(db_, sql); }

void Connection::exec(std::string_view sql) {
  char* err = nullptr;
  const std::string text(sql);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    const std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    raiseDatabaseError("执行语句失败 [" + shortSql(text) + "]", msg);
  }
}

int64_t Connection::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
bool Connection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

// ---- transactions ----

Transaction::Transaction(Connection& conn) : conn_(conn) {
  if (conn_.inTransaction()) {
    savepoint_ = true;
    conn_.exec("SAVEPOINT wayfind_nested;");
    return;
  }
  // The busy handler waits inside BEGIN IMMEDIATE; when another writer holds the
  // lock longer than that, back off and try again rather than fail the change.
  const auto deadline = std::chrono::steady_clock::now() + kBeginRetryLimit;
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    const int rc = sqlite3_exec(conn_.handle(), "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    const int primary = rc & 0xFF;
    if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || std::chrono::steady_clock::now() > deadline)
      raiseDatabaseError("无法开始写事务", sqlite3_errmsg(conn_.handle()));
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(200));
  }
}

Transaction::~Transaction() {
  if (done_) return;
  if (savepoint_)
    sqlite3_exec(conn_.handle(), "ROLLBACK TO wayfind_nested; RELEASE wayfind_nested;", nullptr, nullptr, nullptr);
  else
    sqlite3_exec(conn_.handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
  if (done_) return;
  if (savepoint_) {
    conn_.exec("RELEASE wayfind_nested;");
    done_ = true;
    return;
  }
  // COMMIT can meet SQLITE_BUSY while readers finish a checkpoint; retry it.
  const auto deadline = std::chrono::steady_clock::now() + kBeginRetryLimit;
  for (;;) {
    const int rc = sqlite3_exec(conn_.handle(), "COMMIT;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) break;
    const int primary = rc & 0xFF;
    if (primary != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline)
      raiseDatabaseError("提交事务失败", sqlite3_errmsg(conn_.handle()));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  done_ = true;
}

ReadTransaction::ReadTransaction(Connection& conn) : conn_(conn) {
  if (conn_.inTransaction()) return;
  conn_.exec("BEGIN DEFERRED;");
  owner_ = true;
}

ReadTransaction::~ReadTransaction() {
  if (owner_) sqlite3_exec(conn_.handle(), "COMMIT;", nullptr, nullptr, nullptr);
}

}  // namespace wayfind::erp::storage
