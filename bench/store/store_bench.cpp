// The navigation store on a synthetic company of 50,000 detail functions, 5,000
// sub-functions and 5,000 user rows, against baselines measured in the same run:
//
//   GetDetailFunc / GetSubFunc       the store's queries (filters from the hash
//                                    indexes, merge through the identifier map)
//   ..._SQLite                       the same result from SQLite in memory: the
//                                    same tables, indexes on the parent ids, filter
//                                    and merge as one statement prepared once
//                                    (LEFT JOIN plus UNION ALL, ORDER BY); checked
//                                    to give the store's rows for every parent and
//                                    never to be prepared again
//   GetDetailFunc_Walk[_SQLite]      every sub-function once, in order
//   ..._Naive                        the plain procedure: full-scan filters, a
//                                    search from the first row per user row, a
//                                    sort after every row
//   GetDetailFunc_Small              the same query on a 500-function company
//   RegetUnchanged / TwoVersionCalls RegetDataInfo while the versions stay, and the
//                                    two version calls alone; on a fake server and
//                                    on the embedded ERP's middle tier
//   ColdInitialFromCache             a fresh store loading both cache files
//   GetDetailFunc_ErpSynthetic       the query on the ERP's synthetic company
//                                    (erp/demo), loaded through its middle tier
//   ColdInitialFromErp               a first start with no cache files on it
//
// The ratios that matter are printed at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_data_info.h"
#include "erp/client/register_client.h"
#include "erp/demo/synthetic_company.h"
#include "erp/middletier/register_server.h"
#include "erp/storage/database.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/cache_files.h"
#include "store/codes.h"
#include "store/data_info.h"
#include "store/merge.h"
#include "store/queries.h"
#include "synthetic_tree.h"

namespace {

using namespace wayfind;
using platform::DictionaryPtr;
using platform::RecordsetPtr;
using platform::Variant;
using storebench::kFirstSubFunc;

// "ZelWayfind.clsDataInfo" answering from memory: version calls cost next to
// nothing, so the store's own overhead around them shows in full.
class MemoryServer : public erp::api::IServerDataInfo {
 public:
  std::string templateVersion, userVersion;
  DictionaryPtr templ, user;
  std::string GetTemplateVer(const std::string&) override { return templateVersion; }
  DictionaryPtr GetTemplate(const std::string&) override { return templ; }
  std::string GetUserTemplateVer(const std::string&) override { return userVersion; }
  DictionaryPtr GetUserData(const std::string&) override { return user; }
};

struct World {
  std::filesystem::path root;
  std::shared_ptr<MemoryServer> server = std::make_shared<MemoryServer>();
  store::DataInfo large, small;  // the store holding each company
  sqlite3* db = nullptr;
};

World& world() {
  static World w;
  return w;
}

void useStore(const store::DataInfo& snapshot) { store::DataInfo::instance() = snapshot; }

// Sub-function and subsystem ids spread over the company, so no run favours one.
std::vector<int32_t> spread(int first, int count) {
  std::vector<int32_t> ids;
  for (int k = 0; k < 64; ++k) ids.push_back(first + (k * 7919) % count);
  return ids;
}

// ---- reading the answers as a caller does ----

// Every value of every row of a query's answer, read as a caller reads it (by
// field, through the cursor, texts without a copy) and folded into a sum, so
// neither side can skip the work: the store's record set here, SQLite's result
// rows in readSql.
uint64_t readEveryValue(const platform::RecordsetPtr& rs) {
  uint64_t sum = 0;
  const int fields = rs->fieldCount();
  if (rs->RecordCount() == 0) return 0;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
    for (int f = 0; f < fields; ++f) {
      const platform::Cell c = rs->cell(f);
      if (c.type == platform::VarType::String) sum += c.text.size();
      else if (c.isInteger()) sum += static_cast<uint64_t>(c.integer);
    }
    ++sum;
  }
  return sum;
}

// ---- the store ----

void BM_GetDetailFunc(benchmark::State& state) {
  useStore(world().large);
  auto ids = spread(kFirstSubFunc, storebench::kLarge.subFuncs);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += readEveryValue(store::GetDetailFunc(ids[i++ % ids.size()]));
  benchmark::DoNotOptimize(rows);
}

