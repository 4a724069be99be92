#include "app/call_arguments.h"

#include <cmath>
#include <limits>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"

namespace wayfind::app {

using platform::Variant;

namespace {

std::vector<std::string> splitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == ',') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(current);
  return parts;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

Variant parseCallArgument(const std::string& text) {
  if (text == "-") return Variant();
  if (text == "null") return Variant::null();
  if (platform::iequals(text, "true")) return Variant(true);
  if (platform::iequals(text, "false")) return Variant(false);
  if (startsWith(text, "str:")) return Variant(text.substr(4));
  if (startsWith(text, "dict:")) {
    auto dict = std::make_shared<platform::Dictionary>();
    const std::string body = text.substr(5);
    if (!body.empty()) {
      for (const auto& part : splitCommas(body)) {
        auto eq = part.find('=');
        if (eq == std::string::npos || eq == 0)
          throw platform::AutomationError(platform::err::kTypeMismatch, "wayfind",
                                          "A dictionary entry needs KEY=VALUE: " + part);
        dict->SetValue(part.substr(0, eq), parseCallArgument(part.substr(eq + 1)));
      }
    }
    return Variant(dict);
  }
  if (startsWith(text, "vector:")) {
    auto vec = std::make_shared<platform::Vector>();
    const std::string body = text.substr(7);
    if (!body.empty())
      for (const auto& part : splitCommas(body)) vec->Append(parseCallArgument(part));
    return Variant(vec);
  }
  if (auto n = platform::parseNumber(text); n && std::isfinite(*n) &&
                                              text.find_first_not_of("+-0123456789.eE") == std::string::npos) {
    Variant number;
    if (*n == std::trunc(*n) && *n >= std::numeric_limits<int32_t>::min() &&
        *n <= std::numeric_limits<int32_t>::max() && text.find_first_of(".eE") == std::string::npos)
      number = Variant(static_cast<int32_t>(*n));
    else
      number = Variant(*n);
    // Only a number written the way it prints is taken as one: "007", "1.50" or
    // digits beyond a Double's precision stay the text typed, so a name or help
    // code arrives unchanged (a Long argument still converts the text).
    if (platform::CStr(number) == text) return number;
  }
  return Variant(text);
}

}  // namespace wayfind::app
