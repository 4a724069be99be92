// The message service of the ERP client library: a Yes/No question, a warning, a
// report of an error, and a file test. One process-wide service is installed: the
// windows install message boxes, the command line a terminal service, tests a
// scripted one. Until one is installed a quiet service answers (No, nothing shown,
// real file test).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/automation/automation_error.h"

namespace wayfind::erp::api {

class IMessageService {
 public:
  virtual ~IMessageService() = default;
  virtual bool askYesNo(const std::string& text) = 0;   // true for Yes
  virtual void warn(const std::string& text) = 0;
  virtual void reportError(const platform::AutomationError& error) = 0;
  virtual bool fileExists(const std::string& path) = 0;
  // A notice that needs no answer (windows tell of a finished task); services
  // that have nowhere to show it ignore it.
  virtual void inform(const std::string& text) { (void)text; }
};

class QuietMessageService : public IMessageService {
 public:
  bool askYesNo(const std::string&) override { return false; }
  void warn(const std::string&) override {}
  void reportError(const platform::AutomationError&) override {}
  bool fileExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
  }
};

inline std::shared_ptr<IMessageService>& installedMessageService() {
  static std::shared_ptr<IMessageService> service = std::make_shared<QuietMessageService>();
  return service;
}

// The installed service.
inline IMessageService& messages() { return *installedMessageService(); }

// Installs a service (nullptr puts the quiet one back); returns the previous one.
inline std::shared_ptr<IMessageService> installMessageService(std::shared_ptr<IMessageService> s) {
  auto previous = installedMessageService();
  installedMessageService() = s ? std::move(s) : std::make_shared<QuietMessageService>();
  return previous;
}

}  // namespace wayfind::erp::api
