// The navigation store on a synthetic company of 50,000 detail functions, 5,000
// sub-functions and 5,000 user rows, against baselines measured in the same run:
//
//   GetDetailFunc / GetSubFunc       the store's queries (filters from the hash
//                                    indexes, merge through the identifier map)
//   ..._SQLite                       the same result from SQLite in memory: the
//                                    same tables, indexes on the parent ids, filter
//                                    and merge as one SQL query with ORDER BY
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

// ---- the store ----

void BM_GetDetailFunc(benchmark::State& state) {
  useStore(world().large);
  auto ids = spread(kFirstSubFunc, storebench::kLarge.subFuncs);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += static_cast<size_t>(store::GetDetailFunc(ids[i++ % ids.size()])->RecordCount());
  benchmark::DoNotOptimize(rows);
}

void BM_GetDetailFunc_Small(benchmark::State& state) {
  useStore(world().small);
  auto ids = spread(kFirstSubFunc, storebench::kSmall.subFuncs);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += static_cast<size_t>(store::GetDetailFunc(ids[i++ % ids.size()])->RecordCount());
  benchmark::DoNotOptimize(rows);
}

void BM_GetSubFunc(benchmark::State& state) {
  useStore(world().large);
  auto ids = spread(1, storebench::kLarge.subSystems);
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += static_cast<size_t>(store::GetSubFunc(ids[i++ % ids.size()])->RecordCount());
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
    rows += static_cast<size_t>(rs->RecordCount());
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
    rows += static_cast<size_t>(rs->RecordCount());
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

void copyTable(sqlite3* db, const std::string& name, const RecordsetPtr& rs, const std::string& key) {
  std::string create = "CREATE TABLE " + name + " (", insert = "INSERT INTO " + name + " VALUES (";
  for (int c = 0; c < rs->fieldCount(); ++c) {
    const auto& f = rs->fieldInfo(c);
    create += (c ? ", " : "") + f.name + (platform::isTextType(f.type) ? " TEXT" : " INTEGER") +
              (f.name == key ? " PRIMARY KEY" : "");
    insert += c ? ", ?" : "?";
  }
  exec(db, create + ")");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr);
  exec(db, "BEGIN");
  for (size_t r = 0; r < rs->storedRowCount(); ++r) {
    for (int c = 0; c < rs->fieldCount(); ++c) {
      const Variant& v = rs->storedValue(r, c);
      if (v.isNull() || v.isEmpty()) sqlite3_bind_null(st, c + 1);
      else if (v.isString()) sqlite3_bind_text(st, c + 1, v.asString().c_str(), -1, SQLITE_TRANSIENT);
      else sqlite3_bind_int64(st, c + 1, v.asLong());
    }
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
  exec(w.db, "CREATE INDEX tdet_parent ON tdet(FSubFuncID); CREATE INDEX udet_parent ON udet(FSubFuncID);"
             "CREATE INDEX tsub_parent ON tsub(FSubSysID); CREATE INDEX usub_parent ON usub(FSubSysID);"
             "ANALYZE;");
}

const char* kDetailSql = R"(
WITH t AS (SELECT * FROM tdet WHERE FSubFuncID = ?1 AND (FAcctType = '' OR FAcctType LIKE ?2)),
     u AS (SELECT * FROM udet WHERE FSubFuncID = ?1),
     m AS (
  SELECT t.FDetailFuncID AS FDetailFuncID,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FSubFuncID ELSE u.FSubFuncID END AS FSubFuncID,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END AS FFuncName,
         t.FFuncName_en, t.FFuncName_cht,
         CASE WHEN t.FShowName IS NULL AND u.FDetailFuncID IS NOT NULL THEN substr(u.FFuncName, 1, 80)
              ELSE t.FShowName END AS FShowName,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FHelpCode ELSE u.FHelpCode END AS FHelpCode,
         t.FHelpCode1, t.FAcctType,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FIndex ELSE u.FIndex END AS FIndex,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FVisible ELSE u.FVisible END AS FVisible,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FEnable ELSE u.FEnable END AS FEnable,
         CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncType ELSE COALESCE(t.FFuncType, -1) END AS FFuncType,
         CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassName ELSE t.FClassName END AS FClassName,
         CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassParam ELSE t.FClassParam END AS FClassParam
  FROM t LEFT JOIN u ON u.FDetailFuncID = t.FDetailFuncID
  UNION ALL
  SELECT u.FDetailFuncID, u.FSubFuncID, u.FFuncName, NULL, NULL, substr(u.FFuncName, 1, 80), u.FHelpCode,
         NULL, NULL, u.FIndex, u.FVisible, u.FEnable, -1, u.FClassName, u.FClassParam
  FROM u WHERE u.FDetailFuncID NOT IN (SELECT FDetailFuncID FROM t))
SELECT * FROM m WHERE FVisible = 1 ORDER BY FIndex, FDetailFuncID)";

