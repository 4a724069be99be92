// The message service of the command line. A Yes/No question is asked on the
// terminal when standard input is one (an answer starting with y or Y is Yes);
// otherwise, and when input ends, the answer is No. Warnings and errors go to
// standard error; an error shows its number, source and description.
#pragma once

#include <iosfwd>

#include "erp/api/message_service.h"

namespace wayfind::erp::client {

class TerminalMessageService : public api::IMessageService {
 public:
  // Standard input and standard error; questions are asked when stdin is a terminal.
  TerminalMessageService();
  // For tests: questions read from in when interactive, everything written to out.
  TerminalMessageService(std::istream& in, std::ostream& out, bool interactive);

  bool askYesNo(const std::string& text) override;
  void warn(const std::string& text) override;
  void reportError(const platform::AutomationError& error) override;
  bool fileExists(const std::string& path) override;
  void inform(const std::string& text) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  bool interactive_;
};

}  // namespace wayfind::erp::client
