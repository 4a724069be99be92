#include "erp/client/bill_use_info.h"

#include <sqlite3.h>

#include <cctype>
#include <chrono>

#include "erp/client/res_loader.h"
#include "erp/middletier/caller.h"
#include "erp/middletier/messages.h"
#include "erp/storage/database.h"
#include "erp/storage/recordset_builder.h"
#include "erp/storage/sqlite_connection.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::erp::client {

namespace {

constexpr auto kQueryTimeLimit = std::chrono::seconds(15);

// Functions that reach outside the database (a library, a tokenizer pointer) are
// refused when the statement is prepared, whatever the build allows at run time.
bool outsideFunction(const char* name) {
  if (!name) return false;
  for (const char* refused : {"load_extension", "fts3_tokenizer"})
    if (sqlite3_stricmp(name, refused) == 0) return true;
  return false;
}

int readOnlyAuthorizer(void*, int action, const char*, const char* arg2, const char*, const char*) {
  switch (action) {
    case SQLITE_FUNCTION: return outsideFunction(arg2) ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    default: return SQLITE_DENY;
  }
}

int deadlineHandler(void* arg) {
  const auto* deadline = static_cast<std::chrono::steady_clock::time_point*>(arg);
  return std::chrono::steady_clock::now() > *deadline ? 1 : 0;
}

// A refusal in the caller's language (the client's tables; the Chinese text where
// they have none), with what SQLite or the server said after it as it stands.
[[noreturn]] void refuse(const std::string& why, const std::string& detail = {}) {
  std::string text = why;
  if (const std::string& language = middletier::callLanguage(); language != "chs") {
    try {
      ResLoader loader;
      loader.setLanguageID(language);
      text = loader.LoadString(why);
    } catch (const platform::AutomationError&) {
    }
  }
  storage::raiseRefused(BillUseInfo::kSource, detail.empty() ? text : text + " " + detail);
}

// Keeps the authorizer and the progress handler on the connection while the
// query runs.
class Guard {
 public:
  Guard(sqlite3* db, std::chrono::steady_clock::time_point* deadline) : db_(db) {
    sqlite3_set_authorizer(db_, &readOnlyAuthorizer, nullptr);
    sqlite3_progress_handler(db_, 1000, &deadlineHandler, deadline);
  }
  ~Guard() {
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    sqlite3_set_authorizer(db_, nullptr, nullptr);
  }

 private:
  sqlite3* db_;
};

// The first word of a statement, after blanks, comments and opening brackets,
// in upper case.
std::string firstWord(const std::string& sql) {
  size_t i = 0;
  for (;;) {
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(')) ++i;
    if (sql.compare(i, 2, "--") == 0) {
      i = sql.find('\n', i);
      if (i == std::string::npos) return {};
    } else if (sql.compare(i, 2, "/*") == 0) {
      i = sql.find("*/", i);
      if (i == std::string::npos) return {};
      i += 2;
    } else {
      break;
    }
  }
  std::string word;
  while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++]))));
  return word;
}

// On the server: one statement that reads, in a read-only transaction under the
// read-only role wayfind_reader, with a time limit. The server prepares one
// statement only; anything that writes is refused by the transaction and the
// role alike, and the functions that would switch the role back or reach the
// server's files are refused before the statement is sent, as are those that
// run a query given as text (which could call them by a name put together
// there) and identifiers written with Unicode escapes.
platform::RecordsetPtr serverQuery(storage::Connection& conn, const std::string& sql) {
  const std::string word = firstWord(sql);
  if (word.empty()) refuse("查询语句为空。");
  if (word != "SELECT" && word != "WITH" && word != "VALUES" && word != "TABLE")
    refuse("只允许只读查询 (SELECT)，该语句被拒绝:", word);
  const std::string lower = platform::toLowerAscii(sql);
  for (const char* refused : {"set_config", "pg_read_file", "pg_read_binary_file", "pg_ls_dir", "lo_import",
                              "lo_export", "lo_get", "dblink", "pg_stat_file", "query_to_xml", "cursor_to_xml",
                              "ts_stat", "ts_rewrite", "u&\""})
    if (lower.find(refused) != std::string::npos)
      refuse("只允许只读查询 (SELECT)，不允许使用函数", refused);
  if (conn.inTransaction()) refuse("数据访问不能在事务中进行。");
  conn.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY;");
  struct End {
    storage::Connection& conn;
    ~End() { conn.rollback(); }
  } end{conn};
  conn.exec("SET LOCAL ROLE wayfind_reader; SET LOCAL statement_timeout = " +
            std::to_string(std::chrono::milliseconds(kQueryTimeLimit).count()) + ";");
  try {
    auto st = conn.prepare(sql);
    return storage::recordsetTypedFromResult(st);
  } catch (const platform::AutomationError& e) {
    const std::string& d = e.description();
    if (d.find("SQLSTATE 57014") != std::string::npos) refuse("查询超过了 15 秒，已中止。");
    if (d.find("SQLSTATE 25006") != std::string::npos || d.find("SQLSTATE 42501") != std::string::npos)
      refuse("只允许只读查询 (SELECT)，该语句被拒绝:", d);
    if (d.find("multiple commands") != std::string::npos) refuse("一次只能执行一条查询语句。");
    refuse("查询语句有误:", d);
  }
}

}  // namespace

BillUseInfo::BillUseInfo(std::filesystem::path database) : database_(std::move(database)) {}

platform::RecordsetPtr BillUseInfo::GetData(const std::string& propsString, const std::string& sql) {
  {
    auto rw = storage::connectionFor(database_);
    middletier::requireCaller(*rw, propsString, kSource);
  }
  if (!storage::isValidUtf8(sql)) refuse("查询语句不是有效的 UTF-8 文本。");
  auto conn = storage::readOnlyConnectionFor(database_);
  if (conn->backend() == storage::Backend::PostgreSQL) return serverQuery(*conn, sql);
  sqlite3* db = static_cast<storage::SqliteConnection&>(*conn).handle();
  auto deadline = std::chrono::steady_clock::now() + kQueryTimeLimit;
  Guard guard(db, &deadline);

  // The first statement, and proof that nothing but blanks and comments follows.
  sqlite3_stmt* first = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &first, &tail);
  if (rc != SQLITE_OK) {
    const std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(first);
    if ((rc & 0xFF) == SQLITE_AUTH) refuse("只允许只读查询 (SELECT)，该语句被拒绝:", msg);
    refuse("查询语句有误:", msg);
  }
  if (!first) refuse("查询语句为空。");
  const bool readOnly = sqlite3_stmt_readonly(first) != 0;
  const std::string firstText(sql.c_str(), static_cast<size_t>(tail - sql.c_str()));
  sqlite3_finalize(first);
  if (!readOnly) refuse("只允许只读查询 (SELECT)，该语句会修改数据。");

  const std::string rest(tail);
  sqlite3_stmt* next = nullptr;
  rc = sqlite3_prepare_v2(db, rest.c_str(), static_cast<int>(rest.size()), &next, nullptr);
  sqlite3_finalize(next);
  if (rc != SQLITE_OK || next) refuse("一次只能执行一条查询语句。");

  auto st = conn->prepare(firstText);
  try {
    return storage::recordsetTypedFromResult(st);
  } catch (const platform::AutomationError& e) {
    if (std::chrono::steady_clock::now() > deadline) refuse("查询超过了 15 秒，已中止。");
    throw;
  }
}

}  // namespace wayfind::erp::client
