// The rows of a favourites group's list as plain values, without the grid that
// shows them: what the check before saving finds, and what the save sends. The
// favourites editor reads its grid into NormalRows, and fills its grid from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "erp/api/save_conflicts.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::favourites {

struct NormalRow {
  int32_t detailFuncId = 0;
  std::string name;  // the function's own, not edited
  std::string helpCode;
  std::string showName;
};

// The row of the current record of a group's list (GetDetailNormalFunc), as stored.
NormalRow NormalRowOfList(const platform::Recordset& list);
// The row for detail function id from its record (GetDetailFuncInfo): the show
// name is the name when it has none, on one line.
NormalRow NormalRowOfFunction(int32_t detailFuncId, const platform::Recordset& info);

// The first thing in the list that stops a save, in the order the user is told:
// row by row a help code or show name with a character the stored texts cannot
// hold (a help code trimmed first), then a help code that two rows share,
// letters in any case (the later of those rows).
struct NormalListProblem {
  enum class Kind { InvalidHelpCode, InvalidShowName, DuplicateHelpCode };
  Kind kind;
  size_t row;  // from 0
};
std::optional<NormalListProblem> CheckNormalList(const std::vector<NormalRow>& rows);

// The list as the server replaces a group's list with it: one dictionary a row
// (FDetailFuncID, FHelpCode, FShowName, FFuncName), a blank show name sent as
// the name, which sets filledShowName.
platform::VectorPtr NormalListSaveData(const std::vector<NormalRow>& rows, bool& filledShowName);

// The save of a list this window read: the rows as above and one item more, the
// info dictionary holding the list as read, so that the server stores only what
// the window changed. The fields another user changed too come back in info.
struct NormalListSave {
  platform::VectorPtr rows;
  platform::DictionaryPtr info;
};
NormalListSave NormalListMergeData(const std::vector<NormalRow>& rows, const std::vector<NormalRow>& read,
                                   bool& filledShowName);

// The list as read once the user chose to keep their values over conflicting
// ones: where the save reported a conflict, the other user's state (stored now)
// counts as read, so saving the same rows again stores the user's values there
// and leaves everything else as the other user has it.
std::vector<NormalRow> ReadRowsKeepingMine(const std::vector<NormalRow>& read, const std::vector<NormalRow>& stored,
                                           const std::vector<erp::api::SaveConflict>& conflicts);

}  // namespace wayfind::favourites
