// Plain-text output of the command line: values, record sets as aligned tables
// (wide characters take two columns), dictionaries as "key = value" lines.
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace wayfind::app {

// Terminal columns a UTF-8 text takes (CJK and full-width forms count two).
size_t displayWidth(std::string_view text);
// A stored text as it may go to a terminal: control characters (C0, DEL, C1),
// which could move the cursor, recolour the terminal or start a line of their own
// in a listing, become U+FFFD.
std::string printable(std::string_view text);
// A value as one line of text; objects by kind and size.
std::string valueText(const platform::Variant& value);
// A value in full: a record set as a table, a dictionary as lines, a vector as a
// numbered list, anything else as valueText.
std::string formatValue(const platform::Variant& value);

}  // namespace wayfind::app
