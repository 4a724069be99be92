// The favourites groups of "ZelWayfind.DatasUpdate". Groups and their lists are
// read live by "ZelWayfind.DatasInfo" (they are not part of the versioned user
// dictionary), so their changes bump no revision.
#include "erp/middletier/datas_update.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/api/save_conflicts.h"
#include "erp/middletier/favourites_merge.h"
#include "erp/storage/storage_error.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/middletier/messages.h"
#include "erp/middletier/nav_tables.h"
#include "erp/storage/field_sizes.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"

#include <map>
#include <set>

namespace wayfind::erp::middletier {

using platform::Variant;
namespace size = storage::size;

namespace {

constexpr const char* kDefaultGroupName = "常用功能";  // lang:data (the name of a group the user gets)

// -1 stands for no group chosen: the caller's first group (by order, then id).
std::optional<int32_t> firstGroup(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare("SELECT FFuncGroupID FROM t_NavFuncGroup WHERE FUserID = ? ORDER BY FIndex, FFuncGroupID LIMIT 1");
  st.bind(1, userId);
  if (!st.step()) return std::nullopt;
  return st.int32(0);
}

void requireOwnGroup(storage::Connection& conn, int32_t userId, int32_t groupId) {
  auto st = conn.prepare("SELECT FUserID FROM t_NavFuncGroup WHERE FFuncGroupID = ?");
  st.bind(1, groupId);
  if (!st.step()) refuse(say("这个常用功能组已不存在，可能已被删除。"));
  if (st.int32(0) != userId) refuse(say("这个常用功能组属于其他用户，不能修改。"));
}

std::string groupName(const std::string& name) {
  return platform::trimSpaces(rows::textArg("strGroupName", Variant(name), size::kGroupName, true));
}

void requireUniqueName(storage::Connection& conn, int32_t userId, const std::string& name, int32_t exceptGroup) {
  auto st = conn.prepare("SELECT 1 FROM t_NavFuncGroup WHERE FUserID = ? AND FFuncGroupName = ? AND FFuncGroupID <> ?");
  st.bindAll(userId, name, exceptGroup);
  if (st.step()) refuse(say("常用功能组“%1”已存在，请换一个名称。", {name}));
}

int32_t addGroup(storage::Connection& conn, int32_t userId, const std::string& name, const std::string& showName) {
  auto st = conn.prepare(
      "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) VALUES (?1, ?2, ?3, "
      "(SELECT COALESCE(MAX(FIndex), 0) + 1 FROM t_NavFuncGroup WHERE FUserID = ?1)) RETURNING FFuncGroupID");
  st.bindAll(userId, name, showName);
  if (!st.step()) storage::raiseDatabaseError(say("无法新建常用功能组"), name);
  const int32_t id = st.int32(0);
  st.run();
  return id;
}

// One function for a group's list, its texts checked and sized.
struct Item {
  int32_t funcId;
  std::string help, show, name;
};

Item checkedItem(Change& c, int32_t funcId, const Variant& help, const Variant& show, const Variant& name) {
  Item item{funcId, rows::textArg("strHelpCode", help, size::kHelpCode, false), {},
            rows::textArg("strFuncName", name, size::kName, false)};
  rows::checkHelpCode("strHelpCode", item.help);
  item.show = rows::textArg("strShowName", show, size::kName, false);
  const bool noShow = platform::isBlankText(item.show);
  if (noShow) item.show = item.name;
  // A template function, or one of the caller's own.
  auto exists = c.conn().prepare(
      "SELECT 1 FROM t_NavDetailFunc WHERE FDetailFuncID = ?1 UNION ALL "
      "SELECT 1 FROM t_NavUserDetailFunc WHERE FUserID = ?2 AND FDetailFuncID = ?1 LIMIT 1");
  exists.bindAll(funcId, c.userId());
  if (!exists.step()) refuse(say("%1不存在，可能已被删除。", {rows::nodeText(rows::level(4), funcId)}));
  // The editors send the names they show, in the session's language: a text equal
  // to the function's own is no text of the user's, so the entry keeps following
  // the function's names in every language. An entry follows the function's show
  // name; a show name the user typed as the function's name, where the two
  // differ, is the user's own.
  auto names = c.conn().prepare("SELECT " + functionNameSql("?1", "?2", "?3", false) + ", " +
                                functionNameSql("?1", "?2", "?3", true));
  names.bindAll(funcId, c.userId(), c.caller().language);
  if (names.step()) {
    const std::string name = names.isNull(0) ? std::string() : names.text(0);
    const std::string show = names.isNull(1) ? std::string() : names.text(1);
    if (item.show == show || (noShow && item.show == name)) item.show.clear();
    if (item.name == name) item.name.clear();
  }
  return item;
}

// The group that takes appended functions: -1 is the caller's first group, made
// when the caller has none; any other must be the caller's own.
int32_t groupForItems(Change& c, int32_t groupId) {
  if (groupId != -1) {
    requireOwnGroup(c.conn(), c.userId(), groupId);
    return groupId;
  }
  const auto first = firstGroup(c.conn(), c.userId());
  return first ? *first : addGroup(c.conn(), c.userId(), kDefaultGroupName, "");
}

// A function is in a list once: appending it again moves it to the end with the
// new texts, so a list saved row by row keeps the last row's place.
void appendItem(Change& c, int32_t group, const Item& item) {
  auto& conn = c.conn();
  auto del = conn.prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = ? AND FDetailFuncID = ?");
  del.bindAll(group, item.funcId);
  del.run();
  c.checkpoint("moved");
  auto ins = conn.prepare(
      "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
      "VALUES (?1, (SELECT COALESCE(MAX(FPosition), 0) + 1 FROM t_NavFuncGroupItem WHERE FFuncGroupID = ?1), "
      "?2, ?3, ?4, ?5)");
  ins.bindAll(group, item.funcId, item.name, item.help, item.show);
  ins.run();
}


// A row of a list as a user reads it, with the function's name as shown.
struct SentRow {
  ListEntry entry;
  std::string name;
};

Variant field(const platform::Dictionary& row, const char* key) {
  return row.Lookup(key) ? row.GetValue(key) : Variant();
}

// A row as the window sent it: a blank show name stands for the name, as it is stored.
SentRow sentRow(const platform::Dictionary& row) {
  SentRow r{{rows::intArg("FDetailFuncID", field(row, "FDetailFuncID")), platform::textOrEmpty(field(row, "FHelpCode")),
             platform::textOrEmpty(field(row, "FShowName"))},
            platform::textOrEmpty(field(row, "FFuncName"))};
  if (platform::isBlankText(r.entry.show)) r.entry.show = r.name;
  return r;
}

std::vector<ListEntry> readList(const Variant& v) {
  std::vector<ListEntry> out;
  const auto list = v.isObject() ? v.objectAs<platform::Vector>() : nullptr;
  if (!list) refuse(say("ReplaceNormalList：读取时的列表不是向量。"));
  for (const Variant& item : list->items()) {
    auto row = item.isObject() ? item.objectAs<platform::Dictionary>() : nullptr;
    if (!row) refuse(say("ReplaceNormalList：读取时的列表第 %1 行不是字典。", {std::to_string(out.size() + 1)}));
    out.push_back(sentRow(*row).entry);
  }
  return out;
}

// The group's list as stored: as users read it, and the stored row itself.
struct StoredRow {
  SentRow shown;
  Item row;
};

std::vector<StoredRow> storedList(Change& c, int32_t group) {
  auto st = c.conn().prepare("SELECT " + favouriteItemColumnsSql() +
                             ", i.FFuncName, i.FHelpCode, i.FShowName FROM t_NavFuncGroupItem i "
                             "WHERE i.FFuncGroupID = ?1 ORDER BY i.FPosition");
  st.bindAll(group, c.userId(), c.caller().language);
  std::vector<StoredRow> out;
  auto text = [&](int col) { return st.isNull(col) ? std::string() : st.text(col); };
  while (st.step()) {
    const int32_t id = st.int32(0);
    out.push_back({{{id, text(2), text(3)}, text(1)}, {id, text(5), text(6), text(4)}});
  }
  return out;
}

std::string groupNameOf(Change& c, int32_t group) {
  auto st = c.conn().prepare("SELECT FFuncGroupName FROM t_NavFuncGroup WHERE FFuncGroupID = ?");
  st.bind(1, group);
  return st.step() && !st.isNull(0) ? st.text(0) : std::string();
}

// The names of the functions in order, for telling two orders apart.
std::string namesInOrder(const std::vector<int32_t>& ids, const std::map<int32_t, std::string>& names) {
  std::string out;
  for (int32_t id : ids) {
    if (!out.empty()) out += listSeparator();
    auto it = names.find(id);
    out += it == names.end() ? std::to_string(id) : it->second;
  }
  return out;
}

// Stores what the window changed against the list it read, leaving what another
// user changed meanwhile (favourites_merge.h); the fields both changed are told
// in info.
void mergeList(Change& c, int32_t group, const std::vector<ListEntry>& read, const std::vector<SentRow>& sent,
               const std::vector<Item>& items, platform::Dictionary& info) {
  const std::vector<StoredRow> stored = storedList(c, group);
  std::vector<ListEntry> storedEntries, mineEntries;
  std::map<int32_t, const StoredRow*> storedById;
  std::map<int32_t, size_t> mineById;
  std::map<int32_t, std::string> names;
  for (size_t i = 0; i < sent.size(); ++i) {
    if (!mineById.emplace(sent[i].entry.id, i).second) continue;  // listed twice: the first counts
    mineEntries.push_back(sent[i].entry);
    names[sent[i].entry.id] = sent[i].name;
  }
  for (const StoredRow& r : stored) {
    storedEntries.push_back(r.shown.entry);
    storedById[r.row.funcId] = &r;
    names[r.row.funcId] = r.shown.name;
  }
  const ListMerge merge = MergeFavouriteList(read, storedEntries, mineEntries);

  auto del = c.conn().prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = ?");
  del.bind(1, group);
  del.run();
  for (const MergedEntry& e : merge.entries) {
    Item item = e.stored ? storedById.at(e.id)->row : items[mineById.at(e.id)];
    if (e.stored && e.mineHelp) item.help = items[mineById.at(e.id)].help;
    if (e.stored && e.mineShow) item.show = items[mineById.at(e.id)].show;
    c.checkpoint("row");
    appendItem(c, group, item);
  }

  auto listed = [&](bool in) { return in ? say("在列表中") : say("已移除"); };
  for (const ListConflict& k : merge.conflicts) {
    api::SaveConflict out;
    const StoredRow* theirs = storedById.count(k.id) ? storedById.at(k.id) : nullptr;
    const SentRow* mine = mineById.count(k.id) ? &sent[mineById.at(k.id)] : nullptr;
    switch (k.kind) {
      case ListConflict::Kind::Help:
        out = {names[k.id], fieldLabel("FHelpCode"), theirs->shown.entry.help, mine->entry.help, k.id, "FHelpCode",
               platform::Variant(theirs->shown.entry.help)};
        break;
      case ListConflict::Kind::Show:
        out = {names[k.id], fieldLabel("FShowName"), theirs->shown.entry.show, mine->entry.show, k.id, "FShowName",
               platform::Variant(theirs->shown.entry.show)};
        break;
      case ListConflict::Kind::Listed:
        out = {names[k.id], say("是否在列表中"), listed(theirs != nullptr), listed(mine != nullptr), k.id, "Listed",
               platform::Variant(theirs != nullptr)};
        break;
      case ListConflict::Kind::Order: {
        std::vector<int32_t> theirOrder, myOrder;
        std::set<int32_t> readIds;
        for (const ListEntry& e : read) readIds.insert(e.id);
        for (const ListEntry& e : storedEntries)
          if (readIds.count(e.id) && mineById.count(e.id)) theirOrder.push_back(e.id);
        for (const ListEntry& e : mineEntries)
          if (readIds.count(e.id) && storedById.count(e.id)) myOrder.push_back(e.id);
        out = {groupNameOf(c, group), say("顺序"), namesInOrder(theirOrder, names), namesInOrder(myOrder, names), group,
               "FIndex", platform::Variant()};
        break;
      }
    }
    api::RecordConflict(info, out);
  }
}
}  // namespace

platform::Variant ServerDatasUpdate::AddNormalFuncGroup(const Props& p, std::string& strFuncGroupName,
                                                        std::string& strShowName) {
  Change c(database_, p, "AddNormalFuncGroup", storage::WriteLock::Shared);
  const std::string name = groupName(strFuncGroupName);
  const std::string show = rows::textArg("strShowName", Variant(strShowName), size::kGroupName, false);
  requireUniqueName(c.conn(), c.userId(), name, -1);
  addGroup(c.conn(), c.userId(), name, show);
  c.commit();
  return Variant(true);
}

platform::Variant ServerDatasUpdate::DelNormalFuncGroup(const Props& p, int32_t& lngGroupID) {
  Change c(database_, p, "DelNormalFuncGroup", storage::WriteLock::Shared);
  requireOwnGroup(c.conn(), c.userId(), lngGroupID);
  // The list goes with its group (the items reference it ON DELETE CASCADE).
  auto st = c.conn().prepare("DELETE FROM t_NavFuncGroup WHERE FFuncGroupID = ?");
  st.bind(1, lngGroupID);
  st.run();
  c.commit();
  return Variant(true);
}

platform::Variant ServerDatasUpdate::UpdateNormalFuncGroup(const Props& p, int32_t& lngGroupID, std::string& strName) {
  Change c(database_, p, "UpdateNormalFuncGroup", storage::WriteLock::Shared);
  requireOwnGroup(c.conn(), c.userId(), lngGroupID);
  const std::string name = groupName(strName);
  requireUniqueName(c.conn(), c.userId(), name, lngGroupID);
  auto st = c.conn().prepare("UPDATE t_NavFuncGroup SET FFuncGroupName = ? WHERE FFuncGroupID = ?");
  st.bindAll(name, lngGroupID);
  st.run();
  c.commit();
  return Variant(true);
}

void ServerDatasUpdate::ClearNormalList(const Props& p, int32_t& lFuncGroupID) {
  Change c(database_, p, "ClearNormalList", storage::WriteLock::Shared);
  std::optional<int32_t> group;
  if (lFuncGroupID == -1) {
    group = firstGroup(c.conn(), c.userId());
  } else {
    requireOwnGroup(c.conn(), c.userId(), lFuncGroupID);
    group = lFuncGroupID;
  }
  if (group) {
    auto st = c.conn().prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = ?");
    st.bind(1, *group);
    st.run();
  }
  c.commit();
}

platform::Variant ServerDatasUpdate::AppendNormalItem(const Props& p, int32_t& lngFuncID, std::string& strHelpCode,
                                                      std::string& strShowName, std::string& strFuncName,
                                                      int32_t& lngGroupID) {
  Change c(database_, p, "AppendNormalItem", storage::WriteLock::Shared);
  const Item item = checkedItem(c, lngFuncID, Variant(strHelpCode), Variant(strShowName), Variant(strFuncName));
  const int32_t group = groupForItems(c, lngGroupID);
  appendItem(c, group, item);
  c.commit();
  lngGroupID = group;  // the caller learns which group took the function
  return Variant(true);
}

platform::Variant ServerDatasUpdate::ReplaceNormalList(const Props& p, int32_t& lngGroupID, Vect& oVect) {
  Change c(database_, p, "ReplaceNormalList", storage::WriteLock::Shared);
  // Every row is checked before the list is touched; a failure while writing
  // rolls the whole change back, so the old list stays.
  std::vector<Item> items;
  std::vector<SentRow> sent;
  Dict info;
  if (oVect) {
    for (const Variant& v : oVect->items()) {
      auto row = v.isObject() ? v.objectAs<platform::Dictionary>() : nullptr;
      if (row && row->Lookup(api::kReadListKey) && !row->Lookup("FDetailFuncID")) {
        info = row;
        continue;
      }
      if (!row) refuse(say("ReplaceNormalList：第 %1 行不是字典。", {std::to_string(items.size() + 1)}));
      const SentRow r = sentRow(*row);
      items.push_back(checkedItem(c, r.entry.id, field(*row, "FHelpCode"), field(*row, "FShowName"),
                                  field(*row, "FFuncName")));
      sent.push_back(r);
    }
  }
  std::optional<int32_t> group;
  if (lngGroupID != -1 || !items.empty()) {
    group = groupForItems(c, lngGroupID);
  } else {
    group = firstGroup(c.conn(), c.userId());  // nothing to keep and no group: nothing to make
  }
  if (group && info) {
    info->Remove(api::kConflictsKey);
    mergeList(c, *group, readList(info->GetValue(api::kReadListKey)), sent, items, *info);
  } else if (group) {
    auto del = c.conn().prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = ?");
    del.bind(1, *group);
    del.run();
    for (const Item& item : items) {
      c.checkpoint("row");
      appendItem(c, *group, item);
    }
  }
  c.commit();
  if (group) lngGroupID = *group;
  return Variant(true);
}

}  // namespace wayfind::erp::middletier
