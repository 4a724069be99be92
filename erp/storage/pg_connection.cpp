#include "erp/storage/pg_connection.h"

#include <libpq-fe.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "erp/storage/pg_sql.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {

// The write lock's key among the database's advisory locks, where a database
// made by an earlier program still keeps it (until it is migrated).
constexpr long long kWriteLockKey = 0x57617966;  // "Wayf"
constexpr int kBeginAttempts = 5;

// A statement with more parameters than this (a lookup of many identifiers at
// once, a bulk insert) is sent unnamed, planned each time with its values: a
// plan the server kept from when the tables were small would scan them whole
// once they are big.
constexpr size_t kMostParametersNamed = 64;

// Also set for the database by the rights (pg_schema_sql.cpp): a wait for a
// lock fails after 5 s, a transaction left idle ends after 15 s, a statement
// after 30 s.
constexpr const char* kSessionBounds =
    "SET lock_timeout = '5s'; SET idle_in_transaction_session_timeout = '15s'; SET statement_timeout = '30s';";

// A lost connection is made again for up to this long, with pauses growing
// from 100 ms to 2 s: long enough for a server's restart or a standby's
// promotion, short enough to answer with a clear error when neither comes.
constexpr auto kReconnectFor = std::chrono::seconds(10);
// Each attempt to reach one host, unless the URI says otherwise.
constexpr const char* kConnectTimeoutSeconds = "5";

// Type identifiers of the server's built-in types that come back as numbers.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700, kText = 25, kVarchar = 1043, kBpchar = 1042;

bool startsWithSelect(const std::string& sql) {
  size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  return sql.size() - i > 6 && strncasecmp(sql.c_str() + i, "SELECT", 6) == 0 &&
         std::isspace(static_cast<unsigned char>(sql[i + 6]));
}

std::string shortSql(const std::string& sql) {
  return sql.size() > 120 ? sql.substr(0, 117) + "..." : sql;
}

