// Finding a function by what a user types: part of its name, its help code, or
// the pinyin of its Chinese name ("pzlr" finds 凭证录入).
//
//   for (const wayfind::Found& f : wayfind::search(session, "voucher", 20).functions)
//     std::cout << f.function.name << "   " << f.path << "\n";
//
// Only functions the user's tree shows are found (every level above them
// visible), best first: an exact help code, then names that begin with the text,
// then names that hold it, then near misses. A console may call it on every
// keystroke: after the first call, a search reads nothing but an index in memory
// until the tree changes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "wayfind/error.h"
#include "wayfind/export.h"
#include "wayfind/tree.h"

namespace wayfind {

class Session;

struct Found {
  Node function;        // a detail function
  std::string path;     // "top class > subsystem > sub-function", in the session's language
  std::string matched;  // the name or help code the text matched, as written
};

struct SearchResult {
  std::vector<Found> functions;
  bool more = false;  // more functions match than limit allowed
};

// At most limit functions that text names; a blank text finds nothing.
WAYFIND_EXPORT SearchResult search(Session& session, std::string_view text, size_t limit = 50);

}  // namespace wayfind