void BM_GetDetailFunc_Small(benchmark::State& state) {
  useStore(world().small);
  auto ids = spread(kFirstSubFunc, storebench::kSmall.subFuncs);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += readEveryValue(store::GetDetailFunc(ids[i++ % ids.size()]));
  benchmark::DoNotOptimize(rows);
}

void BM_GetSubFunc(benchmark::State& state) {
  useStore(world().large);
  auto ids = spread(1, storebench::kLarge.subSystems);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += readEveryValue(store::GetSubFunc(ids[i++ % ids.size()]));
  benchmark::DoNotOptimize(rows);
}

// ---- the plain procedure on the same record sets ----

void naiveTables(bool on) {
  auto& s = store::DataInfo::instance();
  for (auto& rs : {s.templ.DetailFunc, s.user.DetailFunc, s.templ.SubFunc, s.user.SubFunc}) rs->setUseIndexes(!on);
}

void BM_GetDetailFunc_Naive(benchmark::State& state) {
  useStore(world().large);
  naiveTables(true);
  auto& s = store::DataInfo::instance();
  auto ids = spread(kFirstSubFunc, storebench::kLarge.subFuncs);
  size_t i = 0, rows = 0;
  for (auto _ : state) {
    const std::string f = std::to_string(ids[i++ % ids.size()]);
    s.templ.DetailFunc->setFilter("(FSubFuncID =" + f + " And FAcctType ='') Or (FSubFuncID =" + f +
                                  " And FAcctType Like '%,1,%')");
    s.user.DetailFunc->setFilter("FSubFuncID = " + f);
    auto rs = store::MergeUserRowsLiteral("DetailFunc", s.templ.DetailFunc, s.user.DetailFunc, std::stoi(f));
    rs->setFilter("FVisible = 1");
    rows += readEveryValue(rs);
  }
  naiveTables(false);
  benchmark::DoNotOptimize(rows);
}

void BM_GetSubFunc_Naive(benchmark::State& state) {
  useStore(world().large);
  naiveTables(true);
  auto& s = store::DataInfo::instance();
  auto ids = spread(1, storebench::kLarge.subSystems);
  size_t i = 0, rows = 0;
  for (auto _ : state) {
    const std::string id = std::to_string(ids[i++ % ids.size()]);
    s.templ.SubFunc->setFilter("(FSubSysID = " + id + " And Faccttype = '') Or (FSubSysID = " + id +
                               " And FAcctType Like '%,1,%')");
    s.user.SubFunc->setFilter("FSubSysID = " + id);
    auto rs = store::MergeUserRowsLiteral("SubFunc", s.templ.SubFunc, s.user.SubFunc, 0);
    rs->setFilter(" FVisible = 1 ");
    rows += readEveryValue(rs);
  }
  naiveTables(false);
  benchmark::DoNotOptimize(rows);
}

// ---- SQLite in memory ----

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
    std::abort();
  }
}

// The record set's rows as a table; FPos keeps each row's place in storage, the
// order in which the store lists a parent's rows when the user has none there.
void copyTable(sqlite3* db, const std::string& name, const RecordsetPtr& rs, const std::string& key) {
  std::string create = "CREATE TABLE " + name + " (", insert = "INSERT INTO " + name + " VALUES (";
  for (int c = 0; c < rs->fieldCount(); ++c) {
    const auto& f = rs->fieldInfo(c);
    create += (c ? ", " : "") + f.name + (platform::isTextType(f.type) ? " TEXT" : " INTEGER") +
              (f.name == key ? " PRIMARY KEY" : "");
    insert += c ? ", ?" : "?";
  }
  exec(db, create + ", FPos INTEGER)");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, (insert + ", ?)").c_str(), -1, &st, nullptr);
  exec(db, "BEGIN");
  for (size_t r = 0; r < rs->storedRowCount(); ++r) {
    for (int c = 0; c < rs->fieldCount(); ++c) {
      const Variant v = rs->storedValue(r, c);
      if (v.isNull() || v.isEmpty()) sqlite3_bind_null(st, c + 1);
      else if (v.isString()) sqlite3_bind_text(st, c + 1, v.asString().c_str(), -1, SQLITE_TRANSIENT);
      else sqlite3_bind_int64(st, c + 1, v.asLong());
    }
    sqlite3_bind_int64(st, rs->fieldCount() + 1, static_cast<sqlite3_int64>(r));
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  exec(db, "COMMIT");
  sqlite3_finalize(st);
}

