#include "erp/storage/database.h"

#include <cstdlib>
#include <map>

#include <unistd.h>

#include "erp/storage/storage_error.h"
#include "platform/containers/xdg_folders.h"

namespace wayfind::erp::storage {

namespace {

struct Settings {
  std::mutex mutex;
  std::optional<std::filesystem::path> path;
  Seed seed = Seed::Demo;
  Seeder demoSeeder;
  unsigned generation = 0;  // bumped by reset, so threads drop stale connections
};

Settings& settings() {
  static Settings s;
  return s;
}

// Set as the thread's cache goes at its end (for the program's first thread,
// before the statics at exit): a host's session ended after that finds
// nothing to let go.
thread_local bool threadCacheGone = false;

struct ThreadCache {
  unsigned generation = 0;
  pid_t pid = getpid();
  std::map<std::filesystem::path, ConnectionPtr> connections;
  std::map<std::filesystem::path, ConnectionPtr> readers;  // read-only, beside the read-write ones
  ~ThreadCache() { threadCacheGone = true; }
};

ThreadCache& threadCache() {
  thread_local ThreadCache cache;
  return cache;
}

std::filesystem::path resolve(const std::filesystem::path& path) {
  return path.empty() ? CurrentDatabase::path() : path;
}

Seeder seederFor(Seed seed) {
  if (seed == Seed::None) return {};
  return CurrentDatabase::demoSeeder();
}

ConnectionPtr openPrepared(const std::filesystem::path& path, Seed seed, bool create) {
  if (isServerLocation(path)) {
    // A server database is created on purpose ("wayfind db init"), never by
    // the first program that happens to connect; an older one is migrated.
    auto conn = Connection::open(path, Connection::Mode::ReadWrite);
    ensureSchema(*conn, seederFor(seed), create);
    return conn;
  }
  refuseMistakenServerAddress(path);
  if (path.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) raiseDatabaseError("无法创建数据库目录 " + path.parent_path().string(), ec.message());
  }
  auto conn = Connection::open(path, Connection::Mode::ReadWrite);
  ensureSchema(*conn, seederFor(seed));
  return conn;
}

}  // namespace

void CurrentDatabase::set(const std::filesystem::path& path) {
  std::lock_guard lock(settings().mutex);
  settings().path = path;
}

void CurrentDatabase::clear() {
  std::lock_guard lock(settings().mutex);
  settings().path.reset();
}

std::filesystem::path CurrentDatabase::defaultPath() {
  const std::filesystem::path base = platform::xdgBaseFolder("XDG_DATA_HOME", ".local/share");
  if (!base.empty()) return base / "wayfind" / "wayfind.db";
  return std::filesystem::path("wayfind.db");
}

std::filesystem::path CurrentDatabase::path() {
  {
    std::lock_guard lock(settings().mutex);
    if (settings().path) return *settings().path;
  }
  if (const char* env = std::getenv("WAYFIND_DB"); env && *env) return std::filesystem::path(env);
  return defaultPath();
}

void CurrentDatabase::setSeed(Seed seed) {
  std::lock_guard lock(settings().mutex);
  settings().seed = seed;
}

Seed CurrentDatabase::seed() {
  std::lock_guard lock(settings().mutex);
  return settings().seed;
}

void CurrentDatabase::setDemoSeeder(Seeder seeder) {
  std::lock_guard lock(settings().mutex);
  settings().demoSeeder = std::move(seeder);
}

Seeder CurrentDatabase::demoSeeder() {
  std::lock_guard lock(settings().mutex);
  return settings().demoSeeder;
}

void CurrentDatabase::forgetConnections() {
  std::lock_guard lock(settings().mutex);
  ++settings().generation;
}

void CurrentDatabase::reset() {
  std::lock_guard lock(settings().mutex);
  settings().path.reset();
  settings().seed = Seed::Demo;
  settings().demoSeeder = nullptr;
  ++settings().generation;
}

namespace {

// The calling thread's cache, emptied when the settings were reset, and left
// (not closed) in a forked child: closing them would end the parent's server
// sessions too, or close an SQLite file the parent holds open.
ThreadCache& currentThreadCache() {
  auto& cache = threadCache();
  unsigned generation;
  {
    std::lock_guard lock(settings().mutex);
    generation = settings().generation;
  }
  if (cache.pid != getpid()) {
    for (auto* held : {&cache.connections, &cache.readers})
      for (auto& [where, conn] : *held) conn->abandon();
    cache.connections.clear();
    cache.readers.clear();
    cache.pid = getpid();
  }
  if (cache.generation != generation) {
    // Kept from before the settings changed (a session that ended): the file
    // may have been replaced meanwhile (a backup put back), and closing must
    // not write this connection's log into the new one.
    for (auto* held : {&cache.connections, &cache.readers})
      for (auto& [where, conn] : *held) conn->keepLogOnClose();
    cache.connections.clear();
    cache.readers.clear();
    cache.generation = generation;
  }
  return cache;
}

// The connection kept for path, or a new one from open, kept. A server
// connection that broke (a restart, a failover) is made again, for a bounded
// time; when no server answers, this call fails clearly and the next one tries
// again.
template <class Open>
ConnectionPtr kept(std::map<std::filesystem::path, ConnectionPtr>& connections, const std::filesystem::path& path,
                   Open&& open) {
  if (auto it = connections.find(path); it != connections.end()) {
    if (it->second->broken()) it->second->reconnect();
    return it->second;
  }
  auto conn = open();
  connections.emplace(path, conn);
  return conn;
}

}  // namespace

ConnectionPtr connectionFor(const std::filesystem::path& requested) {
  const auto path = resolve(requested);
  return kept(currentThreadCache().connections, path, [&] { return openPrepared(path, CurrentDatabase::seed(), false); });
}

ConnectionPtr readOnlyConnectionFor(const std::filesystem::path& requested) {
  const auto path = resolve(requested);
  connectionFor(path);  // the schema (and the demo company) exist before anyone reads
  // Kept like the read-write one: a server session, or SQLite's parsed schema,
  // is not made again for every read.
  return kept(currentThreadCache().readers, path, [&] { return Connection::open(path, Connection::Mode::ReadOnly); });
}

void releaseThreadConnections() {
  if (threadCacheGone) return;
  threadCache().connections.clear();
  threadCache().readers.clear();
}

void prepareDatabase(const std::filesystem::path& path, Seed seed) { openPrepared(path, seed, true); }

std::string instanceId(Connection& conn) {
  auto st = conn.prepare("SELECT FValue FROM t_WayfindMeta WHERE FKey = 'InstanceID'");
  if (!st.step()) raiseDatabaseError("数据库缺少实例标识", conn.displayName());
  return st.text(0);
}

}  // namespace wayfind::erp::storage