std::string trimmedMessage(const char* msg) {
  std::string s = msg ? msg : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

ValueKind kindOfType(Oid type) {
  switch (type) {
    case kBool:
    case kInt8:
    case kInt2:
    case kInt4:
    case kOid: return ValueKind::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric: return ValueKind::Real;
    case kText:
    case kVarchar:
    case kBpchar: return ValueKind::Text;
    default: return ValueKind::Null;
  }
}

class PgStatement final : public StatementBackend {
 public:
  // countInResult: a statement whose one result value is the number of rows it
  // changed (a deletion through the server's function).
  PgStatement(PgConnection& conn, ServerSql serverSql, bool countInResult = false)
      : conn_(conn), sql_(std::move(serverSql.text)), used_(std::move(serverSql.used)),
        countInResult_(countInResult), readOnly_(!countInResult && startsWithSelect(sql_)),
        unnamed_(used_.size() > kMostParametersNamed) {
    if (unnamed_) return;
    // A statement the session has not run before runs unprepared, in one
    // round trip: most of what a login asks, it asks once. Run again, by this
    // statement or another of the same text, it is prepared.
    if (conn_.firstRunOf(sql_)) {
      oneShot_ = true;
      return;
    }
    prepareNamed();
  }
  ~PgStatement() override { clearResult(); }

  void bindNull(int index) override { slot(index).reset(); }
  void bindInt64(int index, int64_t v) override { slot(index) = std::to_string(v); }
  void bindDouble(int index, double v) override {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    slot(index) = std::string(buf);
  }
  void bindText(int index, std::string_view text) override {
    // The server keeps UTF-8 text without NUL characters; anything else could
    // only be cut short or refused there, so it is refused here, clearly.
    requireStorableText(text);
    slot(index) = std::string(text);
  }

  bool step() override {
    if (!res_ || done_) execute();
    if (row_ + 1 < rows_) {
      ++row_;
      return true;
    }
    done_ = true;
    return false;
  }
  int run() override {
    if (!res_ || done_) execute();
    done_ = true;
    if (countInResult_) return rows_ > 0 ? std::atoi(PQgetvalue(res_, 0, 0)) : 0;
    return std::atoi(PQcmdTuples(res_));
  }
  void reset() override {
    clearResult();
    params_.clear();
  }

  int columnCount() const override {
    // An unnamed statement has nothing to describe before it runs.
    if (unnamed_ && !res_) const_cast<PgStatement*>(this)->execute();
    if (oneShot_ && !res_) const_cast<PgStatement*>(this)->prepareNamed();
    if (res_) return PQnfields(res_);
    PGresult* d = PQdescribePrepared(conn_.handle(), name_.c_str());
    const int n = d ? PQnfields(d) : 0;
    PQclear(d);
    return n;
  }
  std::string columnName(int col) const override {
    const char* n = res_ ? PQfname(res_, col) : nullptr;
    return n ? n : "";
  }
  ValueKind declaredKind(int col) const override { return res_ ? kindOfType(PQftype(res_, col)) : ValueKind::Null; }
  ValueKind kind(int col) const override {
    if (!res_ || row_ < 0 || PQgetisnull(res_, row_, col)) return ValueKind::Null;
    const ValueKind k = kindOfType(PQftype(res_, col));
    return k == ValueKind::Null ? ValueKind::Text : k;
  }
  int64_t int64(int col) const override {
    const char* v = cell(col);
    if (!v) return 0;
    if (PQftype(res_, col) == kBool) return *v == 't' ? 1 : 0;
    if (kindOfType(PQftype(res_, col)) == ValueKind::Real) return static_cast<int64_t>(std::strtod(v, nullptr));
    return std::strtoll(v, nullptr, 10);
  }
  double real(int col) const override {
    const char* v = cell(col);
    if (!v) return 0;
    if (PQftype(res_, col) == kBool) return *v == 't' ? 1 : 0;
    return std::strtod(v, nullptr);
  }
  std::string text(int col) const override {
    const char* v = cell(col);
    if (!v) return {};
    if (PQftype(res_, col) == kBool) return *v == 't' ? "1" : "0";
    return std::string(v, static_cast<size_t>(PQgetlength(res_, row_, col)));
  }

 private:
  std::optional<std::string>& slot(int index) {
    if (index < 1 || index > 65535) raiseDatabaseError("绑定参数失败 [" + shortSql(sql_) + "]", "参数序号无效");
    if (res_) clearResult();  // binding again starts a new run
    if (params_.size() < static_cast<size_t>(index)) params_.resize(static_cast<size_t>(index));
    return params_[static_cast<size_t>(index - 1)];
  }
  const char* cell(int col) const {
    if (!res_ || row_ < 0 || row_ >= rows_ || PQgetisnull(res_, row_, col)) return nullptr;
    return PQgetvalue(res_, row_, col);
  }
  void clearResult() {
    if (res_) PQclear(res_);
    res_ = nullptr;
    rows_ = 0;
    row_ = -1;
    done_ = false;
  }
  void prepareNamed() {
    name_ = conn_.preparedName(sql_, used_);
    generation_ = conn_.generation();
    oneShot_ = false;
  }
  void execute() {
    if (oneShot_ && ran_) prepareNamed();
    ran_ = true;
    clearResult();
    std::vector<const char*> values;
    values.reserve(params_.size());
    for (const auto& p : params_) values.push_back(p ? p->c_str() : nullptr);
    auto send = [&] {
      if (unnamed_ || oneShot_) {
        std::vector<Oid> types(used_.size(), 0);
        for (size_t i = 0; i < used_.size(); ++i)
          if (!used_[i]) types[i] = kText;
        return PQexecParams(conn_.handle(), sql_.c_str(), static_cast<int>(values.size()), types.data(),
                            values.data(), nullptr, nullptr, 0);
      }
      // Prepared statements live in the server session: a new session (after
      // the connection was made again) prepares this one afresh.
      if (generation_ != conn_.generation()) {
        name_ = conn_.preparedName(sql_, used_);
        generation_ = conn_.generation();
      }
      return PQexecPrepared(conn_.handle(), name_.c_str(), static_cast<int>(values.size()), values.data(), nullptr,
                            nullptr, 0);
    };
    // Only a plain read is sent again after a lost connection: a change sent
    // outside a transaction may have been made before the connection went.
    PGresult* res = readOnly_ ? conn_.sendOutsideTransaction(send) : send();
    const auto status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
      conn_.fail(res, "执行语句失败 [" + shortSql(sql_) + "]");
    res_ = res;
    rows_ = PQntuples(res_);
  }

  PgConnection& conn_;
  std::string sql_;
  std::vector<bool> used_;
  bool countInResult_;
  bool readOnly_;
  bool unnamed_;
  bool oneShot_ = false;  // not prepared: the session's first run of this text
  bool ran_ = false;
  unsigned generation_ = 0;
  std::string name_;
  std::vector<std::optional<std::string>> params_;
  PGresult* res_ = nullptr;
  int rows_ = 0;
  int row_ = -1;
  bool done_ = false;
};

void ignoreNotice(void*, const char*) {}

}  // namespace

