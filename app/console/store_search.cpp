// The console's search box on the store's tree search: an index of the user's
// visible tree, built from the loaded tables and built again only when the store
// holds other tables, so a keystroke reads nothing but the index.
#include "app/console/function_search.h"
#include "store/search.h"
#include "store/search_habits.h"

#include <chrono>

namespace wayfind::app::console {

namespace {

static_assert(static_cast<int>(SearchHit::Matched::Pinyin) == static_cast<int>(store::MatchedBy::Pinyin) &&
              static_cast<int>(SearchHit::Matched::PinyinInitials) == static_cast<int>(store::MatchedBy::PinyinInitials) &&
              static_cast<int>(SearchHit::Matched::Name) == static_cast<int>(store::MatchedBy::Name) &&
              static_cast<int>(SearchHit::Matched::Level) == static_cast<int>(store::MatchedBy::Level));

class StoreSearch : public FunctionSearch {
 public:
  std::vector<SearchHit> find(const std::string& text, size_t limit) override {
    std::vector<SearchHit> hits;
    for (auto& row : store::SearchFunctions(text, limit).rows) {
      SearchHit hit;
      hit.depth = row.depth;
      hit.topClassId = row.topClassId;
      hit.subSysId = row.subSysId;
      hit.subFuncId = row.subFuncId;
      hit.detailFuncId = row.detailFuncId;
      hit.name = std::move(row.name);
      hit.helpCode = std::move(row.helpCode);
      hit.path = std::move(row.path);
      hit.matchedBy = static_cast<SearchHit::Matched>(row.matchedBy);
      hit.matched = std::move(row.matched);
      hit.typo = row.rank == store::SearchRank::Typo;
      hits.push_back(std::move(hit));
    }
    return hits;
  }
  void functionStarted(int32_t detailFuncId) override {
    // The start itself has happened; a record the middle tier could not keep
    // still counts in this session.
    try {
      store::SearchHabits::instance().recordStart(detailFuncId);
    } catch (const std::exception&) {
    }
  }
  // The index notices new tables on its own.
  void treeChanged() override {}
  bool prepareStep() override { return store::FunctionSearch::instance().prepareStep(std::chrono::milliseconds(8)); }
};

}  // namespace

std::unique_ptr<FunctionSearch> makeFunctionSearch() { return std::make_unique<StoreSearch>(); }

}  // namespace wayfind::app::console
