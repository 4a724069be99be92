#include "erp/storage/pg_connection.h"

#include <libpq-fe.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "erp/storage/pg_sql.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"

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
// How many texts run once a session remembers (to prepare them when they come
// again) before it forgets them all.
constexpr size_t kRunTextsRemembered = 4096;

// Also set for the database by the rights (pg_schema_sql.cpp): a wait for a
// lock fails after 5 s, a transaction left idle ends after 15 s, a statement
// after 30 s.
// They travel in the connection's start-up message, with the client encoding,
// so that a session is set up without a request of its own.
constexpr const char* kSessionBounds =
    "-c lock_timeout=5s -c idle_in_transaction_session_timeout=15s -c statement_timeout=30s";

constexpr const char* kBeginRead = "BEGIN ISOLATION LEVEL REPEATABLE READ;";

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

// A real number as the server writes it ("2.5", "1e+20", "Infinity", "NaN"),
// read with a full stop whatever the process's locale; 0 for anything else.
double serverReal(const char* text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text, text + std::strlen(text), value);
  return ec == std::errc() && *end == '\0' ? value : 0;
}

// A real as a whole number, as SQLite gives it: towards zero, limited to the
// range, 0 for NaN.
int64_t wholeOf(double d) {
  if (std::isnan(d)) return 0;
  if (d <= -9223372036854775808.0) return INT64_MIN;
  if (d >= 9223372036854775808.0) return INT64_MAX;
  return static_cast<int64_t>(d);
}

}  // namespace

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
    // Prepared, it is prepared in the round trip that first runs it.
    oneShot_ = conn_.firstRunOf(sql_);
  }
  ~PgStatement() override { clearResult(); }

  void bindNull(int index) override { slot(index).reset(); }
  void bindInt64(int index, int64_t v) override { slot(index) = std::to_string(v); }
  void bindDouble(int index, double v) override { slot(index) = platform::exactNumberText(v); }
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
    // An unnamed statement has nothing to describe before it runs, and one the
    // session has not run before is run rather than prepared to be described:
    // prepared, every text asked once (a search's next page, a query of the
    // host's) would stay on the server for the session's life.
    if ((unnamed_ || oneShot_) && !res_) const_cast<PgStatement*>(this)->execute();
    if (res_) return PQnfields(res_);
    const_cast<PgStatement*>(this)->prepareNamed();
    PGresult* d = PQdescribePrepared(conn_.handle(), name_.c_str());
    const int n = d ? PQnfields(d) : 0;
    PQclear(d);
    return n;
  }
  std::string columnName(int col) const override {
    const char* n = res_ ? PQfname(res_, col) : nullptr;
    return n ? n : "";
  }
  std::optional<size_t> rowsInResult() const override {
    return res_ ? std::optional<size_t>(static_cast<size_t>(rows_)) : std::nullopt;
  }
  ValueKind declaredKind(int col) const override { return res_ ? kindOfType(PQftype(res_, col)) : ValueKind::Null; }
  ValueKind kind(int col) const override {
    if (!res_ || row_ < 0 || PQgetisnull(res_, row_, col)) return ValueKind::Null;
    const ValueKind k = kindOfType(typeOf(col));
    return k == ValueKind::Null ? ValueKind::Text : k;
  }
  int64_t int64(int col) const override {
    const char* v = cell(col);
    if (!v) return 0;
    const Oid type = typeOf(col);
    if (type == kBool) return *v == 't' ? 1 : 0;
    if (kindOfType(type) == ValueKind::Real) return wholeOf(serverReal(v));
    return std::strtoll(v, nullptr, 10);
  }
  double real(int col) const override {
    const char* v = cell(col);
    if (!v) return 0;
    if (typeOf(col) == kBool) return *v == 't' ? 1 : 0;
    return serverReal(v);
  }
  std::string text(int col) const override { return std::string(textView(col)); }
  // The text as the result holds it (valid while the result is), without a copy.
  std::string_view textView(int col) const override {
    const char* v = cell(col);
    if (!v) return {};
    if (typeOf(col) == kBool) return *v == 't' ? "1" : "0";
    return {v, static_cast<size_t>(PQgetlength(res_, row_, col))};
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
  // The column's type, read from the result once rather than per cell.
  Oid typeOf(int col) const {
    const auto c = static_cast<size_t>(col);
    return c < columnTypes_.size() ? columnTypes_[c] : PQftype(res_, col);
  }
  void clearResult() {
    if (res_) PQclear(res_);
    res_ = nullptr;
    columnTypes_.clear();
    rows_ = 0;
    row_ = -1;
    done_ = false;
  }
  void prepareNamed() {
    name_ = conn_.preparedName(sql_, used_);
    generation_ = conn_.generation();
    oneShot_ = false;
  }

 public:
  // Whether stepping would send the statement (again).
  bool waitsToRun() const { return !res_ || done_; }

  // Adds the requests that run this statement to a round trip (rebuilt for
  // each attempt: a new session prepares afresh). The statement's first run on
  // a session goes unprepared; a later run uses, or makes in the same round
  // trip, the session's prepared statement of its text.
  void addRequests(std::vector<PipelineRequest>& requests) {
    values_.clear();
    for (const auto& p : params_) values_.push_back(p ? p->c_str() : nullptr);
    types_.assign(used_.size(), 0);
    // The server infers each parameter's type from where it stands; one that
    // stands nowhere is declared text so that binding it does no harm.
    for (size_t i = 0; i < used_.size(); ++i)
      if (!used_[i]) types_[i] = kText;
    PGconn* c = conn_.handle();
    const int n = static_cast<int>(values_.size());
    if (unnamed_ || oneShot_) {
      requests.push_back({[this, c, n] {
                            return PQsendQueryParams(c, sql_.c_str(), n, types_.data(), values_.data(), nullptr,
                                                     nullptr, 0);
                          },
                          PipelineRequest::Run, this, &sql_});
      return;
    }
    if (const std::string* known = conn_.preparedNameOf(sql_)) {
      name_ = *known;
    } else {
      name_ = conn_.newPreparedName(sql_);
      requests.push_back({[this, c] {
                            return PQsendPrepare(c, name_.c_str(), sql_.c_str(), static_cast<int>(types_.size()),
                                                 types_.data());
                          },
                          PipelineRequest::Prepare, this, &sql_});
    }
    generation_ = conn_.generation();
    requests.push_back(
        {[this, c, n] { return PQsendQueryPrepared(c, name_.c_str(), n, values_.data(), nullptr, nullptr, 0); },
         PipelineRequest::Run, this, &sql_});
  }

  // Takes the result of its run (owning it).
  void take(PGresult* res) {
    clearResult();
    res_ = res;
    rows_ = PQntuples(res_);
    const int columns = PQnfields(res_);
    columnTypes_.resize(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) columnTypes_[static_cast<size_t>(c)] = PQftype(res_, c);
    ran_ = true;
    oneShot_ = false;  // run again, it is prepared
  }
  const std::string& preparedAs() const { return name_; }
  bool readOnly() const { return readOnly_; }

 private:
  void execute() {
    clearResult();
    PgStatement* self = this;
    conn_.runStatements(std::span<PgStatement* const>(&self, 1));
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
  std::vector<const char*> values_;  // params_ as sent
  std::vector<Oid> types_;  // the parameters'
  PGresult* res_ = nullptr;
  std::vector<Oid> columnTypes_;  // the result's, by column
  int rows_ = 0;
  int row_ = -1;
  bool done_ = false;
};

namespace {

void ignoreNotice(void*, const char*) {}

// The server settings every session starts with: the URI's own "options"
// first, then the bounds and the mode, which win over them.
std::string startupOptions(const std::string& uri, Connection::Mode mode) {
  std::string options;
  if (PQconninfoOption* parsed = PQconninfoParse(uri.c_str(), nullptr)) {
    for (PQconninfoOption* o = parsed; o->keyword; ++o)
      if (std::strcmp(o->keyword, "options") == 0 && o->val && *o->val) options = std::string(o->val) + " ";
    PQconninfoFree(parsed);
  }
  options += kSessionBounds;
  if (mode == Connection::Mode::ReadOnly) options += " -c default_transaction_read_only=on";
  return options;
}

}  // namespace

std::string sqlState(const pg_result* res) {
  const char* s = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  return s ? s : "";
}

std::shared_ptr<Connection> PgConnection::open(const std::filesystem::path& uri, Mode mode) {
  // The URI's own settings come after the default connect timeout and so win
  // over it; several hosts with target_session_attrs are the URI's business.
  // The encoding and the session's settings come after the URI: the program
  // speaks UTF-8 and bounds its sessions whatever the URI says.
  const std::string text = uri.string();
  const std::string options = startupOptions(text, mode);
  const char* keywords[] = {"connect_timeout", "dbname", "client_encoding", "options", nullptr};
  const char* values[] = {kConnectTimeoutSeconds, text.c_str(), "UTF8", options.c_str(), nullptr};
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
  // The start-up message asked for UTF-8 and the bounds (startupOptions); the
  // server reports the encoding it took, so only a server that did not take it
  // costs a request.
  const char* encoding = PQparameterStatus(conn_, "client_encoding");
  if ((!encoding || std::strcmp(encoding, "UTF8") != 0) && PQsetClientEncoding(conn_, "UTF8") != 0)
    raiseDatabaseError("无法设置客户端编码 " + displayName(), trimmedMessage(PQerrorMessage(conn_)));
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
  pendingRollback_ = false;
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
  settle();
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
  // The texts run once are remembered to prepare them when they come again; a
  // session that keeps asking new ones forgets them now and then (such a text
  // then runs unprepared once more).
  if (run_.size() >= kRunTextsRemembered) run_.clear();
  return run_.insert(sql).second;
}

const std::string& PgConnection::preparedName(const std::string& sql, const std::vector<bool>& used) {
  if (auto it = prepared_.find(sql); it != prepared_.end()) return it->second;
  const std::string name = newPreparedName(sql);
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
  sendPendingBegin();
  const std::string text(sql);
  PGresult* res = PQexec(conn_, text.c_str());
  const auto status = PQresultStatus(res);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(res, "执行语句失败 [" + shortSql(text) + "]");
  PQclear(res);
}

bool PgConnection::inTransaction() const {
  if (pendingBegin_) return true;
  const_cast<PgConnection*>(this)->settle();
  // A lost connection has no transaction any more (the server rolled it back).
  const auto status = PQtransactionStatus(conn_);
  return status != PQTRANS_IDLE && status != PQTRANS_UNKNOWN;
}

bool PgConnection::broken() const { return PQstatus(conn_) == CONNECTION_BAD; }

bool PgConnection::hasLockFunction() {
  if (lockFunction_) return true;
  // Outside a transaction a session the server ended is made again, as BEGIN's is.
  PGresult* res = sendOutsideTransaction(
      [&] { return PQexec(conn_, "SELECT to_regprocedure('wayfind_lock(integer,integer)') IS NOT NULL"); });
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
    // Asked before BEGIN: a failure to ask leaves no transaction open behind it.
    const std::string lock = writeLockSql(whole);
    begin("BEGIN ISOLATION LEVEL READ COMMITTED;");
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
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i) list += ',';
    list += std::to_string(ids[i]);
  }
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

