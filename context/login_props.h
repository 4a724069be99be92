// The logged-in user's properties as the host publishes them through the shared
// properties component, keyed by this process's identifier; context help on F1;
// two small text helpers for user-entered names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace wayfind::context {

// One login property. For "PropsString" a missing language entry is appended for
// the language detected at this moment. Failures (no shared-properties component)
// reach the caller.
platform::Variant GetShareProperty(const std::string& name);
std::string PropsString();
std::string UserName();
std::string SetupType();
std::string UUID();
// The "T8Version" entry of PropsString; empty text when missing.
std::string GetVersionText();
// The value of the first entry "key=value" of text (key found in any letter case,
// entries separated by separator). Never throws; empty text when absent.
std::string GetKeyValue(const std::string& text, const std::string& key, const std::string& separator);
// Context help: key code 112 (F1) shows the help topic and answers true; any other
// key answers false. Never throws.
bool ShowHELP(int16_t keyCode, int32_t helpContext, const std::string& text1, int32_t long2,
              const std::string& text3, int32_t long4);
// Carriage returns and line feeds become spaces; the result is trimmed.
std::string RemoveLineBreaks(const std::string& text);
std::string RemoveLineBreaks(std::string&& text);  // in the text's own room
// The same as a view: of text itself when no break lies inside the trimmed
// text, otherwise of room, which then holds the result.
std::string_view RemoveLineBreaks(std::string_view text, std::string& room);
// True when a user-entered text holds a character not accepted in names and help
// codes (the apostrophe).
bool HasInvalidChar(const std::string& text);

// The help component, kept for the life of the process once created. reset() is
// for tests.
class HelpState {
 public:
  static HelpState& instance();
  void reset();
  platform::ObjectPtr help;
};

}  // namespace wayfind::context