void buildSqlite() {
  auto& w = world();
  sqlite3_open(":memory:", &w.db);
  const auto& s = w.large;
  copyTable(w.db, "tdet", s.templ.DetailFunc, "FDetailFuncID");
  copyTable(w.db, "udet", s.user.DetailFunc, "");
  copyTable(w.db, "tsub", s.templ.SubFunc, "FSubFuncID");
  copyTable(w.db, "usub", s.user.SubFunc, "");
  // The parent ids lead each index; the user tables' indexes also carry the row
  // id, so the join to the template finds a user row from the index alone.
  exec(w.db, "CREATE INDEX tdet_parent ON tdet(FSubFuncID); CREATE INDEX udet_parent ON udet(FSubFuncID, FDetailFuncID);"
             "CREATE INDEX tsub_parent ON tsub(FSubSysID); CREATE INDEX usub_parent ON usub(FSubSysID, FSubFuncID);"
             "ANALYZE;");
}

// The merge as SQL: the template rows of the parent for the account type, each
// with the user's row of the same id (LEFT JOIN), plus the user's rows that match
// no such template row (UNION ALL), visible rows only, in the store's order: by
// FIndex and id when the user has rows under the parent, otherwise the
// template's storage order (the merge sorts only when it merged something). The
// two sort keys come last and are not part of the result.
//
// The account-type pattern is part of the text, not a bound parameter: a LIKE
// whose pattern is bound makes SQLite prepare the statement again at every new
// binding, and the statement is meant to be prepared once. The benchmark checks
// SQLITE_STMTSTATUS_REPREPARE.
std::string detailSql(int32_t acctCode, int32_t showNameSize) {
  const std::string acct = "(t.FAcctType = '' OR t.FAcctType LIKE '%," + std::to_string(acctCode) + ",%')";
  const std::string show = std::to_string(showNameSize);
  return R"(
SELECT t.FDetailFuncID,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FSubFuncID ELSE u.FSubFuncID END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END,
       t.FFuncName_en, t.FFuncName_cht,
       CASE WHEN t.FShowName IS NULL AND u.FDetailFuncID IS NOT NULL THEN substr(u.FFuncName, 1, )" + show + R"()
            ELSE t.FShowName END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FHelpCode ELSE u.FHelpCode END,
       t.FHelpCode1, t.FAcctType,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FIndex ELSE u.FIndex END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FVisible ELSE u.FVisible END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FEnable ELSE u.FEnable END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncType ELSE COALESCE(t.FFuncType, -1) END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassName ELSE t.FClassName END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassParam ELSE t.FClassParam END,
       CASE WHEN h.merged THEN CASE WHEN u.FDetailFuncID IS NULL THEN t.FIndex ELSE u.FIndex END END,
       CASE WHEN h.merged THEN t.FDetailFuncID ELSE t.FPos END
FROM (SELECT EXISTS (SELECT 1 FROM udet WHERE FSubFuncID = ?1) AS merged) h, tdet t LEFT JOIN udet u ON u.FSubFuncID = ?1 AND u.FDetailFuncID = t.FDetailFuncID
WHERE t.FSubFuncID = ?1 AND )" + acct + R"(
  AND CASE WHEN u.FDetailFuncID IS NULL THEN t.FVisible ELSE u.FVisible END = 1
UNION ALL
SELECT u.FDetailFuncID, u.FSubFuncID, u.FFuncName, NULL, NULL, substr(u.FFuncName, 1, )" + show + R"(),
       u.FHelpCode, NULL, NULL, u.FIndex, u.FVisible, u.FEnable, -1,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassName END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassParam END, u.FIndex, u.FDetailFuncID
FROM udet u
WHERE u.FSubFuncID = ?1 AND u.FVisible = 1
  AND NOT EXISTS (SELECT 1 FROM tdet t WHERE t.FDetailFuncID = u.FDetailFuncID AND t.FSubFuncID = ?1 AND )" +
         acct + R"()
ORDER BY 16, 17)";
}