std::string sqlState(const pg_result* res) {
  const char* s = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  return s ? s : "";
}

std::shared_ptr<Connection> PgConnection::open(const std::filesystem::path& uri, Mode mode) {
  // The URI's own settings come after the default connect timeout and so win
  // over it; several hosts with target_session_attrs are the URI's business.
  const std::string text = uri.string();
  const char* keywords[] = {"connect_timeout", "dbname", nullptr};
  const char* values[] = {kConnectTimeoutSeconds, text.c_str(), nullptr};
  PGconn* c = PQconnectdbParams(keywords, values, /*expand_dbname=*/1);
  if (!c || PQstatus(c) != CONNECTION_OK) {
    const std::string msg = c ? trimmedMessage(PQerrorMessage(c)) : "内存不足";
    PQfinish(c);
    raiseDatabaseError("无法连接数据库 " + locationForDisplay(uri), msg);
  }
  PQsetNoticeProcessor(c, &ignoreNotice, nullptr);
  std::shared_ptr<PgConnection> conn(new PgConnection(c, uri, mode));
  conn->setUpSession();
  return conn;
}

void PgConnection::setUpSession() {
  if (PQsetClientEncoding(conn_, "UTF8") != 0)
    raiseDatabaseError("无法设置客户端编码 " + displayName(), trimmedMessage(PQerrorMessage(conn_)));
  // The same bounds the server sets for every session on a WayfindInfo
  // database: nobody waits on a lock, or leaves a transaction open, for long.
  exec(kSessionBounds);
  if (mode() == Mode::ReadOnly) exec("SET default_transaction_read_only = on;");
}

void PgConnection::reconnect() {
  const auto giveUp = std::chrono::steady_clock::now() + kReconnectFor;
  auto pause = std::chrono::milliseconds(100);
  int attempts = 0;
  for (;;) {
    ++attempts;
    PQreset(conn_);
    if (PQstatus(conn_) == CONNECTION_OK) break;
    if (std::chrono::steady_clock::now() + pause > giveUp)
      raiseDatabaseError("与数据库服务器的连接已断开，重试 " + std::to_string(attempts) + " 次仍无法重新连接 " +
                             displayName() + "，请在服务器恢复后再试",
                         trimmedMessage(PQerrorMessage(conn_)));
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::milliseconds>(pause * 2, std::chrono::seconds(2));
  }
  // A new server session: nothing prepared, settings to make again. The server
  // may be another one (a promoted standby): ask again what it has.
  prepared_.clear();
  run_.clear();
  mayDelete_.clear();
  lockFunction_ = false;
  ++generation_;
  setUpSession();
}

bool PgConnection::lost(const PGresult* res) const {
  // Every error of the server carries an SQLSTATE; a failure without one is
  // the client library's own: the connection broke (a write into a closed
  // socket is reported before libpq has marked the connection bad).
  return PQstatus(conn_) == CONNECTION_BAD || (res && PQresultStatus(res) == PGRES_FATAL_ERROR && sqlState(res).empty());
}

