// The wayfind program plays the host of the component: it registers the ERP's
// components and the component's public classes, opens the database (creating the
// demo company on the first run), publishes the login properties of the chosen
// user, and then uses the component only through its public classes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace wayfind::app {

struct HostOptions {
  std::optional<std::string> database;   // --db; else WAYFIND_DB or the data folder
  std::optional<int32_t> userId;         // --user; else WAYFIND_USER or the first active user
  std::string setupType = "Industry";    // --setup-type
  std::string language = "chs";          // --lang chs|en|cht
  std::optional<std::string> uuid;       // --uuid; else the database's instance id
  std::optional<std::string> cacheDir;   // --cache-dir
  std::optional<std::string> callLog;    // --call-log
};

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
void registerEverything();

}  // namespace wayfind::app