std::string subFuncSql(int32_t acctCode) {
  const std::string acct = "(t.FAcctType = '' OR t.FAcctType LIKE '%," + std::to_string(acctCode) + ",%')";
  return R"(
SELECT t.FSubFuncID,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FSubSysID ELSE u.FSubSysID END,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END,
       t.FAcctType,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FIndex ELSE u.FIndex END,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FVisible ELSE u.FVisible END,
       t.FRefresh, t.FSetEnable, t.FClassName, t.FClassParam,
       CASE WHEN h.merged THEN CASE WHEN u.FSubFuncID IS NULL THEN t.FIndex ELSE u.FIndex END END,
       CASE WHEN h.merged THEN t.FSubFuncID ELSE t.FPos END
FROM (SELECT EXISTS (SELECT 1 FROM usub WHERE FSubSysID = ?1) AS merged) h, tsub t LEFT JOIN usub u ON u.FSubSysID = ?1 AND u.FSubFuncID = t.FSubFuncID
WHERE t.FSubSysID = ?1 AND )" + acct + R"(
  AND CASE WHEN u.FSubFuncID IS NULL THEN t.FVisible ELSE u.FVisible END = 1
UNION ALL
SELECT u.FSubFuncID, u.FSubSysID, u.FFuncName, NULL, u.FIndex, u.FVisible, NULL, NULL, NULL, NULL,
       u.FIndex, u.FSubFuncID
FROM usub u
WHERE u.FSubSysID = ?1 AND u.FVisible = 1
  AND NOT EXISTS (SELECT 1 FROM tsub t WHERE t.FSubFuncID = u.FSubFuncID AND t.FSubSysID = ?1 AND )" + acct + R"()
ORDER BY 11, 12)";
}

// The two statements, prepared once for the whole run.
struct Statements {
  sqlite3_stmt* detail = nullptr;
  sqlite3_stmt* subFunc = nullptr;
};

Statements& statements() {
  static Statements s;
  return s;
}

sqlite3_stmt* prepare(const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(world().db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(world().db));
    std::abort();
  }
  return st;
}

// The plan SQLite chose, printed so a reader can see the indexes at work.
void printPlan(const std::string& sql, const char* what) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(world().db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr) != SQLITE_OK) return;
  sqlite3_bind_int(st, 1, kFirstSubFunc);
  std::printf("SQLite's plan for %s:\n", what);
  while (sqlite3_step(st) == SQLITE_ROW)
    std::printf("  %s\n", reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
  sqlite3_finalize(st);
}

// A run that made SQLite prepare a statement again would measure the preparing.
void requireNoReprepare(sqlite3_stmt* st, const char* what) {
  const int n = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (n != 0) {
    std::fprintf(stderr, "sqlite prepared the %s statement again %d times\n", what, n);
    std::abort();
  }
}

using SqlRows = std::vector<std::vector<Variant>>;

// The rows of one run, materialised as Variants, as a record set holds values
// for its caller.
size_t runSql(sqlite3_stmt* st, int32_t parent, SqlRows* keep = nullptr) {
  sqlite3_bind_int(st, 1, parent);
  SqlRows rows;
  const int columns = sqlite3_column_count(st) - 2;  // the two sort keys stay out
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: row.emplace_back(static_cast<int32_t>(sqlite3_column_int(st, c))); break;
        case SQLITE_NULL: row.push_back(Variant::null()); break;
        default:
          row.emplace_back(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                            static_cast<size_t>(sqlite3_column_bytes(st, c))));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_reset(st);
  const size_t n = rows.size();
  if (keep) *keep = std::move(rows);
  return n;
}

bool sameValue(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isString() || b.isString()) return a.isString() && b.isString() && a.asString() == b.asString();
  return platform::CDbl(a) == platform::CDbl(b);
}

