// What a template file costs to refuse when it is bogus, and what a genuine one
// costs in memory to import, on an SQLite file.
//
// Refusing: a 1 GiB file (sparse) with a valid header and nothing useful in
// it, loaded the way an import loads it. Beside it, in the same run, the floor:
// the same file refused from its header alone (its header claims one byte more
// than the file holds).
//
// Importing: a template file of N custom detail functions, loaded and imported
// by a child process; its peak memory (VmHWM, reset just before the load) grows
// by how much. Beside it, in the same run: the file's size and how much the
// database grew with the rows the import wrote (the tables it fills); the
// budget is twice the file plus those tables.
//
//   bench_erp_import_bounds [functions ...]        (default 50000 200000)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/erp/import_file.h"
#include "erp/demo/demo_company.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/database.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

using namespace wayfind;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kImporter = 16385;  // 张伟, not an administrator
constexpr uint64_t kBogusBytes = uint64_t{1} << 30;

std::string props(int32_t user) { return "UserID=" + std::to_string(user) + ";Language=chs"; }

double mb(uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// A line of /proc/self/status in bytes (VmRSS, VmHWM).
uint64_t statusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::strtoull(line.c_str() + prefix.size(), nullptr, 10) * 1024;
  return 0;
}

// Makes the peak resident size start again from the present one.
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// What a child measured: seconds, and the peak's growth over the resident
// size it started from.
struct Measured {
  double seconds = 0;
  uint64_t peakGrowth = 0;
  uint64_t loadGrowth = 0;  // of the peak, by the load alone
  bool ok = false;          // the work did what was expected
};

// Runs work in a child process, after a fresh start of its peak.
template <class Work>
Measured inChild(Work work) {
  erp::storage::releaseThreadConnections();
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    Measured m;
    try {
      m = work();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
    }
    (void)!::write(fds[1], &m, sizeof m);
    _exit(0);
  }
  ::close(fds[1]);
  Measured m;
  if (::read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m = {};
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return m;
}

// A file of kBogusBytes whose header is valid (version 2, the length right
// unless claimExtra) and whose content is all zero bytes, made sparse.
void writeBogus(const fs::path& path, uint64_t claimExtra) {
  std::string header("\x89WFDICT\n", 8);
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>(v >> (8 * i))); };
  auto u64 = [&](uint64_t v) { for (int i = 0; i < 8; ++i) header.push_back(static_cast<char>(v >> (8 * i))); };
  u32(2);
  u32(0x12345678);
  u64(kBogusBytes - 24 + claimExtra);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  (void)!::write(fd, header.data(), header.size());
  (void)!::ftruncate(fd, static_cast<off_t>(kBogusBytes));
  ::close(fd);
}

Measured refuse(const fs::path& file) {
  return inChild([&] {
    resetPeak();
    const uint64_t before = statusBytes("VmRSS");
    const auto start = Clock::now();
    platform::Dictionary d;
    const bool loaded = d.Load(file);
    Measured m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakGrowth = statusBytes("VmHWM") - before;
    m.ok = !loaded;
    return m;
  });
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void measureRefusal(const fs::path& folder) {
  const fs::path bogus = folder / "bogus.dat", floor = folder / "bogus-length.dat";
  writeBogus(bogus, 0);
  writeBogus(floor, 1);
  std::vector<double> times, floorTimes;
  uint64_t peak = 0, floorPeak = 0;
  bool refused = true;
  for (int i = 0; i < 5; ++i) {
    const Measured m = refuse(bogus), f = refuse(floor);
    times.push_back(m.seconds);
    floorTimes.push_back(f.seconds);
    peak = std::max(peak, m.peakGrowth);
    floorPeak = std::max(floorPeak, f.peakGrowth);
    refused = refused && m.ok && f.ok;
  }
  std::printf("refusing a 1 GiB file of zeros with a valid header   %8.3f ms (median of 5), peak +%.1f MB%s\n",
              1000 * median(times), mb(peak), refused ? "" : "  (NOT REFUSED)");
  std::printf("  floor: the same refused from its header alone      %8.3f ms, peak +%.1f MB  (%.1f x the floor)\n",
              1000 * median(floorTimes), mb(floorPeak), median(times) / std::max(median(floorTimes), 1e-9));
  fs::remove(bogus);
  fs::remove(floor);
}

// The template file the imports read (bench/erp/import_file.h).
platform::DictionaryPtr bigFile(const fs::path& db, int functions) {
  return bench::bigImportFile(db, props(kImporter), kImporter, functions, true);
}

uint64_t databaseBytes(const fs::path& db) {
  uint64_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto size = fs::file_size(db.string() + suffix, ec);
    if (!ec) bytes += size;
  }
  return bytes;
}

void measureImport(const fs::path& folder, int functions) {
  const fs::path db = folder / ("import-" + std::to_string(functions) + ".db");
  const fs::path file = folder / ("import-" + std::to_string(functions) + ".dat");
  erp::storage::prepareDatabase(db, erp::storage::Seed::Demo);
  bigFile(db, functions)->Save(file);
  const uint64_t fileBytes = fs::file_size(file);
  erp::storage::connectionFor(db)->exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const uint64_t dbBefore = databaseBytes(db);
  const Measured m = inChild([&] {
    erp::storage::connectionFor(db);  // opened before the measurement starts
    erp::middletier::ServerDatasUpdate up(db);
    resetPeak();
    const uint64_t before = statusBytes("VmRSS");
    const auto start = Clock::now();
    auto dict = std::make_shared<platform::Dictionary>();
    Measured r;
    if (!dict->Load(file)) return r;
    r.loadGrowth = statusBytes("VmHWM") - before;
    up.ImportUserData(props(kImporter), dict);
    dict.reset();
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.peakGrowth = statusBytes("VmHWM") - before;
    r.ok = true;
    return r;
  });
  if (!m.ok) {
    std::printf("import of %d functions FAILED\n", functions);
    return;
  }
  erp::storage::connectionFor(db)->exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const uint64_t tables = databaseBytes(db) - std::min(databaseBytes(db), dbBefore);
  const uint64_t budget = 2 * fileBytes + tables;
  std::printf("import of %7d functions: %6.2f s, peak +%7.1f MB (the load alone +%.1f MB)\n", functions, m.seconds,
              mb(m.peakGrowth), mb(m.loadGrowth));
  std::printf("  floor: file %.1f MB, tables filled %.1f MB; budget 2 x file + tables = %.1f MB  (peak %.2f x budget)\n",
              mb(fileBytes), mb(tables), mb(budget), static_cast<double>(m.peakGrowth) / static_cast<double>(budget));
  erp::storage::releaseThreadConnections();
  fs::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {50000, 200000};
  char pattern[] = "/tmp/wayfind-import-bounds-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const fs::path folder = pattern;
  erp::storage::CurrentDatabase::setDemoSeeder(&erp::demo::loadDemoCompany);
  std::printf("load average at the start: %s\n", loadAverage().c_str());
  measureRefusal(folder);
  for (int n : sizes) measureImport(folder, n);
  std::printf("load average at the end:   %s\n", loadAverage().c_str());
  erp::storage::releaseThreadConnections();
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