// The BEGIN goes in the same round trip as the transaction's first statement
// (runStatements), or with whatever request comes first (sendPendingBegin); a
// transaction that sends nothing sends no BEGIN either.
void PgConnection::beginRead() { pendingBegin_ = true; }

void PgConnection::sendPendingBegin() {
  if (!pendingBegin_) return;
  pendingBegin_ = false;
  begin(kBeginRead);
}

void PgConnection::endRead() noexcept {
  if (pendingBegin_) {
    pendingBegin_ = false;
    return;
  }
  settle();
  if (PQtransactionStatus(conn_) != PQTRANS_INTRANS && PQtransactionStatus(conn_) != PQTRANS_INERROR) {
    rollback();
    return;
  }
  // A read has nothing to keep: its ROLLBACK is sent and its answer read with
  // the next request's (settle), not waited for.
  if (PQsendQueryParams(conn_, "ROLLBACK", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1)
    pendingRollback_ = true;
  else
    rollback();
}

void PgConnection::settle() {
  if (!pendingRollback_) return;
  pendingRollback_ = false;
  while (PGresult* res = PQgetResult(conn_)) PQclear(res);
}

const std::string* PgConnection::preparedNameOf(const std::string& sql) const {
  auto it = prepared_.find(sql);
  return it == prepared_.end() ? nullptr : &it->second;
}

std::string PgConnection::newPreparedName(const std::string&) { return "wf" + std::to_string(++names_); }

std::vector<PGresult*> PgConnection::pipeline(const std::vector<PipelineRequest>& requests) {
  settle();
  std::vector<PGresult*> results(requests.size(), nullptr);
  if (PQenterPipelineMode(conn_) != 1) return results;
  size_t sent = 0;
  while (sent < requests.size() && requests[sent].send() == 1) ++sent;
  if (PQpipelineSync(conn_) == 1) {
    size_t read = 0;
    for (; read < sent; ++read) {
      PGresult* res = PQgetResult(conn_);
      if (!res) break;  // the connection failed
      results[read] = res;
      while (PGresult* more = PQgetResult(conn_)) PQclear(more);  // up to the end of this request's results
    }
    if (read == sent) {
      if (PGresult* sync = PQgetResult(conn_)) PQclear(sync);
    }
  }
  // Refused only when the connection failed mid-way; making it again
  // (reconnect) leaves pipeline mode.
  PQexitPipelineMode(conn_);
  return results;
}

void PgConnection::runStatements(std::span<PgStatement* const> statements) {
  // A round trip that begins the transaction, or only reads, can go again
  // whole on a new session when the connection was lost.
  const bool withBegin = pendingBegin_;
  pendingBegin_ = false;
  bool retryable = withBegin;
  if (!retryable) {
    retryable = true;
    for (const PgStatement* st : statements) retryable = retryable && st->readOnly();
  }
  std::vector<PipelineRequest> requests;
  auto attempt = [&] {
    requests.clear();
    if (withBegin)
      requests.push_back(
          {[this] { return PQsendQueryParams(conn_, kBeginRead, 0, nullptr, nullptr, nullptr, nullptr, 0); },
           PipelineRequest::Begin, nullptr, nullptr});
    for (PgStatement* st : statements) st->addRequests(requests);
    return pipeline(requests);
  };
  settle();
  if (retryable && PQstatus(conn_) == CONNECTION_BAD) reconnect();
  const bool idle = PQtransactionStatus(conn_) == PQTRANS_IDLE;
  std::vector<PGresult*> results = attempt();
  auto clearFrom = [&](size_t first) {
    for (size_t j = first; j < results.size(); ++j) {
      if (results[j]) PQclear(results[j]);
      results[j] = nullptr;
    }
  };
  if (retryable && idle) {
    bool gone = false, missing = false;
    for (PGresult* res : results) {
      gone = gone || (res && lost(res));
      missing = missing || !res;
    }
    if (gone || (missing && lost(nullptr))) {
      clearFrom(0);
      reconnect();
      results = attempt();
    }
  }
  for (size_t i = 0; i < requests.size(); ++i) {
    PGresult* res = results[i];
    const PipelineRequest& request = requests[i];
    const auto status = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
    const bool ok = status == PGRES_COMMAND_OK || (request.kind == PipelineRequest::Run && status == PGRES_TUPLES_OK);
    if (!ok) {
      clearFrom(i + 1);
      fail(res, request.kind == PipelineRequest::Begin     ? std::string("无法开始事务")
                : request.kind == PipelineRequest::Prepare ? "无法准备语句 [" + shortSql(*request.sql) + "]"
                                                           : "执行语句失败 [" + shortSql(*request.sql) + "]");
    }
    results[i] = nullptr;
    if (request.kind == PipelineRequest::Prepare) {
      prepared_.emplace(*request.sql, request.statement->preparedAs());
      PQclear(res);
    } else if (request.kind == PipelineRequest::Run) {
      request.statement->take(res);
    } else {
      PQclear(res);
    }
  }
}

void PgConnection::runTogether(const std::vector<Statement*>& statements) {
  std::vector<PgStatement*> waiting;
  bool reads = true;
  for (Statement* st : statements) {
    auto* pg = static_cast<PgStatement*>(&st->backend());
    if (!pg->waitsToRun()) continue;
    waiting.push_back(pg);
    reads = reads && pg->readOnly();
  }
  // Outside a transaction the statements of one round trip share one
  // transaction: only reads may go together there.
  if (waiting.size() < 2 || (!reads && !inTransaction())) return;
  runStatements(waiting);
}

void PgConnection::commit() {
  if (pendingBegin_) {  // nothing was sent: nothing to commit
    pendingBegin_ = false;
    return;
  }
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
  pendingBegin_ = false;
  settle();
  if (PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  PQclear(PQexec(conn_, "ROLLBACK"));
}

namespace {
// Who the session's role is to the ERP: the database's owner (a member of the
// role that owns the tables) is trusted with every row; any other role is the
// ERP user t_UserRole maps it to, or none (Null).
constexpr const char* kServerUserSql =
    "pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid = 't_navversion'::regclass), 'MEMBER'), "
    "(SELECT FUserID FROM t_UserRole WHERE FRoleName = session_user)";
}  // namespace

bool PgConnection::knowsServerUser() {
  if (serverUser_) return true;
  // The server tells at start-up whether the session's role is a superuser.
  const char* superuser = PQparameterStatus(conn_, "is_superuser");
  if (superuser && std::strcmp(superuser, "on") == 0) serverUser_ = std::optional<int32_t>();
  return serverUser_.has_value();
}

void PgConnection::learnServerUser(Statement& st, int firstColumn) {
  std::optional<int32_t> user;
  if (st.int64(firstColumn) == 0) user = st.isNull(firstColumn + 1) ? 0 : st.int32(firstColumn + 1);
  serverUser_ = user;
}

std::optional<int32_t> PgConnection::serverUserId() {
  if (!knowsServerUser()) {
    auto st = prepare(std::string("SELECT ") + kServerUserSql);
    st.step();
    learnServerUser(st, 0);
  }
  return *serverUser_;
}

bool PgConnection::hasUser(int32_t userId, const std::vector<Statement*>& alongside) {
  // The first caller check of a session learns the server user too.
  const bool learn = !knowsServerUser();
  auto st = prepare(learn ? std::string("SELECT EXISTS (SELECT 1 FROM t_User WHERE FUserID = ?1), ") + kServerUserSql
                          : std::string("SELECT EXISTS (SELECT 1 FROM t_User WHERE FUserID = ?1)"));
  st.bind(1, userId);
  if (!alongside.empty()) {
    std::vector<Statement*> all{&st};
    all.insert(all.end(), alongside.begin(), alongside.end());
    runTogether(all);
  }
  st.step();
  if (learn) learnServerUser(st, 1);
  return st.int64(0) != 0;
}

}  // namespace wayfind::erp::storage

// The entry by which the core opens a server connection, the module being
// loaded only then (platform/modules/module_loader.h).
extern "C" __attribute__((visibility("default"))) void wayfind_pg_open(
    const std::filesystem::path* uri, int mode, std::shared_ptr<wayfind::erp::storage::Connection>* out) {
  *out = wayfind::erp::storage::PgConnection::open(*uri, static_cast<wayfind::erp::storage::Connection::Mode>(mode));
}
