// The shape of a criteria text: the text with every number literal replaced by
// a mark. The store sets texts that differ only in their identifiers
// ("FSubFuncID = 12", "FSubFuncID = 13", ...): they share a shape, so they parse
// into the same tree and bind to the same fields, and only their numbers need
// converting. The record set keeps one bound tree per shape (recordset_query.cpp).
//
// The lexer here only decides where the numbers are; whether the text is valid
// is still the parser's business. The record set trusts a shape only after the
// parser, given a text of that shape, found its number literals in exactly the
// places the lexer found them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/recordset/criteria_parser.h"

namespace wayfind::platform::criteria {

// The byte that stands for a number in a shape.
inline constexpr char kNumberMark = '\x01';

// Writes text's shape into shape and the places of its numbers into numbers
// (both cleared first). False when the text has no usable shape: it holds the
// mark byte itself, or a number the parser would refuse ("1x", "-", ".e"); such
// a text has to be parsed as it is.
bool shapeOf(std::string_view text, std::string& shape, std::vector<Span>& numbers);

}  // namespace wayfind::platform::criteria
