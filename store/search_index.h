// An index over the detail functions of one user's navigation tree, answering
// "which functions does this typed text name?" fast enough to run on every
// keystroke. It knows nothing of the store: it is given the functions, in the
// order the tree shows them, and never changes afterwards.
//
// A function is found when its folded query text (FoldSearchText) equals one of
// its help codes (rank HelpCode), begins one of its names or help codes (rank
// Prefix), or occurs anywhere in one of them (rank Contains). Results come by rank
// and, within a rank, in tree order.
//
// Inside, every name and help code is folded once; posting lists name, for every
// character and every pair of adjacent characters, the functions whose texts hold
// it (and, separately, whose texts begin with it). A query walks the intersection
// of the lists of its own characters in function order, so it reads a few
// candidates instead of every function, and stops as soon as it has enough.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace wayfind::store {

// Where a function hangs in the tree: the three levels above it, with their names
// in the user's language.
struct SearchPlace {
  int32_t topClassId = 0;
  int32_t subSysId = 0;
  int32_t subFuncId = 0;
  std::string topClassName;
  std::string subSysName;
  std::string subFuncName;
};

// One detail function as the user sees it.
struct SearchFunction {
  int32_t detailFuncId = 0;
  uint32_t place = 0;            // index into the places given with the functions
  std::string name;              // the name shown to the user
  std::string helpCode;          // FHelpCode (the user's, when the user set one)
  std::string helpCode1;         // FHelpCode1, the template's second code
  std::string className;         // what carries the function out, and its parameter
  std::string classParam;
  bool enabled = true;
  // Further names by which the function is found (the names in the three
  // languages); the shown name and the help codes are always searched.
  std::vector<std::string> otherNames;
};

enum class SearchRank { HelpCode = 0, Prefix = 1, Contains = 2 };

struct SearchMatch {
  uint32_t function;  // index into functions()
  SearchRank rank;
};

class SearchIndex {
 public:
  SearchIndex() = default;
  // functions in tree order; each one's place indexes places.
  SearchIndex(std::vector<SearchPlace> places, std::vector<SearchFunction> functions);

  // At most limit matches of the text (folded here), best first. An empty or blank
  // text matches nothing.
  std::vector<SearchMatch> find(std::string_view text, size_t limit) const;

  const std::vector<SearchFunction>& functions() const { return functions_; }
  const std::vector<SearchPlace>& places() const { return places_; }

 private:
  using PostingList = std::vector<uint32_t>;
  struct TextSpan {
    uint32_t offset;
    uint32_t length;
  };
  struct FunctionTexts {
    uint32_t first;  // index of the first span in spans_
    uint16_t count;
  };

  void indexFunction(uint32_t function, const std::vector<std::string>& folded);
  const PostingList* list(uint64_t key) const;
  // The posting lists a candidate must be on; false when one of them is empty
  // (then nothing can match).
  bool listsFor(const std::vector<char32_t>& query, bool atStart, std::vector<const PostingList*>& lists) const;
  bool startsAny(uint32_t function, std::string_view query) const;
  bool containsAny(uint32_t function, std::string_view query) const;

  std::vector<SearchPlace> places_;
  std::vector<SearchFunction> functions_;
  std::string folded_;                 // every folded text, one after the other
  std::vector<TextSpan> spans_;
  std::vector<FunctionTexts> texts_;   // per function
  std::unordered_map<std::string, PostingList> helpCodes_;  // folded code -> functions
  std::unordered_map<uint64_t, PostingList> postings_;
};

}  // namespace wayfind::store
