// How the public API (include/wayfind/) meets the code below it: every call runs
// inside guarded(), which turns the component's AutomationError (and anything
// else thrown) into wayfind::Error, so no internal type crosses the API; and the
// store's answers become the API's plain structs.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "platform/automation/automation_error.h"
#include "wayfind/error.h"

namespace wayfind::api {

inline constexpr const char* kApiSource = "WayfindInfo";

// Inline, so the windows' public library (api/windows/) has them too: nothing of
// the core's public library is exported but the API.
[[noreturn]] inline void rethrowAsError(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const platform::AutomationError& e) {
    throw Error(e.number(), e.source(), e.description());
  } catch (const std::exception& e) {
    throw Error(platform::err::kInvalidProcedureCall, kApiSource, e.what());
  } catch (...) {
    throw Error(platform::err::kInvalidProcedureCall, kApiSource, "An unknown failure.");
  }
}

// Error 5 from the API itself: a call made wrongly, with what to do instead.
[[noreturn]] inline void failCall(const std::string& description) {
  throw Error(platform::err::kInvalidProcedureCall, kApiSource, description);
}

// The open session's number, 0 while none is open: each Session::open takes a
// new one, so an object made in a session that has closed is told from the
// objects of the session open now (objects.cpp).
uint64_t openSessionNumber();

template <class F>
auto guarded(F&& call) -> decltype(call()) {
  try {
    return call();
  } catch (const wayfind::Error&) {
    throw;
  } catch (...) {
    rethrowAsError(std::current_exception());
  }
}

}  // namespace wayfind::api
