// Call logging through the ERP's logging component. The component is looked for
// once per process; once it says it is disabled it is released and never asked
// again. Failures are swallowed here: logging must not change the outcome of the
// call it records, nor the error that call is raising (which is simply never
// touched, since nothing here throws).
#include "store/call_log.h"

#include "erp/api/logging.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"

namespace wayfind::store {

namespace {

using erp::api::ILog;

std::shared_ptr<ILog> logObject() {
  return std::dynamic_pointer_cast<ILog>(CallLogState::instance().log);
}

void createLogOnce() {
  auto& state = CallLogState::instance();
  if (state.initialised) return;
  state.initialised = true;
  if (state.log) return;
  try {
    state.log = platform::Registry::instance().createAs<ILog>(erp::progid::kLog);
  } catch (...) {
    state.log.reset();
  }
}

}  // namespace

CallLogState& CallLogState::instance() {
  static CallLogState state;
  return state;
}

void CallLogState::reset() {
  log.reset();
  initialised = false;
}

bool IsLogEnabled() {
  auto log = logObject();
  if (!log) return false;
  bool enabled = false;
  try {
    enabled = platform::CBool(log->IsEnabled());
  } catch (...) {
    // A component that cannot say whether it is enabled is treated as disabled.
    enabled = false;
  }
  if (!enabled) CallLogState::instance().log.reset();
  return enabled;
}

int32_t LogStart(const std::string& callName) {
  createLogOnce();
  try {
    if (!IsLogEnabled()) return 0;
    std::string name = callName;
    return platform::CLng(logObject()->LogStart(name));
  } catch (...) {
    return 0;
  }
}

void LogEnd(int32_t handle, int32_t code) {
  try {
    if (!IsLogEnabled()) return;
    int32_t h = handle;
    int32_t c = code;
    logObject()->LogEnd(h, c);
  } catch (...) {
    // The call being recorded has already happened; its end entry is lost.
  }
}

}  // namespace wayfind::store
