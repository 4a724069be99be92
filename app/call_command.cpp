// wayfind call: any public method of the component's classes, by name.
#include "app/commands.h"

#include "app/call_arguments.h"
#include "app/json_writer.h"
#include "app/text_output.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"

namespace wayfind::app {

using platform::AutomationError;
using platform::Variant;

int runCall(const Invocation& inv, std::ostream& out) {
  // The class may be named with the component's prefix, as a host names it.
  std::string_view target = inv.positional[0];
  if (target.starts_with("WayfindInfo.")) target.remove_prefix(std::string_view("WayfindInfo.").size());
  auto dot = target.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == target.size())
    throw UsageError{"Name the method as CLASS.METHOD, for example DatasInfo.GetTopClass."};
  const std::string className = "WayfindInfo." + std::string(target.substr(0, dot));
  const std::string method(target.substr(dot + 1));

  platform::Args args;
  for (size_t i = 1; i < inv.positional.size(); ++i) args.push_back(parseCallArgument(inv.positional[i]));
  const platform::Args before = args;

  auto object = platform::Registry::instance().create(className);
  auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(object);
  if (!dispatch) throw AutomationError(platform::err::kNoSuchMethod, className, "The class cannot be called by name.");
  Variant result = dispatch->invoke(method, args);

  if (inv.json) {
    std::string changed = "{";
    bool first = true;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == before[i] && !args[i].isObject()) continue;
      if (!first) changed += ',';
      changed += jsonString(std::to_string(i + 1)) + ":" + toJson(args[i]);
      first = false;
    }
    out << "{\"result\":" << toJson(result) << ",\"arguments\":" << changed << "}}\n";
    return 0;
  }
  out << formatValue(result);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == before[i] && !args[i].isObject()) continue;
    if (args[i].isObject() && args[i].asObject())
      out << "argument " << (i + 1) << ":\n" << formatValue(args[i]);
    else
      out << "argument " << (i + 1) << " = " << valueText(args[i]) << "\n";
  }
  return 0;
}

}  // namespace wayfind::app
