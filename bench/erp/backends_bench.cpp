// The ERP's two back ends side by side, on the demo company: the round trip of
// the two version calls (what a client asks before every use of its cache) and
// of GetUserData (what it fetches when the version moved), and the changes per
// second that 1, 4 and 16 client processes achieve together. Ratios are
// PostgreSQL against SQLite, measured in the same run.
//
//   WAYFIND_BENCH_PG=postgresql:///postgres?host=/tmp/x&user=postgres bench_erp_backends
//
// WAYFIND_BENCH_PG names a server as a role that may create databases; the
// benchmark makes a database of its own there and drops it afterwards. Without
// it only SQLite is measured.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "erp/demo/demo_company.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/server_data_info.h"
#include "erp/storage/database.h"

using namespace wayfind;

namespace {

struct World {
  std::filesystem::path folder;
  std::filesystem::path sqlite;
  std::string server;  // empty: no PostgreSQL
  std::string serverAdmin;
  std::string serverDb;
};

World& world() {
  static World w;
  return w;
}

std::string props(int32_t user) { return "UserID=" + std::to_string(user) + ";Language=chs"; }

const std::filesystem::path& location(int backend) {
  static std::filesystem::path pg;
  if (backend == 0) return world().sqlite;
  pg = world().server;
  return pg;
}

bool available(benchmark::State& state, int backend) {
  if (backend == 1 && world().server.empty()) {
    state.SkipWithError("WAYFIND_BENCH_PG is not set");
    return false;
  }
  return true;
}

void BM_TwoVersionCalls(benchmark::State& state) {
  const int backend = static_cast<int>(state.range(0));
  if (!available(state, backend)) return;
  erp::middletier::ServerDataInfo info(location(backend));
  const std::string p = props(16385);
  for (auto _ : state) {
    benchmark::DoNotOptimize(info.GetTemplateVer(p));
    benchmark::DoNotOptimize(info.GetUserTemplateVer(p));
  }
}

void BM_GetUserData(benchmark::State& state) {
  const int backend = static_cast<int>(state.range(0));
  if (!available(state, backend)) return;
  erp::middletier::ServerDataInfo info(location(backend));
  const std::string p = props(16385);
  for (auto _ : state) benchmark::DoNotOptimize(info.GetUserData(p));
}

// clients processes, each renaming sub-functions of one of the four active demo
// users in turn; the figure is the changes all of them finish per second.
void BM_Changes(benchmark::State& state) {
  const int backend = static_cast<int>(state.range(0));
  const int clients = static_cast<int>(state.range(1));
  if (!available(state, backend)) return;
  constexpr int kChangesPerClient = 150;  // each; 2,400 in all with 16 clients
  double total = 0;
  int failed = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int c = 0; c < clients; ++c) {
      const pid_t pid = fork();
      if (pid == 0) {
        int code = 0;
        try {
          erp::middletier::ServerDatasUpdate up(location(backend));
          const std::string p = props(16384 + c % 4);
          for (int i = 0; i < kChangesPerClient; ++i) {
            int32_t id = 10101;
            std::string name = "改名" + std::to_string(c) + "_" + std::to_string(i);
            up.UpdateSubSysFuncName(p, id, name);
          }
        } catch (const std::exception& e) {
          std::fprintf(stderr, "client %d: %s\n", c, e.what());
          code = 1;
        }
        _exit(code);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += clients * kChangesPerClient / seconds;
  }
  if (failed) state.SkipWithError("a client failed");
  state.counters["changes_per_s"] = total / static_cast<double>(state.iterations());
}

BENCHMARK(BM_TwoVersionCalls)->ArgName("pg")->Arg(0)->Arg(1);
BENCHMARK(BM_GetUserData)->ArgName("pg")->Arg(0)->Arg(1);
BENCHMARK(BM_Changes)
    ->ArgNames({"pg", "clients"})
    ->ArgsProduct({{0, 1}, {1, 4, 16}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the medians stand for their runs.
    for (const auto& r : runs) {
      if (r.error_occurred) continue;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      const std::string name = r.run_name.str();
      times[name] = r.GetAdjustedRealTime();
      if (auto it = r.counters.find("changes_per_s"); it != r.counters.end()) rates[name] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times, rates;
};

void printRatio(const RatioReporter& r, const char* what, const std::string& pg, const std::string& lite) {
  auto a = r.times.find(pg), b = r.times.find(lite);
  if (a == r.times.end() || b == r.times.end()) return;
  std::printf("%-40s PostgreSQL / SQLite = %.2f\n", what, a->second / b->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  auto& w = world();
  char pattern[] = "/tmp/wayfind-erp-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  w.folder = pattern;
  w.sqlite = w.folder / "wayfind.db";
  erp::storage::CurrentDatabase::setDemoSeeder(&erp::demo::loadDemoCompany);
  erp::storage::prepareDatabase(w.sqlite, erp::storage::Seed::Demo);
  if (const char* env = std::getenv("WAYFIND_BENCH_PG"); env && *env) {
    w.serverAdmin = env;
    w.serverDb = "wayfind_bench_" + std::to_string(getpid());
    auto admin = erp::storage::Connection::open(w.serverAdmin);
    admin->exec("CREATE DATABASE " + w.serverDb + " TEMPLATE template0 ENCODING 'UTF8'");  // our own name
    // The same URI with the benchmark's database in place of the one given.
    const auto slash = w.serverAdmin.find('/', w.serverAdmin.find("://") + 3);
    const auto query = w.serverAdmin.find('?', slash);
    w.server = w.serverAdmin.substr(0, slash) + "/" + w.serverDb +
               (query == std::string::npos ? std::string() : w.serverAdmin.substr(query));
    erp::storage::prepareDatabase(w.server, erp::storage::Seed::Demo);
  }

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  printRatio(reporter, "two version calls", "BM_TwoVersionCalls/pg:1", "BM_TwoVersionCalls/pg:0");
  printRatio(reporter, "GetUserData", "BM_GetUserData/pg:1", "BM_GetUserData/pg:0");
  for (const auto& [name, rate] : reporter.rates) std::printf("%-40s %.0f changes/s\n", name.c_str(), rate);

  erp::storage::releaseThreadConnections();
  if (!w.serverDb.empty()) {
    auto admin = erp::storage::Connection::open(w.serverAdmin);
    admin->exec("DROP DATABASE IF EXISTS " + w.serverDb + " WITH (FORCE)");
  }
  std::error_code ec;
  std::filesystem::remove_all(w.folder, ec);
  benchmark::Shutdown();
  return 0;
}
