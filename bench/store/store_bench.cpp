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
#include "bench_world.h"
#include "synthetic_tree.h"

namespace {

using namespace wayfind;
using namespace wayfind::storebench;
using platform::DictionaryPtr;
using platform::RecordsetPtr;
using platform::Variant;
using storebench::kFirstSubFunc;


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
