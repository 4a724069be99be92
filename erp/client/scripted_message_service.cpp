#include "erp/client/scripted_message_service.h"

namespace wayfind::erp::client {

bool ScriptedMessageService::askYesNo(const std::string& text) {
  bool answer = defaultAnswer;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  calls.push_back({Kind::Question, text, std::nullopt, answer});
  return answer;
}

void ScriptedMessageService::warn(const std::string& text) { calls.push_back({Kind::Warning, text, std::nullopt}); }

void ScriptedMessageService::reportError(const platform::AutomationError& error) {
  calls.push_back({Kind::Error, error.description(), error});
}

bool ScriptedMessageService::fileExists(const std::string& path) {
  bool answer = existingFiles.count(path) > 0 || (realFileSystem && api::QuietMessageService().fileExists(path));
  calls.push_back({Kind::FileTest, path, std::nullopt, answer});
  return answer;
}

void ScriptedMessageService::inform(const std::string& text) {
  calls.push_back({Kind::Information, text, std::nullopt});
}

std::vector<std::string> ScriptedMessageService::informations() const {
  std::vector<std::string> out;
  for (const auto& c : callsOf(Kind::Information)) out.push_back(c.text);
  return out;
}

std::vector<ScriptedMessageService::Call> ScriptedMessageService::callsOf(Kind kind) const {
  std::vector<Call> out;
  for (const auto& c : calls)
    if (c.kind == kind) out.push_back(c);
  return out;
}

int ScriptedMessageService::count(Kind kind) const { return static_cast<int>(callsOf(kind).size()); }

std::vector<std::string> ScriptedMessageService::warnings() const {
  std::vector<std::string> out;
  for (const auto& c : callsOf(Kind::Warning)) out.push_back(c.text);
  return out;
}

std::vector<std::string> ScriptedMessageService::questions() const {
  std::vector<std::string> out;
  for (const auto& c : callsOf(Kind::Question)) out.push_back(c.text);
  return out;
}

}  // namespace wayfind::erp::client
