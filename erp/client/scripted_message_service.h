// A message service for tests: questions take their answers from a queue, and
// every call is recorded in order.
//
//   auto messages = std::make_shared<ScriptedMessageService>();
//   messages->answers = {true, false};          // first question Yes, second No
//   auto previous = api::installMessageService(messages);
//   ... run the code ...
//   EXPECT_EQ(messages->count(ScriptedMessageService::Kind::Warning), 1);
//   api::installMessageService(previous);
//
// When the queue is empty a question is answered with defaultAnswer (No). The file
// test answers true for paths in existingFiles and, unless realFileSystem is false,
// for files that really exist.
#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "erp/api/message_service.h"

namespace wayfind::erp::client {

class ScriptedMessageService : public api::IMessageService {
 public:
  enum class Kind { Question, Warning, Error, FileTest, Information };

  struct Call {
    Kind kind;
    std::string text;  // question or warning text, path of a file test, description of an error
    std::optional<platform::AutomationError> error;  // the error of a report
    bool answer = false;                             // what a question or file test answered
  };

  std::deque<bool> answers;
  bool defaultAnswer = false;
  std::set<std::string> existingFiles;
  bool realFileSystem = true;
  std::vector<Call> calls;

  bool askYesNo(const std::string& text) override;
  void warn(const std::string& text) override;
  void reportError(const platform::AutomationError& error) override;
  bool fileExists(const std::string& path) override;
  void inform(const std::string& text) override;

  // The recorded calls of one kind, and their number.
  std::vector<Call> callsOf(Kind kind) const;
  int count(Kind kind) const;
  // The texts of the recorded warnings and questions.
  std::vector<std::string> warnings() const;
  std::vector<std::string> questions() const;
  std::vector<std::string> informations() const;
};

}  // namespace wayfind::erp::client
