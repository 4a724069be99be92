// wayfind/search.h over the store's function search.
#include "wayfind/search.h"

#include "api/guard.h"
#include "store/search.h"
#include "wayfind/session.h"

namespace wayfind {

SearchResult search(Session& session, std::string_view text, size_t limit) {
  session.user();
  return api::guarded([&] {
    const auto found = store::SearchFunctions(text, limit);
    SearchResult result;
    result.more = found.more;
    for (const auto& row : found.rows) {
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
