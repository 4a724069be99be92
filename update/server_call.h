// Helpers for the forwarding procedures: the update component created for one call,
// and the three failure policies of the public update class.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "erp/api/server_datas_update.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"

namespace wayfind::update {

// A new "ZelWayfind.DatasUpdate" for one call; released when the pointer goes.
inline std::shared_ptr<erp::api::IServerDatasUpdate> createUpdateServer() {
  return platform::Registry::instance().createAs<erp::api::IServerDatasUpdate>(erp::progid::kServerDatasUpdate);
}

// Whatever a server call threw reaches callers as an AutomationError.
using platform::asAutomationError;

// Discarded: the failure is dropped. Returns false when the call failed.
template <class F>
bool discardFailure(F&& call) noexcept {
  try {
    call();
    return true;
  } catch (...) {
    return false;
  }
}

// Reported: the failure reaches the caller as the server raised it.
template <class F>
decltype(auto) reportFailure(F&& call) {
  try {
    return call();
  } catch (const platform::AutomationError&) {
    throw;
  } catch (...) {
    throw asAutomationError(std::current_exception(), erp::progid::kServerDatasUpdate);
  }
}

// Re-raised: the same number, source and description; help file and context are
// not carried over.
template <class F>
decltype(auto) reraiseFailure(F&& call) {
  try {
    return call();
  } catch (const platform::AutomationError& e) {
    throw e.withoutHelp();
  } catch (...) {
    throw asAutomationError(std::current_exception(), erp::progid::kServerDatasUpdate).withoutHelp();
  }
}

}  // namespace wayfind::update
