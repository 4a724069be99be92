// A small JSON writer for the command line's --json output: values, record sets
// (an array of row objects), dictionaries (objects) and vectors (arrays).
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace wayfind::app {

std::string jsonString(std::string_view text);
// A Variant as JSON: Empty and Null are null, numbers and Booleans as such, dates
// and texts as strings, objects by their kind.
std::string toJson(const platform::Variant& value);

}  // namespace wayfind::app
