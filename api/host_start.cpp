#include "api/host_start.h"

#include <cstdlib>
#include <filesystem>

#include "erp/client/data_services.h"
#include "erp/client/file_call_log.h"
#include "erp/client/register_client.h"
#include "erp/middletier/register_server.h"
#include "erp/storage/database.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/languages.h"
#include "store/cache_files.h"
#include "store/datas_info.h"
#include "update/datas_update.h"

namespace wayfind::api {

namespace {

constexpr const char* kSource = "wayfind";

[[noreturn]] void fail(const std::string& description) {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, kSource, description);
}

int32_t defaultUser(erp::storage::Connection& conn) {
  if (const char* env = std::getenv("WAYFIND_USER"); env && *env) {
    const auto id = platform::wholeInt32(env);
    if (!id) fail(std::string("WAYFIND_USER is not a user id: ") + env);
    return *id;
  }
  auto st = conn.prepare(
      "SELECT FUserID FROM t_User WHERE FUserID >= 16384 AND FForbidden = 0 "
      "AND FUserID NOT IN (SELECT FGroupID FROM t_Group) ORDER BY FUserID LIMIT 1");
  if (!st.step()) fail("The database has no active user.");
  return st.int32(0);
}

}  // namespace

bool isLanguageCode(const std::string& code) { return nav::FindLanguage(code).has_value(); }

void registerEverything() {
  erp::client::registerClientComponents();
  erp::client::registerDataServices();
  erp::middletier::registerServerComponents();
  store::registerDatasInfo();
  update::registerDatasUpdate();
}

HostSession startHost(const HostOptions& options, const std::function<void(const std::string&)>& onCreated) {
  registerEverything();
  HostSession session;
  // A call log asked for (the option, else WAYFIND_CALL_LOG) that cannot be
  // written would go unnoticed: each call's line is written after the call, and a
  // failed write does not fail the call. Checked before anything is created.
  if (const std::string log = options.callLog ? *options.callLog : erp::client::callLogPath(); !log.empty()) {
    try {
      erp::client::checkCallLog(log);
    } catch (const platform::AutomationError& e) {
      fail(e.description() + ".");
    }
  }
  if (options.callLog) erp::client::enableCallLog(*options.callLog);

  if (options.database) erp::storage::CurrentDatabase::set(*options.database);
  auto path = erp::storage::CurrentDatabase::path();
  erp::storage::refuseMistakenServerAddress(path);
  // A file named relative to the working folder is that folder's now: every
  // thread, and every call after the host changes its folder, opens the same.
  if (!erp::storage::isServerLocation(path) && path.is_relative() && !path.empty()) {
    std::error_code ec;
    if (auto whole = std::filesystem::absolute(path, ec); !ec) {
      path = whole;
      erp::storage::CurrentDatabase::set(path);
    }
  }
  session.databasePath = erp::storage::locationForDisplay(path);
  std::error_code ec;
  // A server database is never created here ("wayfind db init" makes it).
  const bool server = erp::storage::isServerLocation(path);
  session.createdDatabase = !server && !std::filesystem::exists(path, ec);
  if (session.createdDatabase) std::filesystem::create_directories(path.parent_path(), ec);
  auto conn = erp::storage::connectionFor(path);
  if (session.createdDatabase && onCreated) onCreated(session.databasePath);

  session.userId = options.userId ? *options.userId : defaultUser(*conn);
  // The user's row, and the database's instance when no --uuid names one: one
  // request to a server.
  std::optional<std::string> instance;
  {
    // Groups are rows of t_User too (the administrators' is 1); nobody logs in as one.
    auto st = conn->prepare(std::string("SELECT FName, FForbidden, CASE WHEN FUserID < 16384 OR EXISTS (SELECT 1 FROM "
                                        "t_Group WHERE FGroupID = t_User.FUserID) THEN 1 ELSE 0 END") +
                            (options.uuid ? "" : ", (SELECT FValue FROM t_WayfindMeta WHERE FKey = 'InstanceID')") +
                            " FROM t_User WHERE FUserID = ?");
    st.bind(1, session.userId);
    const std::string who = "User " + std::to_string(session.userId);
    if (!st.step()) fail(who + " does not exist in " + session.databasePath + ".");
    if (st.int32(2) != 0) fail(who + " (" + st.text(0) + ") is a group or a system account, not a user who logs in.");
    if (st.int32(1) != 0) fail(who + " is forbidden to log in.");
    session.userName = st.text(0);
    if (!options.uuid && !st.isNull(3)) instance = st.text(3);
  }

  if (!isLanguageCode(options.language))
    fail(std::string("The language (--lang or WAYFIND_LANGUAGE) is ") + kLanguageCodes + ", not " + options.language + ".");
  erp::client::setLoginLanguage(options.language);
  if (options.cacheDir) store::SetCacheFolder(*options.cacheDir);

  const std::string uuid = options.uuid ? *options.uuid : instance ? *instance : erp::storage::instanceId(*conn);
  erp::client::publishLogin(
      erp::client::makeLogin(session.userId, session.userName, options.setupType, uuid));
  return session;
}

}  // namespace wayfind::api
