// How long an import of a big template file holds the database's write lock,
// and how long another user's rename waits while such imports run one after
// the other, on an SQLite file and on a PostgreSQL database.
//
// The file holds 50,000 custom detail functions. Another user has already
// imported it, so their 50,000 rows are present and every identifier of the
// file belongs to somebody else: the importer's copy is numbered anew. The
// baseline, in the same run, is the same import into a database where nobody
// holds those rows; an import whose cost grows with its own rows only takes
// about as long with them as without.
//
//   WAYFIND_BENCH_PG=postgresql:///postgres?host=/tmp/x&user=postgres bench_erp_import [functions]
//
// WAYFIND_BENCH_PG names a server as a role that may create databases; the
// benchmark makes databases of its own there and drops them afterwards.
// Without it only SQLite is measured.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/erp/import_file.h"
#include "erp/demo/demo_company.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/database.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

using namespace wayfind;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kImporter = 16385;   // 张伟, not an administrator
constexpr int32_t kOther = 16386;      // 李娜, holds the same functions already
constexpr int32_t kRenamer = 16387;    // renames while the imports run
constexpr int32_t kAdministrator = 16394;

std::string props(int32_t user) { return "UserID=" + std::to_string(user) + ";Language=chs"; }

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The template file the imports read (bench/erp/import_file.h).
platform::DictionaryPtr bigFile(const std::filesystem::path& db, int functions) {
  return bench::bigImportFile(db, props(kImporter), kImporter, functions, false);
}

// When the change took its locks, and when it took the identifiers' locks,
// the last ones; both are held to the import's return.
struct Hold {
  std::atomic<int64_t> lockedAt{0};
  std::atomic<int64_t> identifiersAt{0};
  std::atomic<int64_t> committedAt{0};  // the locks given back
};
Hold& hold() {
  static Hold h;
  return h;
}

struct Timing {
  double total = 0;        // the whole call
  double holding = 0;      // with the write lock
  double identifiers = 0;  // with the identifiers' locks as well
};

Timing timedImport(const std::filesystem::path& db, int32_t user, platform::DictionaryPtr file) {
  erp::storage::connectionFor(db);  // opened before the clock starts
  erp::middletier::ServerDatasUpdate up(db);
  hold().lockedAt = 0;
  hold().identifiersAt = 0;
  hold().committedAt = 0;
  const auto start = Clock::now();
  up.ImportUserData(props(user), file);
  const auto end = Clock::now();
  Timing t;
  t.total = seconds(end - start);
  // The locks are held until the commit, not until the call has also freed
  // what it read.
  const int64_t committed = hold().committedAt.load();
  const auto released = committed ? Clock::duration(committed) : end.time_since_epoch();
  const int64_t locked = hold().lockedAt.load();
  t.holding = locked ? seconds(released - Clock::duration(locked)) : t.total;
  const int64_t identifiers = hold().identifiersAt.load();
  t.identifiers = identifiers ? seconds(released - Clock::duration(identifiers)) : t.holding;
  return t;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

int32_t firstSubFunc(const std::filesystem::path& db) {
  auto first = erp::storage::connectionFor(db)->prepare("SELECT MIN(FSubFuncID) FROM t_NavSubFunc");
  first.step();
  return first.int32(0);
}

// count renames of kRenamer with nothing else running: the baseline.
std::vector<double> idleRenames(const std::filesystem::path& db, int count) {
  erp::middletier::ServerDatasUpdate up(db);
  std::vector<double> waits;
  for (int i = 0; i < count; ++i) {
    int32_t id = firstSubFunc(db);
    std::string name = "空闲改名" + std::to_string(i);
    const auto start = Clock::now();
    up.UpdateSubSysFuncName(props(kRenamer), id, name);
    waits.push_back(seconds(Clock::now() - start));
  }
  return waits;
}

// Renames of kRenamer, back to back, while a child process imports the file
// imports times; the durations of the renames.
std::vector<double> renamesDuringImports(const std::filesystem::path& db, int32_t importer,
                                         const platform::DictionaryPtr& file, int imports) {
  const int32_t subFunc = firstSubFunc(db);
  erp::storage::releaseThreadConnections();
  const pid_t child = fork();
  if (child == 0) {
    int code = 0;
    try {
      erp::middletier::ServerDatasUpdate up(db);
      for (int i = 0; i < imports; ++i) {
        auto f = file;
        up.ImportUserData(props(importer), f);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "importer: %s\n", e.what());
      code = 1;
    }
    _exit(code);
  }
  std::vector<double> waits;
  erp::middletier::ServerDatasUpdate up(db);
  int status = 0;
  for (int i = 0;; ++i) {
    if (waitpid(child, &status, WNOHANG) == child) break;
    int32_t id = subFunc;
    std::string name = "改名" + std::to_string(i);
    const auto start = Clock::now();
    try {
      up.UpdateSubSysFuncName(props(kRenamer), id, name);
      waits.push_back(seconds(Clock::now() - start));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "rename failed after %.3f s: %s\n", seconds(Clock::now() - start), e.what());
    }
    usleep(2000);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "the importer failed\n");
  return waits;
}

