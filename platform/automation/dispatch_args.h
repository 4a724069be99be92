// Typed reading of late-bound arguments, with the host's conversions: a Long
// argument goes through CLng, a text through CStr, an object argument must be
// Empty (not passed), Nothing or an object of the expected class (13 otherwise).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"

namespace wayfind::platform {

inline int32_t longArg(Args& args, size_t i) { return CLng(arg(args, i)); }
inline int32_t longArgOr(const Args& args, size_t i, int32_t def) {
  return hasArg(args, i) ? CLng(args[i]) : def;
}
inline bool boolArgOr(const Args& args, size_t i, bool def) { return hasArg(args, i) ? CBool(args[i]) : def; }
inline std::string textArg(Args& args, size_t i) { return CStr(arg(args, i)); }
inline std::string textArgOr(const Args& args, size_t i, const std::string& def) {
  return hasArg(args, i) ? CStr(args[i]) : def;
}

template <class T>
std::shared_ptr<T> objectArg(const Args& args, size_t i) {
  if (i >= args.size() || args[i].isEmpty()) return nullptr;
  if (!args[i].isObject()) raise(err::kTypeMismatch, "Dispatch");
  if (!args[i].asObject()) return nullptr;
  auto typed = args[i].objectAs<T>();
  if (!typed) raise(err::kTypeMismatch, "Dispatch");
  return typed;
}

// An object argument that is not optional: left off the list it raises 449 like any
// other required argument; an Empty one stays "not passed" and reads as Nothing.
template <class T>
std::shared_ptr<T> requiredObjectArg(Args& args, size_t i) {
  arg(args, i);
  return objectArg<T>(args, i);
}

// Writes a by-reference result back into its argument slot (extending the
// argument list when the caller left a trailing optional argument out).
inline void writeBack(Args& args, size_t i, const Variant& v) {
  if (i >= args.size()) return;
  args[i] = v;
}

}  // namespace wayfind::platform