const char* kSubFuncSql = R"(
WITH t AS (SELECT * FROM tsub WHERE FSubSysID = ?1 AND (FAcctType = '' OR FAcctType LIKE ?2)),
     u AS (SELECT * FROM usub WHERE FSubSysID = ?1),
     m AS (
  SELECT t.FSubFuncID AS FSubFuncID,
         CASE WHEN u.FSubFuncID IS NULL THEN t.FSubSysID ELSE u.FSubSysID END AS FSubSysID,
         CASE WHEN u.FSubFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END AS FFuncName,
         t.FAcctType,
         CASE WHEN u.FSubFuncID IS NULL THEN t.FIndex ELSE u.FIndex END AS FIndex,
         CASE WHEN u.FSubFuncID IS NULL THEN t.FVisible ELSE u.FVisible END AS FVisible,
         t.FRefresh, t.FSetEnable, t.FClassName, t.FClassParam
  FROM t LEFT JOIN u ON u.FSubFuncID = t.FSubFuncID
  UNION ALL
  SELECT u.FSubFuncID, u.FSubSysID, u.FFuncName, NULL, u.FIndex, u.FVisible, NULL, NULL, NULL, NULL
  FROM u WHERE u.FSubFuncID NOT IN (SELECT FSubFuncID FROM t))
SELECT * FROM m WHERE FVisible = 1 ORDER BY FIndex, FSubFuncID)";

// The rows of one run, materialised as the store's result is.
size_t runSql(sqlite3_stmt* st, int32_t parent) {
  sqlite3_bind_int(st, 1, parent);
  sqlite3_bind_text(st, 2, "%,1,%", -1, SQLITE_STATIC);
  std::vector<std::vector<Variant>> rows;
  const int columns = sqlite3_column_count(st);
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: row.emplace_back(static_cast<int32_t>(sqlite3_column_int(st, c))); break;
        case SQLITE_NULL: row.push_back(Variant::null()); break;
        default: row.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_reset(st);
  return rows.size();
}

void runSqlBench(benchmark::State& state, const char* sql, std::vector<int32_t> ids) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(world().db, sql, -1, &st, nullptr) != SQLITE_OK) {
    state.SkipWithError(sqlite3_errmsg(world().db));
    return;
  }
  size_t i = 0, rows = 0;
  for (auto _ : state) rows += runSql(st, ids[i++ % ids.size()]);
  sqlite3_finalize(st);
  benchmark::DoNotOptimize(rows);
}

void BM_GetDetailFunc_SQLite(benchmark::State& state) {
  runSqlBench(state, kDetailSql, spread(kFirstSubFunc, storebench::kLarge.subFuncs));
}
void BM_GetSubFunc_SQLite(benchmark::State& state) {
  runSqlBench(state, kSubFuncSql, spread(1, storebench::kLarge.subSystems));
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
    for (auto _ : state) rows += static_cast<size_t>(store::GetDetailFunc(ids[i++ % ids.size()])->RecordCount());
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

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  ratio(reporter, "GetDetailFunc: SQLite / store", "BM_GetDetailFunc_SQLite", "BM_GetDetailFunc", "> 1");
  ratio(reporter, "GetDetailFunc: naive / store", "BM_GetDetailFunc_Naive", "BM_GetDetailFunc", ">= 20");
  ratio(reporter, "GetDetailFunc: 50,000 rows / 500 rows", "BM_GetDetailFunc", "BM_GetDetailFunc_Small", "<= 2");
  ratio(reporter, "GetSubFunc: SQLite / store", "BM_GetSubFunc_SQLite", "BM_GetSubFunc", "> 1");
  ratio(reporter, "GetSubFunc: naive / store", "BM_GetSubFunc_Naive", "BM_GetSubFunc", "-");
  ratio(reporter, "RegetDataInfo / two version calls (memory)", "BM_RegetUnchanged", "BM_TwoVersionCalls", "<= 1.5");
  ratio(reporter, "RegetDataInfo / two version calls (ERP)", "BM_RegetUnchanged_Erp", "BM_TwoVersionCalls_Erp",
        "<= 1.5");
  sqlite3_close(w.db);
  std::error_code ec;
  std::filesystem::remove_all(w.root, ec);
  benchmark::Shutdown();
  return 0;
}