PGresult* PgConnection::sendOutsideTransaction(const std::function<PGresult*()>& send) {
  // Known to be lost already (an earlier request found out): nothing of this
  // one could reach the server, so the connection is made again first.
  if (PQstatus(conn_) == CONNECTION_BAD) reconnect();
  const bool idle = PQtransactionStatus(conn_) == PQTRANS_IDLE;
  PGresult* res = send();
  const auto status = PQresultStatus(res);
  if (!idle || status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || !lost(res)) return res;
  PQclear(res);
  reconnect();
  return send();
}

PgConnection::PgConnection(pg_conn* conn, std::filesystem::path uri, Mode mode)
    : Connection(std::move(uri), mode), conn_(conn) {}

PgConnection::~PgConnection() {
  if (conn_) PQfinish(conn_);
}

void PgConnection::fail(pg_result* res, const std::string& what) const {
  std::string msg = trimmedMessage(res ? PQresultErrorMessage(res) : PQerrorMessage(conn_));
  if (msg.empty()) msg = trimmedMessage(PQerrorMessage(conn_));
  const std::string state = sqlState(res);
  if (!state.empty()) msg += " (SQLSTATE " + state + ")";
  // The bounds of kSessionBounds, and a lost server, said plainly.
  if (lost(res))
    msg = "与数据库服务器的连接已断开，本次操作没有完成；下一次操作会重新连接。 " + msg;
  else if (state == "55P03")
    msg = "数据库正忙：另一个连接占用所需的锁已超过 5 秒，本次操作没有执行，请稍后再试。 " + msg;
  else if (state == "57014")
    msg = "数据库语句执行时间过长或被取消，本次操作没有执行。 " + msg;
  else if (state == "25P03")
    msg = "事务空闲时间过长，服务器已断开连接，本次操作没有执行。 " + msg;
  PQclear(res);
  raiseDatabaseError(what, msg);
}

bool PgConnection::firstRunOf(const std::string& sql) {
  if (prepared_.count(sql)) return false;
  return run_.insert(sql).second;
}

const std::string& PgConnection::preparedName(const std::string& sql, const std::vector<bool>& used) {
  if (auto it = prepared_.find(sql); it != prepared_.end()) return it->second;
  const std::string name = "wf" + std::to_string(prepared_.size() + 1);
  // The server infers each parameter's type from where it stands; one that
  // stands nowhere is declared text so that binding it does no harm.
  std::vector<Oid> types(used.size(), 0);
  for (size_t i = 0; i < used.size(); ++i)
    if (!used[i]) types[i] = kText;
  PGresult* res = sendOutsideTransaction(
      [&] { return PQprepare(conn_, name.c_str(), sql.c_str(), static_cast<int>(types.size()), types.data()); });
  if (PQresultStatus(res) != PGRES_COMMAND_OK) fail(res, "无法准备语句 [" + shortSql(sql) + "]");
  PQclear(res);
  return prepared_.emplace(sql, name).first->second;
}

Statement PgConnection::prepare(std::string_view sql) {
  if (auto deletion = parseDelete(sql); deletion && !mayDeleteFrom(deletion->table))
    return Statement(std::make_unique<PgStatement>(*this, toServerParameters(deleteThroughServer(*deletion)), true),
                     std::string(sql));
  return Statement(std::make_unique<PgStatement>(*this, toServerParameters(sql)), std::string(sql));
}

bool PgConnection::mayDeleteFrom(const std::string& table) {
  if (auto it = mayDelete_.find(table); it != mayDelete_.end()) return it->second;
  // A table the server does not know keeps the plain statement, which then
  // fails with the server's own message.
  const char* values[] = {table.c_str()};
  PGresult* res = sendOutsideTransaction([&] {
    return PQexecParams(conn_, "SELECT has_table_privilege(to_regclass($1), 'DELETE')", 1, nullptr, values, nullptr,
                        nullptr, 0);
  });
  if (PQresultStatus(res) != PGRES_TUPLES_OK) fail(res, "无法查询删除权限 [" + table + "]");
  const bool may = PQgetisnull(res, 0, 0) || *PQgetvalue(res, 0, 0) == 't';
  PQclear(res);
  return mayDelete_.emplace(table, may).first->second;
}