// Every parent's result from SQLite equals the store's, row by row and field
// by field, or the benchmark stops: a baseline that answers something else is
// no baseline.
void checkSameResults(sqlite3_stmt* st, const char* what, int32_t first, int count,
                      RecordsetPtr (*query)(int32_t)) {
  useStore(world().large);
  size_t rowsSeen = 0;
  for (int32_t id = first; id < first + count; ++id) {
    SqlRows sql;
    runSql(st, id, &sql);
    RecordsetPtr rs = query(id);
    bool same = static_cast<size_t>(rs->RecordCount()) == sql.size();
    size_t r = 0;
    for (rs->MoveFirst(); same && !rs->isEOF(); rs->MoveNext(), ++r) {
      if (static_cast<int>(sql[r].size()) != rs->fieldCount()) same = false;
      for (int c = 0; same && c < rs->fieldCount(); ++c) same = sameValue(rs->value(c), sql[r][static_cast<size_t>(c)]);
    }
    if (!same) {
      std::fprintf(stderr, "SQLite's %s for %d differs from the store's\nstore:\n", what, id);
      for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        for (int c = 0; c < rs->fieldCount(); ++c) std::fprintf(stderr, " %s", rs->value(c).debugString().c_str());
        std::fprintf(stderr, "\n");
      }
      std::fprintf(stderr, "SQLite:\n");
      for (const auto& row : sql) {
        for (const auto& v : row) std::fprintf(stderr, " %s", v.debugString().c_str());
        std::fprintf(stderr, "\n");
      }
      std::abort();
    }
    rowsSeen += sql.size();
  }
  requireNoReprepare(st, what);
  std::printf("SQLite's %s equals the store's for all %d parents (%zu rows)\n", what, count, rowsSeen);
}

void prepareSqlite() {
  auto& st = statements();
  useStore(world().large);
  const int32_t acct = store::GetAcctTypeCode();
  const auto& det = *world().large.templ.DetailFunc;
  const std::string detail = detailSql(acct, det.fieldInfo(det.requireField("FShowName")).definedSize);
  printPlan(detail, "GetDetailFunc");
  st.detail = prepare(detail);
  st.subFunc = prepare(subFuncSql(acct));
  checkSameResults(st.detail, "GetDetailFunc", kFirstSubFunc, storebench::kLarge.subFuncs, store::GetDetailFunc);
  checkSameResults(st.subFunc, "GetSubFunc", 1, storebench::kLarge.subSystems, store::GetSubFunc);
}

// One run of a prepared statement with every value read as a caller would, at
// SQLite's best: integers and texts straight from the result row, no copy.
uint64_t readSql(sqlite3_stmt* st, int32_t parent) {
  sqlite3_bind_int(st, 1, parent);
  uint64_t sum = 0;
  const int columns = sqlite3_column_count(st) - 2;  // the two sort keys stay out
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: sum += static_cast<uint64_t>(sqlite3_column_int(st, c)); break;
        case SQLITE_NULL: break;
        default:
          sqlite3_column_text(st, c);
          sum += static_cast<uint64_t>(sqlite3_column_bytes(st, c));
      }
    }
    ++sum;
  }
  sqlite3_reset(st);
  return sum;
}

void runSqlBench(benchmark::State& state, sqlite3_stmt* st, std::vector<int32_t> ids) {
  size_t i = 0;
  uint64_t rows = 0;
  for (auto _ : state) rows += readSql(st, ids[i++ % ids.size()]);
  requireNoReprepare(st, "benchmarked");
  benchmark::DoNotOptimize(rows);
}

void BM_GetDetailFunc_SQLite(benchmark::State& state) {
  runSqlBench(state, statements().detail, spread(kFirstSubFunc, storebench::kLarge.subFuncs));
}
void BM_GetSubFunc_SQLite(benchmark::State& state) {
  runSqlBench(state, statements().subFunc, spread(1, storebench::kLarge.subSystems));
}

// ---- every sub-function once ----

// One iteration visits all 5,000 sub-functions in order: every query is for a
// parent the previous 4,999 did not ask for, so nothing answers from a cache of
// recent filter texts.
void BM_GetDetailFunc_Walk(benchmark::State& state) {
  useStore(world().large);
  size_t rows = 0;
  for (auto _ : state)
    for (int32_t id = kFirstSubFunc; id < kFirstSubFunc + storebench::kLarge.subFuncs; ++id)
      rows += readEveryValue(store::GetDetailFunc(id));
  state.counters["us_per_query"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * storebench::kLarge.subFuncs,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
  benchmark::DoNotOptimize(rows);
}

void BM_GetDetailFunc_Walk_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = statements().detail;
  size_t rows = 0;
  for (auto _ : state)
    for (int32_t id = kFirstSubFunc; id < kFirstSubFunc + storebench::kLarge.subFuncs; ++id) rows += readSql(st, id);
  requireNoReprepare(st, "walked");
  benchmark::DoNotOptimize(rows);
}

