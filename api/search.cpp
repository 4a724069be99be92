// wayfind/search.h over the store's function search.
#include "wayfind/search.h"

#include <algorithm>
#include <cstdint>

#include "api/guard.h"
#include "store/search.h"
#include "wayfind/session.h"

namespace wayfind {

SearchResult search(Session& session, std::string_view text, size_t limit) {
  session.user();
  return api::guarded([&] {
    // The store's answer holds the levels a text names too (a console lists
    // them); a host asked for functions. Asked again past the levels, until
    // limit functions are in or no more match. (With a limit of 0 one is looked
    // for, to say whether there are more.)
    store::FunctionSearchResult found;
    size_t functions = 0;
    const size_t want = std::max<size_t>(limit, 1);
    for (size_t ask = want;;) {
      found = store::SearchFunctions(text, ask);
      functions = static_cast<size_t>(
          std::count_if(found.rows.begin(), found.rows.end(), [](const auto& row) { return row.depth == 4; }));
      const size_t levels = found.rows.size() - functions;
      // The store gave all it found (its "more" may still say a typing error away
      // could find others), or enough: asking for more brings nothing new.
      if (functions >= want || !found.more || found.rows.size() < ask || levels == 0 || ask > SIZE_MAX - levels)
        break;
      ask += levels;
    }
    SearchResult result;
    result.more = found.more || functions > limit;
    for (const auto& row : found.rows) {
      if (row.depth != 4) continue;
      if (result.functions.size() == limit) break;
      Found f;
      f.function.level = Level::DetailFunction;
      f.function.id = row.detailFuncId;
      f.function.parentId = row.subFuncId;
      f.function.name = row.name;
      f.function.helpCode = row.helpCode;
      f.function.className = row.className;
      f.function.classParam = row.classParam;
      f.path = row.path;
      f.matched = row.matched;
      result.functions.push_back(std::move(f));
    }
    return result;
  });
}

}  // namespace wayfind