void PgConnection::exec(std::string_view sql) {
  const std::string text(sql);
  PGresult* res = PQexec(conn_, text.c_str());
  const auto status = PQresultStatus(res);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(res, "执行语句失败 [" + shortSql(text) + "]");
  PQclear(res);
}

bool PgConnection::inTransaction() const {
  // A lost connection has no transaction any more (the server rolled it back).
  const auto status = PQtransactionStatus(conn_);
  return status != PQTRANS_IDLE && status != PQTRANS_UNKNOWN;
}

bool PgConnection::broken() const { return PQstatus(conn_) == CONNECTION_BAD; }

bool PgConnection::hasLockFunction() {
  if (lockFunction_) return true;
  PGresult* res = PQexec(conn_, "SELECT to_regprocedure('wayfind_lock(integer,integer)') IS NOT NULL");
  if (PQresultStatus(res) != PGRES_TUPLES_OK) fail(res, "无法开始写事务");
  lockFunction_ = *PQgetvalue(res, 0, 0) == 't';
  PQclear(res);
  return lockFunction_;
}

void PgConnection::begin(const char* sql) {
  PGresult* res = sendOutsideTransaction([&] { return PQexec(conn_, sql); });
  if (PQresultStatus(res) != PGRES_COMMAND_OK) fail(res, "无法开始事务");
  PQclear(res);
}

std::string PgConnection::writeLockSql(bool whole) {
  return hasLockFunction() ? std::string("SELECT wayfind_lock(0, ") + (whole ? "1" : "0") + ")"
                           : std::string(whole ? "SELECT pg_advisory_xact_lock(" : "SELECT pg_advisory_xact_lock_shared(") +
                                 std::to_string(kWriteLockKey) + ")";
}

void PgConnection::beginWrite(WriteLock scope) {
  const bool whole = scope == WriteLock::Whole;
  writeLockPutOff_ = scope == WriteLock::SharedLater;
  if (writeLockPutOff_) {
    begin("BEGIN ISOLATION LEVEL READ COMMITTED;");
    return;
  }
  for (int attempt = 1;; ++attempt) {
    begin("BEGIN ISOLATION LEVEL READ COMMITTED;");
    const std::string lock = writeLockSql(whole);
    PGresult* res = PQexec(conn_, lock.c_str());
    if (PQresultStatus(res) == PGRES_TUPLES_OK) {
      PQclear(res);
      return;
    }
    const std::string state = sqlState(res);
    rollback();
    // Lost just after BEGIN: nothing was done yet, so the whole beginning goes
    // again on a new connection.
    const bool gone = lost(res);
    const bool transient = gone || state == "40001" || state == "40P01";
    if (!transient || attempt >= kBeginAttempts) fail(res, "无法开始写事务");
    PQclear(res);
    if (gone) reconnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * attempt));
  }
}

void PgConnection::serialiseOn(Serial space, int32_t id) {
  if (hasLockFunction()) {
    auto st = prepare("SELECT wayfind_lock(?1, ?2)");
    st.bindAll(static_cast<int32_t>(space), id);
    st.step();
    return;
  }
  // The two-key form: (space, id), apart from the one-key write lock.
  auto st = prepare("SELECT pg_advisory_xact_lock(?1, ?2)");
  st.bindAll(static_cast<int32_t>(kWriteLockKey) + static_cast<int32_t>(space), id);
  st.step();
  Connection::serialiseOn(space, id);  // the count, which wayfind_lock keeps itself
}

bool PgConnection::claimIdentifiers(int32_t level, const std::vector<int32_t>& ids) {
  if (ids.empty()) return true;
  std::string list;
  for (size_t i = 0; i < ids.size(); ++i) list += (i ? "," : "") + std::to_string(ids[i]);
  auto st = prepare("SELECT wayfind_claim_ids(?1, CAST(string_to_array(?2, ',') AS integer[]))");
  st.bindAll(level, list);
  if (!st.step()) raiseDatabaseError("无法取得项目标识", displayName());
  claimed_ = true;
  return st.int64(0) != 0;
}

