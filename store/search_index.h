// An index over the detail functions of one user's navigation tree, answering
// "which functions does this typed text name?" fast enough to run on every
// keystroke. It knows nothing of the store: it is given the functions, in the
// order the tree shows them, and never changes afterwards.
//
// What finds a function, best first (SearchRank), each rank in tree order:
//   HelpCode        the folded text (FoldSearchText) is one of its help codes
//   HelpCodePrefix  a help code begins with the text
//   NamePrefix      a name begins with the text (the names in every language the
//                   function is given; simplified, traditional and variant
//                   characters compare alike)
//   InitialsPrefix  the text is the pinyin initials of the start of a Chinese
//                   name ("pzcx" for 凭证查询)
//   PinyinPrefix    the text is the full pinyin of the start of a Chinese name,
//                   with or without blanks ("pingzheng", "ping zheng cha")
//   StartsPrefix    the text spells the start of a name piece by piece: full
//                   pinyin and initials mixed ("pingzlr", "pzluru"), or the
//                   beginnings of a name's words ("sainv", "fcve") (among the
//                   first kStartsCandidates candidates)
//   Contains        a name or help code holds the text, or a Chinese name's
//                   initials or full pinyin do from a later character on
//   Level           a level above the function (top class, subsystem,
//                   sub-function) is named by the text in any of these ways
//   Typo            a Latin text of five letters or more is one typing error away
//                   from a stretch of a name, a help code or a full pinyin (among
//                   the first kTypoCandidates candidates)
// A character with several readings matches by any of them (store/pinyin_match.h).
//
// A text of several words (split at blanks and where Chinese meets Latin
// letters or digits) finds, after the functions the
// whole text finds as above, every function that each word finds on its own, by
// its texts or by a level above it, in any order; such a function ranks as its
// worst word. A run of Chinese characters that names nothing as a whole is read
// as the words it begins with ("总账凭证": 总账, 凭证). The levels themselves are found too: a level whose own names one
// word finds and whose names or whose parents' names every other word finds. A
// level comes before the functions of its rank.
//
// The whole index lies in one block of bytes: the texts, fixed-size records of
// the functions and places, and posting lists, for every character, pair of
// characters and pair of pinyin letters, of the functions whose texts hold it
// (store/search_postings.h). A query walks the lists of its own characters in
// function order, checks the few candidates, and stops as soon as it has enough.
// The bytes can be saved as they are and used again where they lie
// (store/search_index_file.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
  // The levels' names in the other languages (searched, never shown); one list
  // for each level, shared by every place under it; none when it has none.
  using NameList = std::shared_ptr<const std::vector<std::string>>;
  NameList topClassOtherNames, subSysOtherNames, subFuncOtherNames;
};

// One detail function as the user sees it, as given to the index.
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

// How many candidates one query checks for typing errors at most: where the
// pieces of a mistyped text occur in most names, a keystroke still ends soon.
inline constexpr size_t kTypoCandidates = 512;
// The same for the starts of names typed piece by piece (StartsPrefix).
inline constexpr size_t kStartsCandidates = 1024;

enum class SearchRank : uint8_t {
  HelpCode, HelpCodePrefix, NamePrefix, InitialsPrefix, PinyinPrefix, StartsPrefix, Contains, Level, Typo
};

// What a text matched: a help code, a name as written, a Chinese name's pinyin
// initials, its pinyin (full, or full and initials mixed), the beginnings of a
// name's words, or the name of a level above the function.
enum class MatchedBy : uint8_t { HelpCode, Name, PinyinInitials, Pinyin, WordStarts, Level };

struct SearchMatch {
  uint32_t function;  // in tree order, 0 to size() - 1; a level's number when level
  SearchRank rank;
  MatchedBy by;
  uint32_t text;      // which of the index's texts matched (matchedText)
  bool level = false; // a level of the tree (level()), not a function
};

