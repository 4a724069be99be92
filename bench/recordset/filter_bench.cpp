// Identifier filters on a 100,000-row detail-function table, answered from the
// hash index against a full evaluation of every row (the baseline, measured in
// the same run on the same table). Prints the ratio of the two for the plain
// identifier filter, the account-type OR-of-ANDs text and Find.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/recordset/recordset.h"

namespace {

using namespace wayfind::platform;

constexpr int kRows = 100000;
constexpr int kRowsPerParent = 8;

RecordsetPtr makeDetailFuncTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FDetailFuncID", DataType::Integer);
  rs->appendField("FSubFuncID", DataType::Integer);
  rs->appendField("FFuncName", DataType::VarWChar, 80);
  rs->appendField("FAcctType", DataType::VarWChar, 255);
  rs->appendField("FIndex", DataType::Integer);
  rs->appendField("FVisible", DataType::SmallInt);
  rs->open();
  const char* accts[] = {"", ",1,", ",11,", ",1,3,", ",12,"};
  for (int i = 0; i < kRows; ++i) {
    rs->appendStoredRow({1000000 + i, i / kRowsPerParent, "功能" + std::to_string(i), accts[i % 5],
                         i % 17, i % 4 == 0 ? 0 : 1});
  }
  return rs;
}

Recordset& table() {
  static RecordsetPtr rs = makeDetailFuncTable();
  return *rs;
}

// A spread of parents across the table, so no run benefits from one hot row.
std::vector<int> parents() {
  std::vector<int> ids;
  for (int k = 0; k < 64; ++k) ids.push_back((k * 7919) % (kRows / kRowsPerParent));
  return ids;
}

std::vector<std::string> identifierTexts() {
  std::vector<std::string> texts;
  for (int p : parents()) texts.push_back("FSubFuncID = " + std::to_string(p));
  return texts;
}

std::vector<std::string> accountTexts() {
  std::vector<std::string> texts;
  for (int p : parents()) {
    std::string f = std::to_string(p);
    texts.push_back("(FSubFuncID =" + f + " And FAcctType ='') Or (FSubFuncID =" + f +
                    " And FAcctType Like '%,1,%')");
  }
  return texts;
}

void runFilters(benchmark::State& state, const std::vector<std::string>& texts, bool indexed) {
  Recordset& rs = table();
  rs.setUseIndexes(indexed);
  size_t i = 0, rows = 0;
  for (auto _ : state) {
    rs.setFilter(texts[i++ % texts.size()]);
    rows += static_cast<size_t>(rs.RecordCount());
  }
  benchmark::DoNotOptimize(rows);
  rs.setFilter("");
  rs.setUseIndexes(true);
}

void BM_IdentifierFilterIndexed(benchmark::State& s) { runFilters(s, identifierTexts(), true); }
void BM_IdentifierFilterFull(benchmark::State& s) { runFilters(s, identifierTexts(), false); }
void BM_AccountFilterIndexed(benchmark::State& s) { runFilters(s, accountTexts(), true); }
void BM_AccountFilterFull(benchmark::State& s) { runFilters(s, accountTexts(), false); }

void runFind(benchmark::State& state, bool indexed) {
  Recordset& rs = table();
  rs.setUseIndexes(indexed);
  std::vector<std::string> texts;
  for (int p : parents()) texts.push_back("FDetailFuncID=" + std::to_string(1000000 + p * kRowsPerParent));
  size_t i = 0, found = 0;
  for (auto _ : state) {
    rs.MoveFirst();
    found += rs.Find(texts[i++ % texts.size()]) ? 1 : 0;
  }
  benchmark::DoNotOptimize(found);
  rs.setUseIndexes(true);
}

void BM_FindIndexed(benchmark::State& s) { runFind(s, true); }
void BM_FindFull(benchmark::State& s) { runFind(s, false); }

BENCHMARK(BM_IdentifierFilterIndexed);
BENCHMARK(BM_IdentifierFilterFull);
BENCHMARK(BM_AccountFilterIndexed);
BENCHMARK(BM_AccountFilterFull);
BENCHMARK(BM_FindIndexed);
BENCHMARK(BM_FindFull);

// Keeps each benchmark's time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

void printRatio(const RatioReporter& r, const char* label, const std::string& indexed, const std::string& full) {
  auto i = r.times.find(indexed), f = r.times.find(full);
  if (i == r.times.end() || f == r.times.end() || i->second <= 0) return;
  std::printf("%-32s full / indexed = %8.1fx\n", label, f->second / i->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  table();  // build outside the timings
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%d rows, %d rows per identifier\n", kRows, kRowsPerParent);
  printRatio(reporter, "identifier filter", "BM_IdentifierFilterIndexed", "BM_IdentifierFilterFull");
  printRatio(reporter, "account-type OR-of-ANDs filter", "BM_AccountFilterIndexed", "BM_AccountFilterFull");
  printRatio(reporter, "Find by identifier", "BM_FindIndexed", "BM_FindFull");
  benchmark::Shutdown();
  return 0;
}
