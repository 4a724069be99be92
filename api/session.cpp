// wayfind::Session: api::startHost for a host, one session per process.
#include "wayfind/session.h"

#include <atomic>
#include <mutex>

#include "api/guard.h"
#include "api/host_start.h"
#include "context/language.h"
#include "erp/storage/database.h"
#include "platform/automation/process_end.h"
#include "store/data_info.h"
#include "store/datas_info.h"
#include "store/search.h"

namespace wayfind {

struct Session::State {
  SessionOptions options;
  api::HostSession host;
};

namespace {

// Which session is open in the process, for the error that refuses a second one.
struct OpenSession {
  std::mutex mutex;
  bool open = false;
  std::string description;
  uint64_t opened = 0;                 // sessions opened so far
  std::atomic<uint64_t> number{0};     // the open one's, 0: none
};
OpenSession& openSession() {
  static OpenSession s;
  return s;
}

// The process-wide state a session leaves behind (the loaded tables, the cached
// language, the search index), so the next session reads its own.
void forgetSessionState() {
  store::FunctionSearch::instance().reset();
  store::DataInfo::instance().reset();
  context::LanguageState::instance().reset();
}

}  // namespace

namespace api {
uint64_t openSessionNumber() { return openSession().number.load(); }
}  // namespace api

Session Session::open(const SessionOptions& options) {
  auto& guard = openSession();
  std::lock_guard lock(guard.mutex);
  if (guard.open)
    api::failCall("A session is already open in this process (" + guard.description +
                  "); destroy that wayfind::Session before opening another.");
  if (!api::isLanguageCode(options.language))
    api::failCall(std::string("SessionOptions::language is ") + api::kLanguageCodes + ", not \"" + options.language +
                  "\".");
  auto state = std::make_unique<State>();
  state->options = options;
  api::guarded([&] {
    api::HostOptions host;
    // What a session leaves unset is the default again, never what the session
    // before it chose: an empty database is WAYFIND_DB's or the data folder's, an
    // empty cache folder the user's cache folder.
    if (options.database.empty())
      erp::storage::CurrentDatabase::clear();
    else
      host.database = options.database;
    if (options.user != 0) host.userId = options.user;
    host.language = options.language;
    host.cacheDir = options.cacheFolder;
    forgetSessionState();
    erp::storage::CurrentDatabase::forgetConnections();
    state->host = api::startHost(host);
  });
  guard.open = true;
  guard.number = ++guard.opened;
  guard.description = "user " + std::to_string(state->host.userId) + " on " + state->host.databasePath;
  return Session(std::move(state));
}

Session::Session(std::unique_ptr<State> state) : state_(std::move(state)) {}
Session::Session(Session&& other) noexcept = default;

Session& Session::operator=(Session&& other) noexcept {
  if (this != &other) {
    Session closing(std::move(*this));
    state_ = std::move(other.state_);
  }
  return *this;
}

Session::~Session() {
  if (!state_) return;
  // A session kept in a static, ended at exit: the component's objects may be
  // gone already, and nothing is left to forget.
  if (platform::ProcessEnding()) return;
  auto& guard = openSession();
  std::lock_guard lock(guard.mutex);
  forgetSessionState();
  // The database is closed as the session ends (by this thread now, by any
  // other at its next call): a host may put another file in its place before
  // the next session, and a connection left open would write into that.
  erp::storage::CurrentDatabase::forgetConnections();
  erp::storage::releaseThreadConnections();
  guard.open = false;
  guard.number = 0;
  guard.description.clear();
}

const Session::State& Session::state() const {
  if (!state_) api::failCall("This wayfind::Session was moved from; use the session it was moved into.");
  return *state_;
}

const std::string& Session::database() const { return state().host.databasePath; }
int32_t Session::user() const { return state().host.userId; }
const std::string& Session::userName() const { return state().host.userName; }
const std::string& Session::language() const { return state().options.language; }
bool Session::createdDatabase() const { return state().host.createdDatabase; }

void Session::reload() {
  state();
  api::guarded([] { store::newDatasInfo()->RegetDataInfo(); });
}

}  // namespace wayfind
