#include "erp/client/terminal_message_service.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace wayfind::erp::client {

TerminalMessageService::TerminalMessageService()
    : TerminalMessageService(std::cin, std::cerr, ::isatty(STDIN_FILENO) == 1) {}

TerminalMessageService::TerminalMessageService(std::istream& in, std::ostream& out, bool interactive)
    : in_(in), out_(out), interactive_(interactive) {}

bool TerminalMessageService::askYesNo(const std::string& text) {
  out_ << text << " [y/N] ";
  if (!interactive_) {
    out_ << "N (no terminal)\n" << std::flush;
    return false;
  }
  out_ << std::flush;
  std::string answer;
  if (!std::getline(in_, answer)) {
    out_ << '\n';
    return false;
  }
  const size_t first = answer.find_first_not_of(" \t");
  return first != std::string::npos && (answer[first] == 'y' || answer[first] == 'Y');
}

void TerminalMessageService::warn(const std::string& text) { out_ << text << '\n' << std::flush; }

void TerminalMessageService::inform(const std::string& text) { out_ << text << '\n' << std::flush; }

void TerminalMessageService::reportError(const platform::AutomationError& error) {
  out_ << "error " << error.number();
  if (!error.source().empty()) out_ << " (" << error.source() << ")";
  out_ << ": " << error.description() << '\n' << std::flush;
}

bool TerminalMessageService::fileExists(const std::string& path) {
  return api::QuietMessageService().fileExists(path);
}

}  // namespace wayfind::erp::client