// ---- RegetDataInfo with unchanged versions ----

void twoVersionCalls() {
  const std::string props = context::PropsString();
  auto& registry = platform::Registry::instance();
  auto a = registry.createAs<erp::api::IServerDataInfo>(erp::progid::kServerDataInfo)->GetTemplateVer(props);
  auto b = registry.createAs<erp::api::IServerDataInfo>(erp::progid::kServerDataInfo)->GetUserTemplateVer(props);
  benchmark::DoNotOptimize(a);
  benchmark::DoNotOptimize(b);
}

void BM_RegetUnchanged(benchmark::State& state) {
  useStore(world().large);
  for (auto _ : state) store::Initial();
}

void BM_TwoVersionCalls(benchmark::State& state) {
  for (auto _ : state) twoVersionCalls();
}

// The same two on the middle tier over SQLite (the demo company's database).
void BM_RegetUnchanged_Erp(benchmark::State& state) {
  auto saved = platform::Registry::instance().entry(erp::progid::kServerDataInfo);
  erp::middletier::registerServerComponents();
  store::DataInfo::instance().reset();
  store::Initial();  // the demo company, loaded once outside the timing
  for (auto _ : state) store::Initial();
  platform::Registry::instance().add(erp::progid::kServerDataInfo, saved->factory);
}

void BM_TwoVersionCalls_Erp(benchmark::State& state) {
  auto saved = platform::Registry::instance().entry(erp::progid::kServerDataInfo);
  erp::middletier::registerServerComponents();
  for (auto _ : state) twoVersionCalls();
  platform::Registry::instance().add(erp::progid::kServerDataInfo, saved->factory);
}

// ---- the ERP's own synthetic company, through its middle tier ----

// One user holding all 5,000 user rows, on a database of its own.
std::filesystem::path syntheticDatabase() {
  static std::filesystem::path path = [] {
    auto p = world().root / "synthetic.db";
    erp::demo::SyntheticCompanySpec spec;
    spec.users = 1;
    spec.userRows = 5000;
    erp::demo::createSyntheticDatabase(p, spec);
    return p;
  }();
  return path;
}

// Runs body with the middle tier on the synthetic database and the store loaded
// from it, then puts the memory server and the large store back.
template <class Body>
void onSyntheticErp(Body body) {
  auto saved = platform::Registry::instance().entry(erp::progid::kServerDataInfo);
  const auto database = erp::storage::CurrentDatabase::path();
  erp::storage::CurrentDatabase::set(syntheticDatabase());
  erp::middletier::registerServerComponents();
  erp::client::publishLogin(erp::client::makeLogin(16384, "Administrator", "Industry", "synthetic"));
  body();
  erp::client::publishLogin(erp::client::makeLogin(16394, "王芳", "Industry", "bench"));
  erp::storage::CurrentDatabase::set(database);
  platform::Registry::instance().add(erp::progid::kServerDataInfo, saved->factory);
  useStore(world().large);
}

void BM_GetDetailFunc_ErpSynthetic(benchmark::State& state) {
  onSyntheticErp([&] {
    store::DataInfo::instance().reset();
    store::Initial();
    std::vector<int32_t> ids;
    auto sub = store::DataInfo::instance().templ.SubFunc;
    sub->setFilter("");
    for (int k = 0; k < 64 && sub->RecordCount() > 0; ++k) {
      sub->setAbsolutePosition(1 + (k * 7919) % sub->RecordCount());
      ids.push_back(platform::CLng(sub->value("FSubFuncID")));
    }
    size_t i = 0, rows = 0;
    for (auto _ : state) rows += readEveryValue(store::GetDetailFunc(ids[i++ % ids.size()]));
    benchmark::DoNotOptimize(rows);
  });
}

// A first start with no cache files: both dictionaries from the middle tier.
void BM_ColdInitialFromErp(benchmark::State& state) {
  onSyntheticErp([&] {
    for (auto _ : state) {
      state.PauseTiming();
      store::DataInfo::instance().reset();
      std::error_code ec;
      std::filesystem::remove_all(world().root / "cache", ec);
      state.ResumeTiming();
      store::Initial();
    }
  });
}

// ---- a fresh process reading its cache files ----