bool PgConnection::takeWriteLockNow() {
  if (!writeLockPutOff_) return true;
  // Only a whole-database change conflicts with the shared lock. The
  // transaction already holds its user's lock, which such a change may be
  // waiting for behind the rows written: waiting here could deadlock, so the
  // wait is a moment only, and the session's own bound comes back after it.
  PGresult* res = PQexec(conn_, "SELECT current_setting('lock_timeout'), set_config('lock_timeout', '100ms', true)");
  if (PQresultStatus(res) != PGRES_TUPLES_OK) fail(res, "无法取得写锁");
  const std::string bound = PQgetvalue(res, 0, 0);
  PQclear(res);
  res = PQexec(conn_, writeLockSql(false).c_str());
  if (PQresultStatus(res) != PGRES_TUPLES_OK) {
    const std::string state = sqlState(res);
    if (state != "55P03" && state != "40P01") fail(res, "无法取得写锁");
    PQclear(res);
    return false;
  }
  PQclear(res);
  writeLockPutOff_ = false;
  auto restore = prepare("SELECT set_config('lock_timeout', ?1, true)");
  restore.bind(1, bound);
  restore.step();
  return true;
}

void PgConnection::beginRead() { begin("BEGIN ISOLATION LEVEL REPEATABLE READ;"); }

void PgConnection::commit() {
  writeLockPutOff_ = false;
  if (claimed_) {
    // The claims go with the change: those who passed over them may take them
    // again only once the rows are there to see.
    claimed_ = false;
    PGresult* res = PQexec(conn_, "SELECT wayfind_release_claims()");
    const bool ok = PQresultStatus(res) == PGRES_TUPLES_OK;
    if (!ok) {
      const std::string message = PQresultErrorMessage(res);
      PQclear(res);
      rollback();
      raiseDatabaseError("提交事务失败", message);
    }
    PQclear(res);
  }
  PGresult* res = PQexec(conn_, "COMMIT");
  if (PQresultStatus(res) != PGRES_COMMAND_OK) {
    // The server may have stored the change just before the connection went.
    if (lost(res)) fail(res, "提交时与数据库服务器的连接断开，这次更改可能没有保存，请重新读取后检查");
    fail(res, "提交事务失败");
  }
  // A transaction that failed earlier answers COMMIT with ROLLBACK: not stored.
  const std::string tag = PQcmdStatus(res);
  PQclear(res);
  if (tag == "ROLLBACK") raiseDatabaseError("提交事务失败", "事务中有语句失败，整个事务已回滚");
}

void PgConnection::rollback() noexcept {
  writeLockPutOff_ = false;
  claimed_ = false;
  if (PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  PQclear(PQexec(conn_, "ROLLBACK"));
}

std::optional<int32_t> PgConnection::serverUserId() {
  if (serverUser_) return *serverUser_;
  // The database's owner and superusers are trusted with every row; any other
  // role is the ERP user t_UserRole maps it to, or none (0).
  auto st = prepare(
      "SELECT (SELECT rolsuper FROM pg_roles WHERE rolname = session_user) "
      "    OR pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid = 't_navversion'::regclass), "
      "'MEMBER'), "
      "  (SELECT FUserID FROM t_UserRole WHERE FRoleName = session_user)");
  st.step();
  std::optional<int32_t> user;
  if (st.int64(0) == 0) user = st.isNull(1) ? 0 : st.int32(1);
  serverUser_ = user;
  return user;
}

}  // namespace wayfind::erp::storage

// The entry by which the core opens a server connection, the module being
// loaded only then (platform/modules/module_loader.h).
extern "C" __attribute__((visibility("default"))) void wayfind_pg_open(
    const std::filesystem::path* uri, int mode, std::shared_ptr<wayfind::erp::storage::Connection>* out) {
  *out = wayfind::erp::storage::PgConnection::open(*uri, static_cast<wayfind::erp::storage::Connection::Mode>(mode));
}
