#include "erp/middletier/favourites_merge.h"

#include <algorithm>
#include <map>
#include <set>

namespace wayfind::erp::middletier {

namespace {

using Index = std::map<int32_t, const ListEntry*>;

Index indexOf(const std::vector<ListEntry>& list) {
  Index out;
  for (const ListEntry& e : list) out.emplace(e.id, &e);
  return out;
}

bool sameTexts(const ListEntry& a, const ListEntry& b) { return a.help == b.help && a.show == b.show; }

// The ids of list that are in every one of the others, in list's order.
std::vector<int32_t> commonOrder(const std::vector<ListEntry>& list, const Index& a, const Index& b) {
  std::vector<int32_t> out;
  for (const ListEntry& e : list)
    if (a.count(e.id) && b.count(e.id)) out.push_back(e.id);
  return out;
}

// The ids to keep in base's order, then every kept id of other not placed yet
// right behind the one it follows in other (in front when it follows none).
std::vector<int32_t> ordered(const std::vector<ListEntry>& base, const std::vector<ListEntry>& other,
                             const std::set<int32_t>& kept) {
  std::vector<int32_t> out;
  for (const ListEntry& e : base)
    if (kept.count(e.id)) out.push_back(e.id);
  auto anchor = out.begin();
  bool anchored = false;
  for (const ListEntry& e : other) {
    if (!kept.count(e.id)) continue;
    auto at = std::find(out.begin(), out.end(), e.id);
    if (at == out.end()) at = out.insert(anchored ? std::next(anchor) : out.begin(), e.id);
    anchor = at;
    anchored = true;
  }
  return out;
}

}  // namespace

ListMerge MergeFavouriteList(const std::vector<ListEntry>& read, const std::vector<ListEntry>& stored,
                             const std::vector<ListEntry>& mine) {
  const Index r = indexOf(read), s = indexOf(stored), m = indexOf(mine);
  ListMerge out;
  std::map<int32_t, MergedEntry> kept;
  using Kind = ListConflict::Kind;

  // A text of mine over a stored one: mine when only I changed it (or both to
  // the same), theirs when only they did, a conflict when both did differently.
  auto mergeText = [&](int32_t id, const std::string* was, const std::string& theirs, const std::string& mineText,
                       Kind kind) {
    if (was && mineText == *was) return false;  // I left it
    if (theirs == mineText) return false;        // the same either way
    if (was && theirs == *was) return true;      // only I changed it
    out.conflicts.push_back({kind, id});
    return false;
  };

  std::set<int32_t> ids;
  for (const auto* list : {&read, &stored, &mine})
    for (const ListEntry& e : *list) ids.insert(e.id);
  for (int32_t id : ids) {
    const ListEntry* was = r.count(id) ? r.at(id) : nullptr;
    const ListEntry* theirs = s.count(id) ? s.at(id) : nullptr;
    const ListEntry* my = m.count(id) ? m.at(id) : nullptr;
    if (theirs && my) {
      MergedEntry e{id, true, false, false};
      e.mineHelp = mergeText(id, was ? &was->help : nullptr, theirs->help, my->help, Kind::Help);
      e.mineShow = mergeText(id, was ? &was->show : nullptr, theirs->show, my->show, Kind::Show);
      kept[id] = e;
    } else if (theirs) {
      // Added by them, or removed by me: my removal holds unless they changed it.
      if (!was) {
        kept[id] = {id, true, false, false};
      } else if (!sameTexts(*was, *theirs)) {
        out.conflicts.push_back({Kind::Listed, id});
        kept[id] = {id, true, false, false};
      }
    } else if (my) {
      // Added by me, or removed by them: their removal holds unless I changed it.
      if (!was) {
        kept[id] = {id, false, true, true};
      } else if (!sameTexts(*was, *my)) {
        out.conflicts.push_back({Kind::Listed, id});
      }
    }
  }

  std::set<int32_t> keptIds;
  for (const auto& [id, e] : kept) keptIds.insert(id);
  const auto readOrder = commonOrder(read, s, m);
  const auto theirOrder = commonOrder(stored, r, m);
  const auto myOrder = commonOrder(mine, r, s);
  const bool iMoved = myOrder != readOrder, theyMoved = theirOrder != readOrder;
  const bool takeMine = iMoved && (!theyMoved || myOrder == theirOrder);
  if (iMoved && theyMoved && myOrder != theirOrder) out.conflicts.push_back({Kind::Order, 0});
  for (int32_t id : takeMine ? ordered(mine, stored, keptIds) : ordered(stored, mine, keptIds))
    out.entries.push_back(kept.at(id));
  return out;
}

}  // namespace wayfind::erp::middletier
