// Merging a favourites list saved by one window with what another stored since
// that window read it: a three-way merge of the list as read, as stored now and
// as the window would have it (mine), function by function.
//
// - Texts (help code, show name): a text only I changed is mine; one only the
//   other user changed stays theirs; both changed it to different texts is a
//   conflict and the stored text stays.
// - Membership: what either side added is in, what either side removed is out,
//   unless the other side changed that function's texts meanwhile: then it is a
//   conflict ("Listed") and the stored state stays (kept with their texts, or
//   removed). Both adding one function with different texts conflicts on them.
// - Order, judged on the functions both lists and the read one hold: when only
//   one side moved functions, that side's order is taken; when both moved them
//   to different orders, it is a conflict and the stored order stays. Functions
//   one side added keep their place behind the function they followed there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wayfind::erp::middletier {

struct ListEntry {
  int32_t id = 0;
  std::string help, show;
};

struct MergedEntry {
  int32_t id = 0;
  bool stored = false;      // the function's stored row is the base
  bool mineHelp = false;    // the help code comes from mine
  bool mineShow = false;    // the show name comes from mine
};

struct ListConflict {
  enum class Kind { Help, Show, Listed, Order };
  Kind kind;
  int32_t id = 0;  // 0 for the order
};

struct ListMerge {
  std::vector<MergedEntry> entries;  // the list to store, in order
  std::vector<ListConflict> conflicts;
};

ListMerge MergeFavouriteList(const std::vector<ListEntry>& read, const std::vector<ListEntry>& stored,
                             const std::vector<ListEntry>& mine);

}  // namespace wayfind::erp::middletier
