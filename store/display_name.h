// The name a detail function is shown by where it sits in the user's tree. The
// console's tree and the tree search both name functions this way, so a function
// reads the same in the tree and in the search's answers, place by place.
//
// A function the user has a row for at that sub-function is shown by the user's
// own show name, else by the user's name (which the merge has put in the merged
// row's FFuncName); the template's show name no longer names it there. Any other
// function is shown by FShowName, else FFuncName. Line breaks show as spaces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/recordset/recordset.h"

namespace wayfind::store {

// The name from the merged row's two names and the user's own show name at that
// place (nullptr: the user has no row for the function there).
std::string DetailFuncDisplayName(const std::string& funcName, const std::string& showName,
                                  const std::string* userShowName);
// The same rule over names whose line breaks are taken out already
// (context::RemoveLineBreaks): the one of them the function is shown by.
std::string_view DisplayNameAmong(std::string_view func, std::string_view show, const std::string_view* own);

// The user's own detail-function rows as the store holds them, by sub-function
// and function. Read once for many rows (a whole sub-function, the whole tree).
class UserDetailNames {
 public:
  // The rows in the store's user table now: every stored row, whatever filter a
  // query has set on the shared table, which is left as it is. Empty before the
  // store has loaded.
  static UserDetailNames read();

  // The user's show name for a function at a sub-function (empty text when the
  // row has none); nullptr when the user has no row for it there.
  const std::string* showName(int32_t subFuncId, int32_t detailFuncId) const;
  // The same, with the names the user's row there keeps in English and
  // traditional Chinese (their own functions' and their folders' rows have them;
  // a merged row of theirs does not); empty where none. One look-up for both.
  struct Own {
    const std::string* showName = nullptr;
    std::pair<std::string_view, std::string_view> otherNames;
  };
  Own own(int32_t subFuncId, int32_t detailFuncId) const;

  // The name the current row of a merged detail-function record set (a
  // GetDetailFunc answer for subFuncId) is shown by.
  std::string nameOf(int32_t subFuncId, const platform::Recordset& merged) const;

 private:
  static uint64_t keyOf(int32_t subFuncId, int32_t detailFuncId) {
    return static_cast<uint64_t>(static_cast<uint32_t>(subFuncId)) << 32 | static_cast<uint32_t>(detailFuncId);
  }
  // Room for rows keys, given before the first put: read() knows how many rows
  // it puts, so the table never grows.
  void reserve(size_t rows);
  // The names of key (a row read later replaces an earlier one's).
  void put(uint64_t key, std::string name, std::string en, std::string cht);
  // The number of key's names, 0 when none.
  uint32_t find(uint64_t key) const;

  // An open-addressed table of the keys, each beside its name's number: a tree of
  // many functions looks every one of them up, and most are not there.
  struct Slot {
    uint64_t key;
    uint32_t name;  // names_ index + 1; 0: empty
  };
  std::vector<Slot> slots_;
  std::vector<std::string> names_;
  std::vector<std::pair<std::string, std::string>> otherNames_;  // beside names_
  // Two bits of each key's hash in a word of its own, set for every key: a key
  // missing one of its bits is not in the table. The table of a user with many
  // rows is larger than the processor's caches, and a tree looks up every
  // function; this is an eighth of its size, and answers for most of them.
  std::vector<uint64_t> marks_;
  static uint64_t markBits(uint64_t hash) {
    return uint64_t{1} << (hash >> 20 & 63) | uint64_t{1} << (hash >> 26 & 63);
  }
};

// The same for one merged row, reading the user's rows through the store.
std::string DetailFuncDisplayName(int32_t subFuncId, const platform::Recordset& merged);

}  // namespace wayfind::store
