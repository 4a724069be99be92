// Save and load speed of a cache file: a dictionary holding a 100,000-row record
// set shaped like the detail-function table. Each result is printed in MB/s and
// as a ratio to baselines measured in the same run on the same bytes: a memcpy
// (the ceiling of any in-memory decoder) and a plain read of the saved file (the
// ceiling of any loader).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/containers/atomic_file.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace {

using namespace wayfind::platform;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 100000;

RecordsetPtr makeDetailFuncTable(int rows) {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FDetailFuncID", DataType::Integer);
  rs->appendField("FSubFuncID", DataType::Integer);
  rs->appendField("FFuncName", DataType::VarWChar, 80);
  rs->appendField("FFuncName_en", DataType::VarWChar, 160);
  rs->appendField("FFuncName_cht", DataType::VarWChar, 80);
  rs->appendField("FShowName", DataType::VarWChar, 80);
  rs->appendField("FHelpCode", DataType::VarWChar, 40);
  rs->appendField("FHelpCode1", DataType::VarWChar, 40);
  rs->appendField("FClassName", DataType::VarWChar, 255);
  rs->appendField("FClassParam", DataType::VarWChar, 255);
  rs->appendField("FIndex", DataType::Integer);
  rs->appendField("FVisible", DataType::Boolean);
  rs->appendField("FEnable", DataType::Boolean);
  rs->appendField("FFuncType", DataType::Integer);
  rs->appendField("FAcctType", DataType::VarWChar, 255);
  rs->appendField("FSubSysID", DataType::Integer);
  rs->appendField("FTopClassID", DataType::Integer);
  rs->appendField("FHelpID", DataType::Integer);
  rs->appendField("FModifyDate", DataType::Date);
  rs->appendField("FNote", DataType::LongVarWChar);
  rs->open();
  for (int i = 0; i < rows; ++i) {
    const std::string n = std::to_string(i);
    std::vector<Variant> row;
    row.reserve(20);
    row.emplace_back(int32_t(1000 + i));
    row.emplace_back(int32_t(10000000 + i / 20));
    row.emplace_back("凭证录入" + n);
    row.emplace_back("Voucher entry " + n);
    row.emplace_back("憑證錄入" + n);
    row.emplace_back(i % 3 ? Variant::null() : Variant("录入凭证" + n));
    row.emplace_back("pzlr" + n);
    row.emplace_back(i % 2 ? Variant("") : Variant("PZ" + n));
    row.emplace_back("K3GL.clsVoucherEntry");
    row.emplace_back("FType=" + std::to_string(i % 7));
    row.emplace_back(int32_t(i % 100));
    row.emplace_back(true);
    row.emplace_back(i % 5 != 0);
    row.emplace_back(int32_t(i % 4 - 1));
    row.emplace_back(i % 4 ? Variant(",1,2,3,5,8,") : Variant(""));
    row.emplace_back(int32_t(100000 + i / 500));
    row.emplace_back(int32_t(1000 + i / 5000));
    row.emplace_back(int32_t(i));
    row.emplace_back(Date{45000.0 + i / 1000.0});
    row.emplace_back(i % 10 ? Variant::null() : Variant("说明文字 note " + n));
    rs->appendStoredRow(std::move(row));
  }
  return rs;
}

struct Fixture {
  Dictionary dict;
  std::string bytes;
  fs::path folder;
  fs::path file;
  double memcpyMBps = 0;
  double fileReadMBps = 0;

  Fixture() {
    dict.SetValue("TimeStamp", "2024-05-01 12:00:00");
    dict.SetValue("DetailFunc", makeDetailFuncTable(kRows));
    bytes = dict.serialize();
    folder = fs::temp_directory_path() / ("wayfind-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    file = folder / "Templatechs.dat";
    writeFileAtomically(file, bytes);
    memcpyMBps = bestRate([&] {
      std::string copy(bytes.size(), '\0');
      std::memcpy(copy.data(), bytes.data(), bytes.size());
      benchmark::DoNotOptimize(copy.data());
    });
    fileReadMBps = bestRate([&] {
      std::string content;
      readWholeFile(file, content);
      benchmark::DoNotOptimize(content.data());
    });
  }
  ~Fixture() { fs::remove_all(folder); }

  template <class F>
  double bestRate(F f) const {
    double best = 0;
    for (int i = 0; i < 10; ++i) {
      auto t0 = Clock::now();
      f();
      double s = std::chrono::duration<double>(Clock::now() - t0).count();
      best = std::max(best, bytes.size() / 1e6 / s);
    }
    return best;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// Runs body once per iteration and reports MB/s and the ratios to the baselines.
// What body leaves in the dictionary it is handed is freed outside the timing.
template <class F>
void measure(benchmark::State& state, F body) {
  Fixture& fx = fixture();
  double seconds = 0;
  for (auto _ : state) {
    Dictionary result;
    auto t0 = Clock::now();
    body(fx, result);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    seconds += s;
  }
  const double mbps = double(fx.bytes.size()) * state.iterations() / 1e6 / seconds;
  state.SetBytesProcessed(int64_t(fx.bytes.size()) * state.iterations());
  state.counters["MB/s"] = mbps;
  state.counters["x_memcpy"] = mbps / fx.memcpyMBps;
  state.counters["x_file_read"] = mbps / fx.fileReadMBps;
  state.counters["file_MB"] = fx.bytes.size() / 1e6;
}

void BM_Serialize(benchmark::State& state) {
  measure(state, [](Fixture& fx, Dictionary&) { benchmark::DoNotOptimize(fx.dict.serialize()); });
}
void BM_Deserialize(benchmark::State& state) {
  measure(state, [](Fixture& fx, Dictionary& d) {
    if (!d.deserialize(fx.bytes)) throw std::runtime_error("deserialize failed");
  });
}
void BM_Save(benchmark::State& state) {
  measure(state, [](Fixture& fx, Dictionary&) { fx.dict.Save(fx.folder / "saved.dat"); });
}
void BM_Load(benchmark::State& state) {
  measure(state, [](Fixture& fx, Dictionary& d) {
    if (!d.Load(fx.file)) throw std::runtime_error("load failed");
  });
}
void BM_BaselineFileRead(benchmark::State& state) {
  measure(state, [](Fixture& fx, Dictionary&) {
    std::string content;
    readWholeFile(fx.file, content);
    benchmark::DoNotOptimize(content.data());
  });
}

BENCHMARK(BM_Serialize)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Deserialize)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_BaselineFileRead)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
