// Deep comparison of values for the container tests: record sets, dictionaries
// and vectors compare by content (fields, rows, keys in order, exact value
// types), everything else with Variant's ==. Answers a description of the first
// difference, or empty text when the two are the same.
#pragma once

#include <string>

#include "platform/automation/variant.h"

namespace wayfind::platform::testing {

std::string firstDifference(const Variant& expected, const Variant& actual);

}  // namespace wayfind::platform::testing