// What one word of a text found in a match.
struct WordMatch {
  std::string word;     // folded
  SearchRank rank = SearchRank::Contains;
  MatchedBy by = MatchedBy::Name;
  std::string matched;  // the text it matched, as written
};

// A function and a place as the index holds them: views into its bytes.
struct IndexedFunction {
  int32_t detailFuncId = 0;
  uint32_t place = 0;
  bool enabled = true;
  std::string_view name, helpCode, helpCode1, className, classParam;
};
struct IndexedPlace {
  int32_t topClassId = 0, subSysId = 0, subFuncId = 0;
  std::string_view topClassName, subSysName, subFuncName;
};
// A level of the tree over a run of functions: depth 1 a top class, 2 a
// subsystem, 3 a sub-function. place holds its ids and the names of it and the
// levels above it (the ids and names below it are empty).
struct IndexedLevel {
  int depth = 0;
  IndexedPlace place;
  std::string_view name;
  uint32_t firstFunction = 0, endFunction = 0;
};

// The words of a folded text: split at blanks and where a Chinese character
// meets another.
std::vector<std::string> SearchWords(std::string_view folded);

class SearchIndex {
 public:
  // An index of no functions.
  SearchIndex();
  // functions in tree order; each one's place indexes places.
  SearchIndex(const std::vector<SearchPlace>& places, const std::vector<SearchFunction>& functions);
  // The index whose bytes() these are, used where they lie; holder keeps them
  // alive. Throws std::runtime_error when they are not a whole index of this
  // build's form.
  static SearchIndex fromBytes(std::string_view bytes, std::shared_ptr<const void> holder);

  // At most limit matches of the text (folded here), best first. An empty or blank
  // text matches nothing. Looking for typing errors stops after
  // kTypoCandidates candidates: then incomplete (when given) is set, as further
  // functions may be one error away.
  std::vector<SearchMatch> find(std::string_view text, size_t limit, bool* incomplete = nullptr) const;
  // How each function is found by the text's words, as find ranks what they
  // find (nullopt: not found; typing errors are not looked for).
  std::vector<std::optional<SearchMatch>> matchFunctions(const std::vector<uint32_t>& functions,
                                                         std::string_view text) const;
  // What each word of the text found in each match.
  std::vector<std::vector<WordMatch>> explain(const std::vector<SearchMatch>& matches, std::string_view text) const;

  size_t levelCount() const;
  IndexedLevel level(uint32_t l) const;

  size_t size() const { return functionCount_; }
  IndexedFunction function(uint32_t f) const;
  int32_t detailFuncId(uint32_t f) const;
  IndexedPlace place(uint32_t p) const;
  size_t placeCount() const { return placeCount_; }
  // The text a match was found by, as written (a help code, a name, a level's name).
  std::string_view matchedText(const SearchMatch& match) const;

  std::string_view bytes() const { return bytes_; }
  // What the index occupies: its bytes.
  size_t memoryBytes() const { return bytes_.size(); }

  struct Layout;  // the records inside the bytes (search_index.cpp)

 private:
  class Query;
  class Words;
  struct NamedLevels;
  struct LevelCache;
  std::shared_ptr<const NamedLevels> namedLevels(const std::string& word, size_t limit) const;
  uint32_t innermostLevel(uint32_t f) const;
  explicit SearchIndex(int);  // unattached
  std::vector<std::string> wordsOf(std::string_view folded) const;
  void attach();
  std::string_view text(uint32_t ref) const;

  std::shared_ptr<const void> holder_;  // keeps the bytes
  std::string_view bytes_;
  uint32_t functionCount_ = 0;
  uint32_t placeCount_ = 0;
  std::shared_ptr<const Layout> layoutHolder_;
  const Layout* layout_ = nullptr;
  // The levels' names, an index of its own inside these bytes: its functions are
  // the levels, in tree order.
  std::shared_ptr<const SearchIndex> levels_;
  // What the latest words named among the levels (shared by copies of the index).
  std::shared_ptr<LevelCache> levelCache_;
};

}  // namespace wayfind::store
