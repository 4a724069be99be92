// The console's search box asks this for the functions that match what the user
// has typed so far. Results carry the identifiers of all four levels, so the
// console can select the function in its tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wayfind::app::console {

struct SearchHit {
  enum class Matched { HelpCode, Name, PinyinInitials, Pinyin, WordStarts, Level };
  int depth = 4;          // a detail function; below 4 a level (1 top class, 2 subsystem, 3 sub-function)
  int32_t topClassId = 0;
  int32_t subSysId = 0;
  int32_t subFuncId = 0;
  int32_t detailFuncId = 0;
  std::string name;      // in the user's language
  std::string helpCode;
  std::string path;      // "top class > subsystem > sub-function"
  Matched matchedBy = Matched::Name;
  std::string matched;   // the help code or name (as written) the text matched
  bool typo = false;     // matched with one typing error
};

class FunctionSearch {
 public:
  virtual ~FunctionSearch() = default;
  // At most limit hits, best first. Blank text finds nothing.
  virtual std::vector<SearchHit> find(const std::string& text, size_t limit) = 0;
  // The navigation tables were loaded again (an editor closed, a refresh).
  virtual void treeChanged() = 0;
  // The user started a function (from the tree, the favourites, the help-code
  // box or the results): it comes earlier among equal matches from now on.
  virtual void functionStarted(int32_t detailFuncId) { (void)detailFuncId; }
  // A short piece of the work of getting ready for the first keystroke (the
  // console runs it between its events after it starts); true when ready.
  virtual bool prepareStep() { return true; }
};

// The search the console uses.
std::unique_ptr<FunctionSearch> makeFunctionSearch();

}  // namespace wayfind::app::console
