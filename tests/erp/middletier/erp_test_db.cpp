#include "erp/middletier/erp_test_db.h"

#include <cstdlib>
#include <stdexcept>

#include <unistd.h>

#include "erp/demo/demo_company.h"

namespace wayfind::erp::testing {

namespace {

// The URI with its database name replaced.
std::string withDatabase(const std::string& uri, const std::string& name) {
  const auto scheme = uri.find("://");
  const auto slash = uri.find('/', scheme + 3);
  const auto query = uri.find('?', scheme + 3);
  const std::string head = uri.substr(0, slash == std::string::npos || (query != std::string::npos && query < slash)
                                                ? (query == std::string::npos ? uri.size() : query)
                                                : slash);
  const std::string tail = query == std::string::npos ? std::string() : uri.substr(query);
  return head + "/" + name + tail;
}

std::string databaseName(const std::string& uri) {
  const auto scheme = uri.find("://");
  const auto slash = uri.find('/', scheme + 3);
  const auto query = uri.find('?', slash);
  return uri.substr(slash + 1, query == std::string::npos ? std::string::npos : query - slash - 1);
}

}  // namespace

std::string testServer() {
  const char* env = std::getenv("WAYFIND_TEST_PG");
  return env ? std::string(env) : std::string();
}

bool onServer() { return !testServer().empty(); }

std::filesystem::path newTestDatabase(const std::filesystem::path& folder) {
  const std::string server = testServer();
  if (server.empty()) return folder / "wayfind.db";
  static int counter = 0;
  const std::string name = "wayfind_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  auto admin = storage::Connection::open(server);
  // Creating databases waits for other tests' creations (two run at once): no
  // bound on that wait, unlike the program's sessions.
  admin->exec("SET lock_timeout = 0; SET statement_timeout = 0;");
  // The name is made of our own numbers only.
  admin->exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  admin->exec("CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8'");
  return withDatabase(server, name);
}

std::string asRole(const std::filesystem::path& database, const std::string& role) {
  std::string uri = database.string();
  const auto user = uri.find("user=");
  if (user == std::string::npos) return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "user=" + role;
  const auto end = uri.find('&', user);
  return uri.replace(user + 5, (end == std::string::npos ? uri.size() : end) - user - 5, role);
}

void dropTestDatabase(const std::filesystem::path& database) {
  const std::string server = testServer();
  if (server.empty() || !storage::isServerLocation(database)) return;
  try {
    auto admin = storage::Connection::open(server);
    admin->exec("SET lock_timeout = 0; SET statement_timeout = 0;");
    admin->exec("DROP DATABASE IF EXISTS " + databaseName(database.string()) + " WITH (FORCE)");
  } catch (const std::exception&) {
    // Left for the server's end: the whole throwaway server goes then.
  }
}

TempDatabase::TempDatabase(storage::Seed seed) {
  std::string pattern = (std::filesystem::temp_directory_path() / "wayfind-erp-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  path_ = newTestDatabase(folder_);
  storage::releaseThreadConnections();
  storage::CurrentDatabase::set(path_);
  storage::CurrentDatabase::setSeed(seed);
  storage::CurrentDatabase::setDemoSeeder(&demo::loadDemoCompany);
  // A server database is made on purpose, as "wayfind db init" makes it.
  if (onServer()) storage::prepareDatabase(path_, seed);
}

TempDatabase::~TempDatabase() {
  storage::CurrentDatabase::reset();
  storage::releaseThreadConnections();
  dropTestDatabase(path_);
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

storage::Connection& TempDatabase::conn() { return *storage::connectionFor(path_); }

std::string propsFor(int32_t userId, const std::string& language) {
  return "UserID=" + std::to_string(userId) + ";UserName={演示, 用户};T8Version=9.0;AcctDB=demo;Language=" + language;
}

}  // namespace wayfind::erp::testing
