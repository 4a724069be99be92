// Message boxes of the windows. Every message a window shows goes through the
// installed message service (erp/api/message_service.h), so tests answer them
// with the scripted service; when the windows run, the service installed is
// QtMessageService: Qt message boxes titled with the looked-up "岚舟提示", with a
// question, warning, information or error icon, Yes/No questions answering true
// for Yes.
#pragma once

#include <QWidget>
#include <string>

#include "erp/api/message_service.h"

namespace wayfind::widgets {

// Shorthands for the windows: the installed service's question, warning,
// information and error report.
bool MsgQuestion(const std::string& text);  // true for Yes
void MsgWarning(const std::string& text);
void MsgInformation(const std::string& text);
void MsgError(const platform::AutomationError& error);

class QtMessageService : public erp::api::IMessageService {
 public:
  bool askYesNo(const std::string& text) override;
  void warn(const std::string& text) override;
  void inform(const std::string& text) override;
  // The error's description, then its number under the looked-up "错误号: ".
  void reportError(const platform::AutomationError& error) override;
  bool fileExists(const std::string& path) override;
};

// The window a message box belongs to: the active modal dialog, else the active window.
QWidget* messageParent();

}  // namespace wayfind::widgets
