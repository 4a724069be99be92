#include "platform/automation/dispatch.h"

#include "platform/automation/conversions.h"

namespace wayfind::platform {

DispatchTable& DispatchTable::add(std::string name, size_t maxArgs, Handler handler) {
  std::string key = toUpperAscii(name);
  if (!byUpperName_.count(key)) order_.push_back(name);
  byUpperName_[key] = Method{name, maxArgs, std::move(handler)};
  return *this;
}

Variant DispatchTable::invoke(std::string_view name, Args& args, std::string_view source) const {
  auto it = byUpperName_.find(toUpperAscii(name));
  if (it == byUpperName_.end()) raise(err::kNoSuchMethod, std::string(source));
  const Method& m = it->second;
  if (args.size() > m.maxArgs)
    throw AutomationError(err::kWrongArgumentCount, std::string(source),
                          m.name + " takes " + (m.maxArgs == 0 ? std::string("no") : std::to_string(m.maxArgs)) +
                              " argument" + (m.maxArgs == 1 ? "" : "s") + ", not " + std::to_string(args.size()) + ".");
  return m.handler(args);
}

Variant& arg(Args& args, size_t index) {
  if (index >= args.size()) raise(err::kArgumentNotOptional, "Dispatch");
  return args[index];
}

Variant optionalArg(const Args& args, size_t index, const Variant& defaultValue) {
  if (index >= args.size() || args[index].isEmpty()) return defaultValue;
  return args[index];
}

bool hasArg(const Args& args, size_t index) { return index < args.size() && !args[index].isEmpty(); }

}  // namespace wayfind::platform
