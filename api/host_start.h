// Starting a host of the component in one call: it registers the ERP's
// components and the component's public classes, opens the database (creating the
// demo company on the first run) and publishes the login properties of the chosen
// user; after it, the host uses the component only through its public classes.
// The wayfind program (app/host.h) and the public wayfind::Session
// (include/wayfind/session.h) both start this way, so neither can leave a step out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace wayfind::api {

struct HostOptions {
  std::optional<std::string> database;   // --db; else WAYFIND_DB or the data folder
  std::optional<int32_t> userId;         // --user; else WAYFIND_USER or the first active user
  std::string setupType = "Industry";    // --setup-type
  std::string language = "chs";          // --lang chs|en|cht (kLanguageCodes)
  std::optional<std::string> uuid;       // --uuid; else the database's instance id
  std::optional<std::string> cacheDir;   // --cache-dir
  std::optional<std::string> callLog;    // --call-log
};

// The language codes a login may have, as an error message lists them.
inline constexpr const char* kLanguageCodes = "chs, en or cht";
bool isLanguageCode(const std::string& code);

struct HostSession {
  std::string databasePath;
  bool createdDatabase = false;
  int32_t userId = 0;
  std::string userName;
};

// Registers everything, prepares the database and publishes the login. Raises
// AutomationError with a clear description for an unknown or forbidden user or a
// database that cannot be opened.
// onCreated hears of a new database (the demo company) as soon as it exists, so the
// user learns where it is even when a later step of the start fails.
HostSession startHost(const HostOptions& options,
                      const std::function<void(const std::string& databasePath)>& onCreated = {});

// Registers the ERP's components and the component's public classes (no login).
// Later calls register again, which changes nothing.
void registerEverything();

}  // namespace wayfind::api
