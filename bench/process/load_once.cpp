// Loads saved dictionaries (cache or template files) in this fresh process and
// reports, per file: the time Dictionary::Load took, the speed in MB/s of file
// bytes, the memory of the loaded record sets as they account for it, and the
// growth of the process's resident memory. The first file of a run is the one
// loaded on a fresh heap; whole_process.py runs this once per cache file.
//
//   bench_load_once Template...dat [UserTemplate...dat ...]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace {

using namespace wayfind::platform;
using Clock = std::chrono::steady_clock;

size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    std::error_code ec;
    const auto fileBytes = static_cast<double>(std::filesystem::file_size(path, ec));
    if (ec) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      status = 1;
      continue;
    }
    auto dict = std::make_shared<Dictionary>();
    const size_t residentBefore = residentBytes();
    const auto start = Clock::now();
    const bool ok = dict->Load(path);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const size_t residentAfter = residentBytes();
    if (!ok) {
      std::fprintf(stderr, "%s: refused\n", argv[i]);
      status = 1;
      continue;
    }
    size_t tableBytes = 0, rows = 0, detailRows = 0, detailBytes = 0;
    for (const auto& key : dict->Keys()) {
      auto rs = dict->GetValue(key).objectAs<Recordset>();
      if (!rs) continue;
      tableBytes += rs->memoryBytes();
      rows += rs->storedRowCount();
      if (key == "DetailFunc") {
        detailRows = rs->storedRowCount();
        detailBytes = rs->memoryBytes();
      }
    }
    std::printf("%s\n  file %.0f bytes, %zu rows (%zu detail functions)\n", path.filename().c_str(), fileBytes,
                rows, detailRows);
    std::printf("  load %.2f ms, %.0f MB/s\n", ms, fileBytes / 1e6 / (ms / 1e3));
    std::printf("  tables %zu bytes = %.2f x the file; resident memory grew by %zu bytes = %.2f x the file\n",
                tableBytes, static_cast<double>(tableBytes) / fileBytes, residentAfter - residentBefore,
                static_cast<double>(residentAfter - residentBefore) / fileBytes);
    if (detailRows > 0)
      std::printf("  DetailFunc: %.0f bytes per row loaded\n", static_cast<double>(detailBytes) / detailRows);
  }
  return status;
}