void BM_ColdInitialFromCache(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    store::DataInfo::instance().reset();
    state.ResumeTiming();
    store::Initial();
  }
  useStore(world().large);
}

BENCHMARK(BM_GetDetailFunc);
BENCHMARK(BM_GetDetailFunc_Small);
BENCHMARK(BM_GetDetailFunc_SQLite);
BENCHMARK(BM_GetDetailFunc_Naive);
BENCHMARK(BM_GetDetailFunc_Walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDetailFunc_Walk_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSubFunc);
BENCHMARK(BM_GetSubFunc_SQLite);
BENCHMARK(BM_GetSubFunc_Naive);
BENCHMARK(BM_RegetUnchanged);
BENCHMARK(BM_TwoVersionCalls);
BENCHMARK(BM_RegetUnchanged_Erp);
BENCHMARK(BM_TwoVersionCalls_Erp);
BENCHMARK(BM_ColdInitialFromCache)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GetDetailFunc_ErpSynthetic);
BENCHMARK(BM_ColdInitialFromErp)->Unit(benchmark::kMillisecond)->Iterations(3);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double t(const std::string& name) const {
    auto it = times.find(name);
    return it == times.end() ? 0 : it->second;
  }
  std::map<std::string, double> times;
};

void ratio(const RatioReporter& r, const char* label, const char* a, const char* b, const char* target) {
  const double x = r.t(a), y = r.t(b);
  if (x <= 0 || y <= 0) return;
  std::printf("%-46s %8.2f   (target %s)\n", label, x / y, target);
}

// Loads one company through the store (from the memory server, writing the cache
// files) and keeps the loaded store.
store::DataInfo loadCompany(const storebench::TreeSize& size, const std::string& tag) {
  auto& w = world();
  w.server->templateVersion = "T-" + tag;
  w.server->userVersion = "U-" + tag;
  w.server->templ = storebench::makeTemplate(size, w.server->templateVersion);
  w.server->user = storebench::makeUserData(size, w.server->userVersion);
  store::DataInfo::instance().reset();
  store::Initial();
  return store::DataInfo::instance();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  auto& w = world();
  char pattern[] = "/tmp/wayfind-store-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  w.root = pattern;
  erp::storage::CurrentDatabase::set(w.root / "wayfind.db");
  erp::client::registerClientComponents();
  erp::client::publishLogin(erp::client::makeLogin(16394, "王芳", "Industry", "bench"));
  store::SetCacheFolder((w.root / "cache").string());
  platform::Registry::instance().add(erp::progid::kServerDataInfo, platform::sharedFactory(w.server));

  w.small = loadCompany(storebench::kSmall, "small");
  w.large = loadCompany(storebench::kLarge, "large");  // last: its cache files stay in use
  buildSqlite();
  prepareSqlite();

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  ratio(reporter, "GetDetailFunc: SQLite / store", "BM_GetDetailFunc_SQLite", "BM_GetDetailFunc", ">= 2");
  ratio(reporter, "GetDetailFunc walk: SQLite / store", "BM_GetDetailFunc_Walk_SQLite", "BM_GetDetailFunc_Walk",
        ">= 2");
  ratio(reporter, "GetDetailFunc: naive / store", "BM_GetDetailFunc_Naive", "BM_GetDetailFunc", ">= 20");
  ratio(reporter, "GetDetailFunc: 50,000 rows / 500 rows", "BM_GetDetailFunc", "BM_GetDetailFunc_Small", "<= 2");
  ratio(reporter, "GetSubFunc: SQLite / store", "BM_GetSubFunc_SQLite", "BM_GetSubFunc", "> 1");
  ratio(reporter, "GetSubFunc: naive / store", "BM_GetSubFunc_Naive", "BM_GetSubFunc", "-");
  ratio(reporter, "RegetDataInfo / two version calls (memory)", "BM_RegetUnchanged", "BM_TwoVersionCalls", "<= 1.5");
  ratio(reporter, "RegetDataInfo / two version calls (ERP)", "BM_RegetUnchanged_Erp", "BM_TwoVersionCalls_Erp",
        "<= 1.5");
  sqlite3_finalize(statements().detail);
  sqlite3_finalize(statements().subFunc);
  sqlite3_close(w.db);
  std::error_code ec;
  std::filesystem::remove_all(w.root, ec);
  benchmark::Shutdown();
  return 0;
}
