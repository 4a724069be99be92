// Parser of the ADO criteria language used by Recordset filters and Find:
//   expression := term { OR term }        term := factor { AND factor }
//   factor     := "(" expression ")" | field operator value
//   field      := name | "[" any text but "]" "]"
//   operator   := = | <> | < | > | <= | >= | LIKE
//   value      := number | 'text' ('' is one quote) | #date# | NULL
// Keywords in any letter case; AND binds tighter than OR; spaces anywhere between
// tokens. Malformed text raises 3001 with a description naming the position.
#pragma once

#include <memory>
#include <string_view>

#include "platform/recordset/criteria.h"

namespace wayfind::platform::criteria {

// Deepest parenthesis nesting accepted; deeper text is rejected as malformed so
// that hostile input cannot exhaust the stack.
inline constexpr int kMaxNesting = 64;

Node parse(std::string_view text);

// parse() with a process-wide cache keyed by the exact text, so each distinct
// filter is parsed once. Malformed texts are not cached.
std::shared_ptr<const Node> parseCached(std::string_view text);

}  // namespace wayfind::platform::criteria
