// Timing of the component's public calls through the ERP's logging component.
// Logging is optional and never changes the outcome of the call it records: these
// functions never throw.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/object.h"

namespace wayfind::store {

// A handle for the call's end entry; 0 when logging is off or failed.
int32_t LogStart(const std::string& callName);
bool IsLogEnabled();
void LogEnd(int32_t handle, int32_t code);

// The process-wide logging state: creation of the logging component is tried
// once; a component that answers IsEnabled false is released for good.
class CallLogState {
 public:
  static CallLogState& instance();
  void reset();
  platform::ObjectPtr log;
  bool initialised = false;
};

}  // namespace wayfind::store
