// Finding a detail function by part of its name, its help code or the pinyin of
// its Chinese names, over the tree the logged-in user sees: the user's own names
// and items merged over the template, only the nodes of the current account type,
// and only where every level from the top class down is visible. A console calls
// SearchFunctions on every keystroke.
//
// The answer comes from a SearchIndex made from the store's loaded tables. The
// index in memory serves while the store's slots hold the tables it was made
// from, for the same account type and IsBOSQuery flag. When they change
// (RegetDataInfo or Initial loaded a new version, ClearCache emptied them), the
// next search first looks for an index saved beside the cache files for the same
// template and user versions, and uses its bytes where they lie; only when there
// is none is the index made again from the tables, and saved. While the server's
// versions stay the same, no keystroke reads anything but the index.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/recordset/recordset.h"
#include "platform/navigation/function_use.h"
#include "store/search_index.h"

namespace wayfind::store {

// One function found, with what a console needs to show it and start it; or a
// level above the functions (depth below 4), whose own ids end the path.
struct FunctionSearchRow {
  int depth = 4;            // 1 top class, 2 subsystem, 3 sub-function, 4 detail function
  SearchRank rank = SearchRank::Contains;
  MatchedBy matchedBy = MatchedBy::Name;
  std::string matched;      // the help code or name (as written) that the text matched
  int32_t topClassId = 0;
  int32_t subSysId = 0;
  int32_t subFuncId = 0;
  int32_t detailFuncId = 0;
  std::string name;         // in the user's language; the user's own name when set
  std::string helpCode;
  std::string helpCode1;
  std::string topClassName;
  std::string subSysName;
  std::string subFuncName;
  std::string path;         // "top class > subsystem > sub-function"
  std::string className;
  std::string classParam;
  bool enabled = true;
  std::vector<WordMatch> words;  // what each word of the text found
  double useScore = 0;           // how often and lately the user started it (SearchHabits)
};

struct FunctionSearchResult {
  std::vector<FunctionSearchRow> rows;
  bool more = false;  // further functions match beyond the limit (or may, one typing error away)
};

// At most limit functions (and levels) that the text names, best first
// (SearchRank); at one rank the levels, then the functions the user started
// most often and lately (SearchHabits, when enabled), then the tree's order.
// An empty or blank text finds nothing. Loads the store when a
// slot is empty; failures of the store reach the caller and leave the previous
// index in place.
FunctionSearchResult SearchFunctions(std::string_view text, size_t limit);

// The visible tree's detail functions, read through the store's tree queries in
// the order the tree shows them, named as the tree names them.
struct SearchTree {
  std::vector<SearchPlace> places;
  std::vector<SearchFunction> functions;
};
SearchTree ReadSearchTree();
SearchIndex ReadSearchIndex();

// The file beside the cache files that holds the user's saved index (empty when
// the login has no user id: then nothing is saved).
std::string SearchIndexFilePath();

// The process-wide index and what it was made from.
class FunctionSearch {
 public:
  static FunctionSearch& instance();
  // Forgets the index (tests); waits for a background build to end.
  void reset();

  // The index for the store as it stands now: kept, loaded from its file, or made.
  // An index made here answers at once and is saved by a thread of its own.
  const SearchIndex& current();
  // Waits until the index made last is saved and what making it used is freed.
  void waitForSaving();

  // Gets the index ready without holding up the caller for long (a console calls
  // this when it starts and then between its events until it answers true): a
  // saved index is loaded at once; otherwise the tree is read a few
  // sub-functions per call, for about budget, and the index is made from what was
  // read on a thread of its own. A keystroke before it is ready finishes the
  // work at once. Store failures reach the caller.
  bool prepareStep(std::chrono::microseconds budget);
  // Both: a cache file found damaged as the tree is read is forgotten, and the
  // work goes again on tables fetched anew.

  // Since the last reset: indexes made from the tables, and indexes loaded from
  // their files.
  int buildCount() const { return builds_; }
  int loadCount() const { return loads_; }

  // The index's numbers of the functions the uses hold, found again only when
  // the index or the uses (their generation) change.
  const std::vector<uint32_t>& usedFunctions(const SearchIndex& index, const nav::FunctionUse& uses,
                                             uint64_t generation);

 private:
  const SearchIndex& currentOnce();
  bool prepareStepOnce(std::chrono::microseconds budget);
  // The tables an index was read from, held weakly: a table that is replaced is
  // never mistaken for its successor, even at the same address.
  struct Source {
    std::array<std::weak_ptr<platform::Recordset>, 11> tables;
    int32_t acctTypeCode = 0;
    bool bosQuery = false;
    std::string fileKey;   // what a saved index must have been made for; empty: none is saved
    std::string filePath;
  };
  struct Reading;  // a tree being read step by step (search.cpp)

  friend SearchTree ReadSearchTree();
  static Source sourceNow();
  static Source withFile(Source now);
  static bool same(const Source& a, const Source& b);
  bool fresh(const Source& now) const { return index_ && same(now, source_); }
  bool tryLoad(const Source& now);
  void install(SearchIndex index, Source source, bool made);
  void finishPending();

  std::unique_ptr<SearchIndex> index_;
  Source source_;
  int builds_ = 0;
  int loads_ = 0;
  std::shared_ptr<Reading> reading_;
  std::future<SearchIndex> building_;
  std::future<void> saving_;  // the thread that makes it, then saves it
  Source buildingFor_;
  const SearchIndex* usedIndex_ = nullptr;
  uint64_t usedGeneration_ = 0;
  std::vector<uint32_t> used_;
};

}  // namespace wayfind::store
