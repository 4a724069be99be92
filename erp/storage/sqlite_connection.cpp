#include "erp/storage/sqlite_connection.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "erp/storage/schema.h"
#include "erp/storage/storage_error.h"
#include "platform/containers/atomic_file.h"

namespace wayfind::erp::storage {

namespace {
constexpr int kBusyTimeoutMs = 10000;
// How long a writer queues behind others before its change fails. Long enough
// for the biggest change there is (importing a template of tens of thousands
// of functions), so that such an import delays other writers but never fails
// them.
constexpr auto kBeginRetryLimit = std::chrono::minutes(5);

// SQLite counts every allocation for its memory statistics under a mutex of
// its own; nothing here reads those statistics, and reading a database's schema
// makes a thousand and more small allocations at every start. Turned off once,
// before SQLite's first use in the process; a host that started SQLite itself
// keeps its own setting (the call then fails, harmlessly).
void configureSqliteOnce() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
}

std::string shortSql(const std::string& sql) {
  return sql.size() > 120 ? sql.substr(0, 117) + "..." : sql;
}

class SqliteStatement final : public StatementBackend {
 public:
  SqliteStatement(sqlite3* db, std::string sql) : db_(db), sql_(std::move(sql)) {
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql_.data(), static_cast<int>(sql_.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
      const std::string msg = sqlite3_errmsg(db_);
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      raiseDatabaseError("无法准备语句 [" + shortSql(sql_) + "]", msg);
    }
  }
  ~SqliteStatement() override {
    if (stmt_) sqlite3_finalize(stmt_);
  }

  void bindNull(int index) override { check(sqlite3_bind_null(stmt_, index)); }
  void bindInt64(int index, int64_t v) override { check(sqlite3_bind_int64(stmt_, index, v)); }
  void bindDouble(int index, double v) override { check(sqlite3_bind_double(stmt_, index, v)); }
  void bindText(int index, std::string_view text) override {
    // What a server would refuse is refused here too, with the same words.
    requireStorableText(text);
    check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  }

  bool step() override {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string msg = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_);
    raiseDatabaseError("执行语句失败 [" + shortSql(sql_) + "]", msg);
  }
  int run() override {
    while (step()) {
    }
    return sqlite3_changes(db_);
  }
  void reset() override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

  int columnCount() const override { return sqlite3_column_count(stmt_); }
  std::string columnName(int col) const override {
    const char* n = sqlite3_column_name(stmt_, col);
    return n ? n : "";
  }
  ValueKind declaredKind(int col) const override {
    const char* t = sqlite3_column_decltype(stmt_, col);
    if (!t) return ValueKind::Null;
    std::string decl(t);
    for (auto& c : decl) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (decl.find("INT") != std::string::npos) return ValueKind::Integer;
    if (decl.find("CHAR") != std::string::npos || decl.find("TEXT") != std::string::npos ||
        decl.find("CLOB") != std::string::npos)
      return ValueKind::Text;
    if (decl.find("REAL") != std::string::npos || decl.find("FLOA") != std::string::npos ||
        decl.find("DOUB") != std::string::npos)
      return ValueKind::Real;
    return ValueKind::Null;
  }
  ValueKind kind(int col) const override {
    switch (sqlite3_column_type(stmt_, col)) {
      case SQLITE_NULL: return ValueKind::Null;
      case SQLITE_INTEGER: return ValueKind::Integer;
      case SQLITE_FLOAT: return ValueKind::Real;
      default: return ValueKind::Text;
    }
  }
  int64_t int64(int col) const override { return sqlite3_column_int64(stmt_, col); }
  double real(int col) const override { return sqlite3_column_double(stmt_, col); }
  std::string text(int col) const override {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    if (!p) return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col)));
  }
  std::string_view textView(int col) const override {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    if (!p) return {};
    return {p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))};
  }

 private:
  void check(int rc) const {
    if (rc != SQLITE_OK) raiseDatabaseError("绑定参数失败 [" + shortSql(sql_) + "]", sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

}  // namespace

void SqliteConnection::keepLogOnClose() noexcept {
  if (db_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

std::shared_ptr<Connection> SqliteConnection::open(const std::filesystem::path& path, Mode mode) {
  // A database is a regular file: a pipe opened as one would wait for ever on
  // its first read, and a device would be written over.
  if (auto kind = platform::nonRegularKind(path))
    raiseDatabaseError("无法打开数据库 " + path.string(), "it is " + *kind + ", not a regular file");
  configureSqliteOnce();
  sqlite3* db = nullptr;
  const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  // A name that starts "file:" is a file of that name, not an SQLite URI (the
  // system's SQLite reads URIs, whose settings could put the database in memory
  // or turn its locking off): given as "./file:...", it is no URI.
  // The empty name and ":memory:" would be private databases thrown away when
  // the connection closes, every write to them lost: the first is refused, the
  // second is a file of that name.
  std::string name = path.string();
  if (name.empty()) raiseDatabaseError("无法打开数据库", "no file name given");
  if (name.starts_with("file:") || name == ":memory:") name.insert(0, "./");
  const int rc = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    raiseDatabaseError("无法打开数据库 " + path.string(), msg);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  std::shared_ptr<SqliteConnection> conn(new SqliteConnection(db, path, mode));
  conn->exec("PRAGMA foreign_keys = ON;");
  if (mode == Mode::ReadWrite) {
    // journal_mode needs the file lock for a moment; the busy timeout covers it.
    // A file that will be refused (another program's, a newer one's) keeps its own.
    // (Asked through the connection: a descriptor of our own on the file, closed
    // again, would drop every POSIX lock this process's connections hold on it.)
    if (isOwnOrNewSqliteFile(*conn)) {
      auto st = conn->prepare("PRAGMA journal_mode = WAL");
      st.step();
    }
    conn->exec("PRAGMA synchronous = NORMAL;");
  }
  return conn;
}

SqliteConnection::SqliteConnection(sqlite3* db, std::filesystem::path path, Mode mode)
    : Connection(std::move(path), mode), db_(db) {}

SqliteConnection::~SqliteConnection() { sqlite3_close_v2(db_); }

Statement SqliteConnection::prepare(std::string_view sql) {
  return Statement(std::make_unique<SqliteStatement>(db_, std::string(sql)), std::string(sql));
}

void SqliteConnection::exec(std::string_view sql) {
  char* err = nullptr;
  const std::string text(sql);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    const std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    raiseDatabaseError("执行语句失败 [" + shortSql(text) + "]", msg);
  }
}

bool SqliteConnection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void SqliteConnection::beginWrite(WriteLock) {
  // The busy handler waits inside BEGIN IMMEDIATE; when another writer holds the
  // lock longer than that, back off and try again rather than fail the change.
  const auto deadline = std::chrono::steady_clock::now() + kBeginRetryLimit;
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    const int primary = rc & 0xFF;
    if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || std::chrono::steady_clock::now() > deadline)
      raiseDatabaseError("无法开始写事务", sqlite3_errmsg(db_));
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(200));
  }
}

void SqliteConnection::beginRead() { exec("BEGIN DEFERRED;"); }

void SqliteConnection::commit() {
  // COMMIT can meet SQLITE_BUSY while readers finish a checkpoint; retry it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const int rc = sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    const int primary = rc & 0xFF;
    if (primary != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline)
      raiseDatabaseError("提交事务失败", sqlite3_errmsg(db_));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void SqliteConnection::rollback() noexcept { sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr); }

void SqliteConnection::endRead() noexcept { sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr); }

}  // namespace wayfind::erp::storage
