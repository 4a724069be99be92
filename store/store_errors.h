// Errors the store raises itself when a table or an answer it needs is missing.
#pragma once

#include <string>

#include "platform/automation/automation_error.h"

namespace wayfind::store {

inline constexpr int32_t kObjectNotSet = 91;  // "Object variable or With block variable not set"
inline constexpr const char* kStoreSource = "WayfindInfo";

// Raises 91: a table slot is empty, or the server answered no object.
[[noreturn]] inline void raiseNotSet(const std::string& what) {
  platform::raise(kObjectNotSet, kStoreSource,
                  "Object variable or With block variable not set (" + what + ")");
}

}  // namespace wayfind::store
