// Parser of the ADO criteria language used by Recordset filters and Find:
//   expression := term { OR term }        term := factor { AND factor }
//   factor     := "(" expression ")" | field operator value
//   field      := name | "[" any text but "]" "]"
//   operator   := = | <> | < | > | <= | >= | LIKE
//   value      := number | 'text' ('' is one quote) | #date# | NULL
// Keywords in any letter case; AND binds tighter than OR; spaces anywhere between
// tokens. Malformed text raises 3001 with a description naming the position.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/recordset/criteria.h"

namespace wayfind::platform::criteria {

// Deepest parenthesis nesting accepted; deeper text is rejected as malformed so
// that hostile input cannot exhaust the stack.
inline constexpr int kMaxNesting = 64;

Node parse(std::string_view text);

// Where a number literal stands in a criteria text.
struct Span {
  size_t offset = 0;
  size_t length = 0;
};

// parse(), also giving the place of every number literal, in the order of the
// text (which is the order of the clauses in the tree).
Node parse(std::string_view text, std::vector<Span>& numberSpans);

}  // namespace wayfind::platform::criteria
