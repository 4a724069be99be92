// Finding a detail function by part of its name or help code, over the tree the
// logged-in user sees: the user's own names and items merged over the template,
// only the nodes of the current account type, and only where every level from the
// top class down is visible. A console calls SearchFunctions on every keystroke.
//
// The answer comes from a SearchIndex built from the store's loaded tables. It is
// built on the first search and again only when the tables in the store's slots
// are other tables than those it was built from (RegetDataInfo or Initial loaded a
// new version, or ClearCache emptied them), or when the account type or the
// IsBOSQuery flag changed. While the server's versions stay the same, the slots
// keep their tables and a search reads nothing but the index.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/recordset/recordset.h"
#include "store/search_index.h"

namespace wayfind::store {

// One function found, with what a console needs to show it and start it.
struct FunctionSearchRow {
  SearchRank rank = SearchRank::Contains;
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
};

struct FunctionSearchResult {
  std::vector<FunctionSearchRow> rows;
  bool more = false;  // further functions match beyond the limit
};

// At most limit functions that the text names, best first: an exact help code,
// then names and help codes that begin with the text, then those that hold it,
// each rank in tree order. Case and letter width do not matter; an empty or blank
// text finds nothing. Loads the store when a slot is empty; failures of the store
// reach the caller and leave the previous index in place.
FunctionSearchResult SearchFunctions(std::string_view text, size_t limit);

// The visible tree's detail functions, read through the store's tree queries in
// the order the tree shows them (the index is built from this, and a search
// without an index would have to read it all).
SearchIndex ReadSearchIndex();

// The process-wide index and what it was built from.
class FunctionSearch {
 public:
  static FunctionSearch& instance();
  // Forgets the index (tests).
  void reset();

  // The index for the store as it stands now, built when it is missing or stale.
  const SearchIndex& current();
  // How many times an index has been built since the last reset.
  int buildCount() const { return builds_; }

 private:
  // The tables an index was read from, held weakly: a table that is replaced is
  // never mistaken for its successor, even at the same address.
  struct Source {
    std::array<std::weak_ptr<platform::Recordset>, 11> tables;
    int32_t acctTypeCode = 0;
    bool bosQuery = false;
  };
  static Source sourceNow();
  static bool same(const Source& a, const Source& b);

  std::unique_ptr<SearchIndex> index_;
  Source source_;
  int builds_ = 0;
};

}  // namespace wayfind::store
