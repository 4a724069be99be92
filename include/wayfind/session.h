// A Session is the host's one way in: it opens the ERP database, logs a user in
// and makes every class of the component ready, in one call.
//
//   wayfind::Session session = wayfind::Session::open({
//       .database = "/var/lib/erp/company.db",   // or "postgresql://host/erp"
//       .user = 16385,                           // 0: the first active user
//       .language = "en"});                      // "chs", "cht" or "en"
//   for (const wayfind::Node& top : wayfind::topClasses(session)) ...
//
// Everything else in this folder takes the session, so nothing can be called
// before it is open. The component keeps one navigation store per process, so a
// process has at most one open session: opening a second while the first is
// still alive throws Error 5, naming the one that is open. Destroying the session
// (or moving it into one that is destroyed) closes it; another may then be opened,
// for another user or database.
//
// An SQLite file that does not exist yet is made with the demo company in it; a
// PostgreSQL database must have been made before ("wayfind db init").
//
// A session is used from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wayfind/error.h"
#include "wayfind/export.h"

namespace wayfind {

struct SessionOptions {
  // The ERP database: an SQLite file, or a postgresql:// location. Empty: the
  // one WAYFIND_DB names, else the user's data folder's.
  std::string database{};
  // The user logged in (an ERP user id, 16384 and above; never a group); 0: the
  // one WAYFIND_USER names, else the first active one.
  int32_t user = 0;
  // The language of every name the session reads: a language code, "chs"
  // (simplified Chinese), "cht" (traditional Chinese) or "en". Another code
  // throws Error 5 listing the codes there are.
  std::string language = "chs";
  // Where the navigation tables are kept between runs. Empty: the folder
  // WAYFIND_CACHE_DIR names, else (a library not installed, as in its build
  // tree) a writable folder beside it, else the user's cache folder
  // ($XDG_CACHE_HOME/wayfind).
  std::string cacheFolder{};
};

class WAYFIND_EXPORT Session {
 public:
  // Opens the session. Throws Error for a database that cannot be opened, a user
  // that does not exist or may not log in, an unknown language, or when another
  // session is open in the process.
  static Session open(const SessionOptions& options);

  Session(Session&& other) noexcept;
  Session& operator=(Session&& other) noexcept;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();  // closes the session (a moved-from one has nothing to close)

  // What the session was opened on. A moved-from session throws Error 5.
  const std::string& database() const;  // as shown to a user (no password)
  int32_t user() const;
  const std::string& userName() const;
  const std::string& language() const;
  bool createdDatabase() const;  // the file was made by this open, with the demo company

  // Reads the navigation tree again from the database, for changes made by
  // other programs, or through the late-bound objects of objects.h. Changes made
  // through the other calls of this API show at once without it.
  void reload();

 private:
  struct State;
  explicit Session(std::unique_ptr<State> state);
  const State& state() const;
  std::unique_ptr<State> state_;
};

}  // namespace wayfind