struct Backend {
  const char* name;
  std::filesystem::path empty;  // nobody holds the file's rows
  std::filesystem::path busy;   // another user holds them
};

void measure(const Backend& b, int functions, int imports) {
  std::printf("\n== %s, %d functions\n", b.name, functions);
  auto file = bigFile(b.busy, functions);
  {
    // Another user holds the same functions first.
    erp::middletier::ServerDatasUpdate up(b.busy);
    auto copy = bigFile(b.busy, functions);
    up.ImportUserData(props(kOther), copy);
  }
  const Timing baseline = timedImport(b.empty, kImporter, bigFile(b.empty, functions));
  std::fflush(stdout);
  const Timing first = timedImport(b.busy, kImporter, file);
  const Timing again = timedImport(b.busy, kImporter, file);
  const Timing admin = timedImport(b.busy, kAdministrator, file);
  auto line = [&](const char* what, const Timing& t) {
    std::printf("%-50s %7.3f s, write lock %.3f s, identifiers %.3f s  (%.2f x the baseline)\n", what, t.total,
                t.holding, t.identifiers, t.total / baseline.total);
  };
  line("import where nobody holds the rows (baseline)", baseline);
  line("import, another user holding the same rows", first);
  line("the same import again (the user has the rows)", again);
  line("an administrator's import", admin);
  auto report = [](const std::string& what, const std::vector<double>& waits, double base) {
    const double p99 = percentile(waits, 0.99);
    std::printf("%-58s %5zu, p50 %7.1f ms, p99 %7.1f ms, max %7.1f ms", what.c_str(), waits.size(),
                1000 * percentile(waits, 0.5), 1000 * p99,
                1000 * (waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end())));
    if (base > 0) std::printf("  (p99 %.1f x idle)", p99 / base);
    std::printf("\n");
  };
  const auto idle = idleRenames(b.busy, 200);
  report("renames of another user, nothing else running", idle, 0);
  for (int32_t importer : {kImporter, kAdministrator}) {
    const auto waits = renamesDuringImports(b.busy, importer, file, imports);
    report("renames while " + std::to_string(imports) + " imports by " +
               (importer == kAdministrator ? "an administrator" : "a user") + " ran",
           waits, percentile(idle, 0.99));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int functions = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int imports = 5;
  char pattern[] = "/tmp/wayfind-import-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::filesystem::path folder = pattern;
  erp::storage::CurrentDatabase::setDemoSeeder(&erp::demo::loadDemoCompany);
  erp::middletier::setChangeFaultHookForTesting([](std::string_view, std::string_view point) {
    if (point == "locked") hold().lockedAt = Clock::now().time_since_epoch().count();
    if (point == "identifiers") hold().identifiersAt = Clock::now().time_since_epoch().count();
    if (point == "committed") hold().committedAt = Clock::now().time_since_epoch().count();
  });

  std::vector<Backend> backends{{"SQLite", folder / "empty.db", folder / "busy.db"}};
  std::string admin;
  std::vector<std::string> serverDbs;
  if (const char* env = std::getenv("WAYFIND_BENCH_PG"); env && *env) {
    admin = env;
    auto server = erp::storage::Connection::open(admin);
    const auto slash = admin.find('/', admin.find("://") + 3);
    const auto query = admin.find('?', slash);
    auto uri = [&](const std::string& db) {
      return admin.substr(0, slash) + "/" + db + (query == std::string::npos ? std::string() : admin.substr(query));
    };
    for (const char* which : {"empty", "busy"}) {
      const std::string db = "wayfind_import_bench_" + std::string(which) + "_" + std::to_string(getpid());
      server->exec("CREATE DATABASE " + db + " TEMPLATE template0 ENCODING 'UTF8'");  // our own name
      serverDbs.push_back(db);
    }
    backends.push_back({"PostgreSQL", uri(serverDbs[0]), uri(serverDbs[1])});
  }
  for (const auto& b : backends) {
    erp::storage::prepareDatabase(b.empty, erp::storage::Seed::Demo);
    erp::storage::prepareDatabase(b.busy, erp::storage::Seed::Demo);
    try {
      measure(b, functions, imports);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", b.name, e.what());
    }
  }

  erp::storage::releaseThreadConnections();
  if (!admin.empty()) {
    auto server = erp::storage::Connection::open(admin);
    for (const auto& db : serverDbs) server->exec("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
