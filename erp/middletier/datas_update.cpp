#include "erp/middletier/datas_update.h"

#include <algorithm>

#include "erp/api/save_conflicts.h"
#include "erp/middletier/datas_update_apply.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/middletier/messages.h"
#include "erp/storage/field_sizes.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/function_use.h"

namespace wayfind::erp::middletier {

using platform::Variant;
using rows::Level;
using rows::Owner;
using rows::nodeText;
using rows::Row;
namespace size = storage::size;

namespace {

// The rows of the user that a change of detail function id concerns: the place
// the dictionary names ("FSubFuncID"); else, for a template function, its one
// place in the user's own folders when that is the only row the user has, or its
// template place; for a custom function every place the user has it in.
std::vector<int32_t> detailPlaces(storage::Connection& conn, int32_t userId, int32_t id, Owner owner,
                                  const platform::Dictionary& dict) {
  std::optional<int32_t> templatePlace;
  if (owner == Owner::Template) {
    auto st = conn.prepare("SELECT FSubFuncID FROM t_NavDetailFunc WHERE FDetailFuncID = ?");
    st.bind(1, id);
    if (st.step()) templatePlace = st.int32(0);
  }
  const auto places = rows::userPlaces(conn, userId, id);
  if (dict.Lookup("FSubFuncID")) {
    const int32_t place = rows::intArg("FSubFuncID", dict.GetValue("FSubFuncID"));
    const bool known = place == templatePlace || std::find(places.begin(), places.end(), place) != places.end();
    if (!known)
      refuse(say("%1不在%2下。", {nodeText(conn, rows::level(4), id, userId), nodeText(conn, rows::level(3), place, userId)}));
    return {place};
  }
  if (templatePlace) {
    if (places.size() == 1 && places.front() != *templatePlace) return places;
    return {*templatePlace};
  }
  return places;
}

// The keys of mine to store on a node that the caller read as read (the values
// the window showed when it opened): a key nobody changed meanwhile goes as
// sent; a key someone else changed to what mine says is already done; a key
// someone else changed otherwise is a conflict, left as they stored it and
// recorded in info for the caller to decide. Keys without a read value go as
// sent.
platform::DictionaryPtr keysToStore(Change& c, const Level& l, int32_t id, const Row& before, const Row* tpl,
                                    const platform::Dictionary& mine, const platform::Dictionary& read,
                                    platform::Dictionary* info) {
  auto out = std::make_shared<platform::Dictionary>();
  const std::string& language = c.caller().language;
  for (const auto& key : mine.Keys()) {
    const Variant value = mine.GetValue(key);
    const auto column = rows::columnOfKey(l, key);
    if (!column || !read.Lookup(key)) {
      out->SetValue(key, value);
      continue;
    }
    const Variant now = rows::shownValue(l, before, tpl, *column, language);
    const std::string theirs = rows::comparable(l, *column, now);
    if (theirs == rows::comparable(l, *column, read.GetValue(key))) {
      out->SetValue(key, value);
      continue;
    }
    if (theirs == rows::comparable(l, *column, value)) continue;
    const std::string item =
        nodeText(l, id, platform::textOrEmpty(rows::shownValue(l, before, tpl, l.nameCol, language)));
    if (!info) refuse(say("%1的%2已被其他用户修改，没有保存。", {item, fieldLabel(key)}));
    api::RecordConflict(*info, {item, fieldLabel(key), rows::readable(l, *column, now),
                                rows::readable(l, *column, value), id, key, now});
  }
  return out;
}

// The user's row of a node, created from the template row on first change; not
// written when the keys leave it as it was. The editors send a row's name as
// they show it, in the session's language: a name equal to the template's there
// is no name of the user's own, so the row keeps following the template's names
// in every language. With read (the values the window read), only what nobody
// else changed meanwhile is stored (keysToStore).
void updateUserRow(Change& c, int32_t user, const Level& l, int32_t id, int32_t place, Owner owner,
                   const platform::Dictionary& dict, const platform::Dictionary* read = nullptr,
                   platform::Dictionary* info = nullptr) {
  auto& conn = c.conn();
  std::optional<Row> tpl;
  if (owner == Owner::Template) {
    tpl = rows::templateAsUserRow(conn, l, id, c.caller().language);
    if (tpl && l.number == 4) (*tpl)["FSubFuncID"] = Variant(place);
  }
  const auto current = rows::readUserRow(conn, l, user, id, place);
  if (!current && !tpl) refuse(say("%1不存在，可能已被删除。", {nodeText(l, id)}));
  const Row before = current ? *current : rows::withoutNames(l, *tpl);
  platform::DictionaryPtr merged;
  if (read) merged = keysToStore(c, l, id, before, tpl ? &*tpl : nullptr, dict, *read, info);
  Row row = before;
  const auto set = rows::applyKeys(merged ? *merged : dict, l, rows::KeyUse::Update, row, tpl ? &*tpl : nullptr);
  rows::settleNames(l, row, before, set, tpl ? &*tpl : nullptr, c.caller().language);
  if (row == before) return;
  rows::writeUserRow(conn, l, user, row);
  c.userChanged(user);
  // A subsystem SetUnInsSys hid in the template, given a row of the user's own
  // that is hidden as the template's is (a window sends the box as it shows it,
  // unticked): RefreshActivFunc shows that row again with the template's.
  if (!current && l.number == 2) {
    auto note = conn.prepare(
        "INSERT INTO t_NavUnInsHidden(FUserID, FSubSysID) SELECT ?1, ?2 WHERE EXISTS (SELECT 1 FROM "
        "t_NavUnInsHidden WHERE FUserID = 0 AND FSubSysID = ?2) AND EXISTS (SELECT 1 FROM t_NavUserSubSystem "
        "WHERE FUserID = ?1 AND FSubSysID = ?2 AND FVisible = 0) ON CONFLICT DO NOTHING");
    note.bindAll(user, id);
    note.run();
  }
}

// A row's dictionary as the editors send it: the values, and under "Read" the
// values the window read (a dictionary), taken apart.
struct SentRow {
  platform::DictionaryPtr values = std::make_shared<platform::Dictionary>();
  platform::DictionaryPtr read;
};

SentRow splitRead(const platform::Dictionary& dict) {
  SentRow out;
  for (const auto& key : dict.Keys()) {
    if (platform::iequals(key, kReadKey)) {
      const Variant v = dict.GetValue(key);
      out.read = v.objectAs<platform::Dictionary>();
      if (!out.read && !v.isNull() && !v.isEmpty()) refuse(say("“%1”应为一个字典。", {kReadKey}));
      continue;
    }
    out.values->SetValue(key, dict.GetValue(key));
  }
  return out;
}

void updateTemplateRow(Change& c, const Level& l, int32_t id, const platform::Dictionary& dict) {
  auto& conn = c.conn();
  if (id >= l.base || !rows::templateHas(conn, l, id)) refuse(say("模板中没有%1。", {nodeText(l, id)}));
  auto row = *rows::templateAsUserRow(conn, l, id, "chs");
  // A user's row over the template has no show name of the template's; the
  // template's own is what a change of it is compared with (else clearing it
  // would look like no change).
  for (const nav::ColumnInfo& col : nav::ColumnsOf(static_cast<nav::Level>(l.number))) {
    if (col.role != nav::ColumnRole::ShowName) continue;
    auto st = conn.prepare(std::string("SELECT ") + col.name + " FROM " + l.tplTable + " WHERE " + l.idCol + " = ?");
    st.bind(1, id);
    if (st.step()) row[col.name] = st.value(0);
  }
  const auto before = row;
  const auto columns = rows::applyKeys(dict, l, rows::KeyUse::Update, row, nullptr);
  if (row == before) return;
  for (const auto& col : columns) {
    auto st = conn.prepare(std::string("UPDATE ") + l.tplTable + " SET " + col + " = ? WHERE " + l.idCol + " = ?");
    st.bindAll(row.at(col), id);
    st.run();
  }
  c.templateChanged();
}

platform::DictionaryPtr single(const char* key, const std::string& value) {
  auto d = std::make_shared<platform::Dictionary>();
  d->SetValue(key, value);
  return d;
}

}  // namespace

void recordAppliedRow(platform::Dictionary& info, int level, int32_t id, const platform::Dictionary& values) {
  auto list = info.GetValue(kAppliedRowsKey).objectAs<platform::Vector>();
  if (!list) {
    list = std::make_shared<platform::Vector>();
    info.SetValue(kAppliedRowsKey, Variant(list));
  }
  auto row = std::make_shared<platform::Dictionary>();
  row->SetValue("Level", Variant(int32_t{level}));
  row->SetValue("ID", Variant(id));
  auto copy = std::make_shared<platform::Dictionary>();
  for (const auto& key : values.Keys()) copy->SetValue(key, values.GetValue(key));
  row->SetValue("Values", Variant(copy));
  list->Append(Variant(row));
}

bool hasAppliedRows(const platform::DictionaryPtr& info) {
  return info && info->GetValue(kAppliedRowsKey).objectAs<platform::Vector>() != nullptr;
}

int applyRecordedRows(Change& c, int32_t userId, const platform::Dictionary& info) {
  const auto list = info.GetValue(kAppliedRowsKey).objectAs<platform::Vector>();
  if (!list) return 0;
  int given = 0;
  for (const auto& item : list->items()) {
    const auto entry = item.objectAs<platform::Dictionary>();
    const auto values = entry ? entry->GetValue("Values").objectAs<platform::Dictionary>() : nullptr;
    if (!values) refuse(say("“%1”的内容无效。", {kAppliedRowsKey}));
    const Level& l = rows::level(rows::intArg("Level", entry->GetValue("Level")));
    const int32_t id = rows::intArg("ID", entry->GetValue("ID"));
    const Owner owner = rows::ownerOf(c.conn(), l, id, userId);
    if (owner != Owner::Template && owner != Owner::Caller) continue;
    if (l.number == 4) {
      for (int32_t place : detailPlaces(c.conn(), userId, id, owner, *values))
        updateUserRow(c, userId, l, id, place, owner, *values);
    } else {
      updateUserRow(c, userId, l, id, 0, owner, *values);
    }
    ++given;
  }
  return given;
}

ServerDatasUpdate::ServerDatasUpdate(std::filesystem::path database) : database_(std::move(database)) {}

void ServerDatasUpdate::updateNode(int levelNumber, const Props& p, int32_t id, const Dict& dict, bool blnTemplate,
                                   const char* method, const Dict& dctInfo) {
  const bool ownRows = !blnTemplate && !namesTemplateUser(dctInfo);
  Change c(database_, p, method, ownRows ? storage::WriteLock::Shared : storage::WriteLock::Whole);
  if (!dict) refuse(say("%1：没有传入属性字典。", {method}));
  const Level& l = rows::level(levelNumber);
  const SentRow sent = splitRead(*dict);
  // Conflicts found while the change runs; they reach the caller's info only
  // once the change is stored.
  platform::Dictionary conflicts;
  if (blnTemplate) {
    c.requireAdministrator("修改公共模板");
    updateTemplateRow(c, l, id, *sent.values);
  } else {
    const int32_t user = userForChange(c, dctInfo);
    if (user != c.userId() && rows::ownerOf(c.conn(), l, id, user) == Owner::Other) {
      // Saved for another user to be applied on: an item of someone else's own
      // (the window's user's, shown beside the template's) is theirs alone.
      c.commit();
      return;
    }
    const Owner owner = rows::requireOwnNode(c.conn(), l, id, user);
    platform::Dictionary* info = dctInfo ? &conflicts : nullptr;
    if (l.number == 4) {
      const auto places = detailPlaces(c.conn(), user, id, owner, *sent.values);
      if (places.empty()) refuse(say("%1不存在，可能已被删除。", {nodeText(l, id)}));
      for (int32_t place : places) updateUserRow(c, user, l, id, place, owner, *sent.values, sent.read.get(), info);
    } else {
      updateUserRow(c, user, l, id, 0, owner, *sent.values, sent.read.get(), info);
    }
  }
  c.commit();
  if (!dctInfo) return;
  for (const auto& conflict : api::TakeConflicts(conflicts)) api::RecordConflict(*dctInfo, conflict);
  // Saved for another user to be applied on: ApplyAllUser gives the others these
  // very rows.
  if (!blnTemplate && namesTemplateUser(dctInfo)) recordAppliedRow(*dctInfo, l.number, id, *sent.values);
}

void ServerDatasUpdate::UpdateTopClass(const Props& p, int32_t& id, Dict& dict, bool blnTemplate, Dict& dctInfo) {
  updateNode(1, p, id, dict, blnTemplate, "UpdateTopClass", dctInfo);
}
void ServerDatasUpdate::UpdateSystemFunc(const Props& p, int32_t& id, Dict& dict, bool blnTemplate, Dict& dctInfo) {
  updateNode(2, p, id, dict, blnTemplate, "UpdateSystemFunc", dctInfo);
}
void ServerDatasUpdate::UpdateSubSysFunc(const Props& p, int32_t& id, Dict& dict, bool blnTemplate, Dict& dctInfo) {
  updateNode(3, p, id, dict, blnTemplate, "UpdateSubSysFunc", dctInfo);
}
void ServerDatasUpdate::UpdateDetailFuncAttr(const Props& p, int32_t& id, Dict& dict, bool blnTemplate, Dict& dctInfo) {
  updateNode(4, p, id, dict, blnTemplate, "UpdateDetailFuncAttr", dctInfo);
}

void ServerDatasUpdate::UpdateTopClassName(const Props& p, int32_t& id, std::string& sNewName) {
  updateNode(1, p, id, single("NewName", sNewName), false, "UpdateTopClassName");
}
void ServerDatasUpdate::UpdateSystemFuncName(const Props& p, int32_t& id, std::string& sNewName) {
  updateNode(2, p, id, single("NewName", sNewName), false, "UpdateSystemFuncName");
}
void ServerDatasUpdate::UpdateSubSysFuncName(const Props& p, int32_t& id, std::string& sNewName) {
  updateNode(3, p, id, single("NewName", sNewName), false, "UpdateSubSysFuncName");
}
void ServerDatasUpdate::UpdateSystemHelpFile(const Props& p, int32_t& id, std::string& sFileName) {
  updateNode(2, p, id, single("HelpFile", sFileName), false, "UpdateSystemHelpFile");
}

platform::Variant ServerDatasUpdate::createNode(int levelNumber, const Props& p, int32_t parentId, int32_t lIndex,
                                                Dict& oDict, bool blnTemplate, const char* method) {
  Change c(database_, p, method, blnTemplate ? storage::WriteLock::Whole : storage::WriteLock::Shared);
  if (!oDict) refuse(say("%1：没有传入新项目的属性字典。", {method}));
  const Level& l = rows::level(levelNumber);
  auto& conn = c.conn();
  int32_t requested = oDict->Lookup(l.idCol) ? rows::intArg(l.idCol, oDict->GetValue(l.idCol)) : 0;
  if (requested < 0) refuse(say("%1的标识不能为负数。", {say(l.label)}));
  if (blnTemplate) {
    c.requireAdministrator("修改公共模板");
    if (l.number > 1 && !rows::templateHas(conn, rows::level(l.number - 1), parentId))
      refuse(say("模板中没有上级%1。", {nodeText(rows::level(l.number - 1), parentId)}));
    if (requested >= l.base)
      refuse(say("%1不是模板项目的标识，模板项目的标识应小于 %2。", {nodeText(l, requested), std::to_string(l.base)}));
  } else {
    if (l.number > 1) rows::requireParent(conn, l, parentId, c.userId());
    if (requested != 0 && requested < l.base)
      refuse(say("自定义%1的标识必须不小于 %2。", {say(l.label), std::to_string(l.base)}));
  }
  // The middle tier chooses identifiers (rows::claimCustomId for a user's).
  int32_t id = requested;
  if (blnTemplate) {
    if (id == 0 || rows::idInUse(conn, l, id)) id = rows::nextFreeTemplateId(conn, l);
  } else {
    id = rows::claimCustomId(conn, l, requested);
  }

  Row row;
  row[l.idCol] = Variant(id);
  if (l.parentCol) row[l.parentCol] = Variant(parentId);
  // The defaults of the columns a user's row keeps; the order number comes
  // after the keys, the next one when the caller gives none.
  for (const nav::ColumnInfo& col : nav::ColumnsOf(static_cast<nav::Level>(l.number))) {
    if (!col.defaultValue || !nav::InUserRows(col) || std::string_view(col.name) == "FIndex") continue;
    const std::string literal = col.defaultValue;  // an SQL literal: '' or a number
    row[col.name] = col.type == nav::ColumnType::Text ? Variant(literal.substr(1, literal.size() - 2))
                                                      : Variant(int32_t{std::stoi(literal)});
  }
  rows::applyKeys(*oDict, l, rows::KeyUse::Create, row, nullptr);
  if (lIndex > 0 || !row.count("FIndex")) row["FIndex"] = Variant(lIndex > 0 ? lIndex : rows::nextIndex(conn, l, parentId, c.userId()));
  if (!row.count(l.nameCol)) refuse(say("新%1需要名称。", {say(l.label)}));
  if (l.number == 4 && (!row.count("FClassName") || row["FClassName"].isNull()))
    refuse(say("新明细功能需要程序类名。"));

  if (blnTemplate) {
    std::string cols, marks;
    std::vector<Variant> values;
    for (const auto& [col, v] : row) {
      cols += (cols.empty() ? "" : ", ") + col;
      marks += marks.empty() ? "?" : ", ?";
      values.push_back(v);
    }
    auto st = conn.prepare(std::string("INSERT INTO ") + l.tplTable + " (" + cols + ") VALUES (" + marks + ")");
    for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i + 1), values[i]);
    st.run();
    c.templateChanged();
  } else {
    rows::writeUserRow(conn, l, c.userId(), row);
    c.userChanged();
  }
  c.commit();
  oDict->SetValue(l.idCol, id);
  return Variant(id);
}

platform::Variant ServerDatasUpdate::CreateTopClass(const Props& p, int32_t& lIndex, Dict& oDict, bool& blnTemplate) {
  return createNode(1, p, 0, lIndex, oDict, blnTemplate, "CreateTopClass");
}
platform::Variant ServerDatasUpdate::CreateSubSys(const Props& p, int32_t& lTopClassID, int32_t& lIndex, Dict& oDict,
                                                  bool& blnTemplate) {
  return createNode(2, p, lTopClassID, lIndex, oDict, blnTemplate, "CreateSubSys");
}
platform::Variant ServerDatasUpdate::CreateSubFunc(const Props& p, int32_t& lSubSystemID, int32_t& lIndex, Dict& oDict,
                                                   bool& blnTemplate) {
  return createNode(3, p, lSubSystemID, lIndex, oDict, blnTemplate, "CreateSubFunc");
}
platform::Variant ServerDatasUpdate::CreateDetailFunc(const Props& p, int32_t& lSubFuncID, int32_t& lIndex,
                                                      Dict& oDict, bool& blnTemplate) {
  return createNode(4, p, lSubFuncID, lIndex, oDict, blnTemplate, "CreateDetailFunc");
}

void ServerDatasUpdate::DeleteItem(const Props& p, int32_t& lBase, int32_t& lID, bool& blnTemplate) {
  Change c(database_, p, "DeleteItem", blnTemplate ? storage::WriteLock::Whole : storage::WriteLock::Shared);
  const Level* l = rows::levelByBase(lBase);
  if (!l) refuse(say("层级基数 %1 无效，应为 1000、100000、10000000 或 1000000000。", {std::to_string(lBase)}));
  auto& conn = c.conn();
  if (blnTemplate) {
    c.requireAdministrator("删除公共模板的项目");
    if (lID >= l->base || !rows::templateHas(conn, *l, lID)) refuse(say("模板中没有%1。", {nodeText(*l, lID)}));
    if (const Level* child = rows::childLevel(*l)) {
      auto st = conn.prepare(std::string("SELECT 1 FROM ") + child->tplTable + " WHERE " + child->parentCol +
                             " = ?1 UNION ALL SELECT 1 FROM " + child->userTable + " WHERE " + child->parentCol +
                             " = ?1 LIMIT 1");
      st.bind(1, lID);
      if (st.step()) refuse(say("选定的项目还存在子项目，不能删除。"));
    }
    // Users' rows of the node would otherwise come back as nodes of their own.
    auto users = conn.prepare(std::string("SELECT DISTINCT FUserID FROM ") + l->userTable + " WHERE " + l->idCol + " = ?");
    users.bind(1, lID);
    while (users.step()) c.userChanged(users.int32(0));
    auto delUsers = conn.prepare(std::string("DELETE FROM ") + l->userTable + " WHERE " + l->idCol + " = ?");
    delUsers.bind(1, lID);
    delUsers.run();
    auto del = conn.prepare(std::string("DELETE FROM ") + l->tplTable + " WHERE " + l->idCol + " = ?");
    del.bind(1, lID);
    del.run();
    c.templateChanged();
  } else {
    if (lID < l->base) refuse(say("%1是模板中的项目，不能删除。", {nodeText(conn, *l, lID)}));
    rows::requireOwnNode(conn, *l, lID, c.userId());
    if (rows::userHasChildren(conn, *l, c.userId(), lID)) refuse(say("选定的项目还存在子项目，不能删除。"));
    auto del = conn.prepare(std::string("DELETE FROM ") + l->userTable + " WHERE FUserID = ? AND " + l->idCol + " = ?");
    del.bindAll(c.userId(), lID);
    del.run();
    c.userChanged();
  }
  // A template node may have been in anybody's favourites; a user's only in theirs.
  if (l->number == 4)
    rows::purgeDanglingFavourites(conn, blnTemplate ? std::nullopt : std::optional<int32_t>(c.userId()));
  c.commit();
}

void ServerDatasUpdate::SetDefault(const Props& p) {
  Change c(database_, p, "SetDefault", storage::WriteLock::Shared);
  int changed = 0;
  // The user's rows and settings; the record of what the user started stays, as
  // an import and applying to users keep it.
  for (const char* table : {"t_NavUserDetailFunc", "t_NavUserSubFunc", "t_NavUserSubSystem", "t_NavUserTopClass",
                            "t_NavUserProfile"}) {
    const bool profile = std::string_view(table) == "t_NavUserProfile";
    auto st = c.conn().prepare(std::string("DELETE FROM ") + table + " WHERE FUserID = ?" +
                               (profile ? " AND FName <> ?" : ""));
    st.bind(1, c.userId());
    if (profile) st.bind(2, nav::kFunctionUseSetting);
    changed += st.run();
    c.checkpoint(table);
  }
  if (changed > 0) c.userChanged();
  rows::purgeDanglingFavourites(c.conn(), c.userId());
  c.commit();
}

namespace {

// A user's setting, inserted or replaced; a statement that changes no row stored
// the same value again.
constexpr const char* kStoreProfileValue =
      "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (?, ?, ?) "
      "ON CONFLICT(FUserID, FName) DO UPDATE SET FValue = excluded.FValue "
      "WHERE t_NavUserProfile.FValue <> excluded.FValue";

}  // namespace

void ServerDatasUpdate::SetProfileValue(const Props& p, std::string& strName, std::string& strValue) {
  Change c(database_, p, "SetProfileValue", storage::WriteLock::Shared);
  const std::string name = rows::textArg("strName", Variant(strName), size::kProfileName, true);
  const std::string value = rows::textArg("strValue", Variant(strValue), size::kProfileValue, false);
  auto st = c.conn().prepare(kStoreProfileValue);
  st.bindAll(c.userId(), name, value);
  if (st.run() > 0) c.userChanged();
  c.commit();
}

void ServerDatasUpdate::SetProfileValues(const Props& p, Dict& values, Dict& dctInfo) {
  Change c(database_, p, "SetProfileValues", storage::WriteLock::Shared);
  if (!values) refuse(say("%1：没有传入属性字典。", {"SetProfileValues"}));
  const SentRow sent = splitRead(*values);
  auto now = c.conn().prepare(
      "SELECT COALESCE((SELECT FValue FROM t_NavUserProfile WHERE FUserID = ?1 AND FName = ?2), "
      "(SELECT FValue FROM t_NavProfile WHERE FName = ?2), '')");
  auto write = c.conn().prepare(kStoreProfileValue);
  platform::Dictionary conflicts;
  bool changed = false;
  for (const auto& key : sent.values->Keys()) {
    const std::string name = rows::textArg("strName", Variant(key), size::kProfileName, true);
    const std::string value = rows::textArg("strValue", sent.values->GetValue(key), size::kProfileValue, false);
    if (sent.read && sent.read->Lookup(key)) {
      now.reset();
      now.bindAll(c.userId(), name);
      const std::string stored = now.step() ? now.text(0) : std::string();
      const std::string read = platform::textOrEmpty(sent.read->GetValue(key));
      if (stored == value) continue;
      if (stored != read) {
        if (!dctInfo) refuse(say("%1的%2已被其他用户修改，没有保存。", {say("选项"), name}));
        api::RecordConflict(conflicts, {name, name, stored, value, 0, key, Variant(stored)});
        continue;
      }
    }
    write.reset();
    write.bindAll(c.userId(), name, value);
    if (write.run() > 0) changed = true;
  }
  if (changed) c.userChanged();
  c.commit();
  if (!dctInfo) return;
  for (const auto& conflict : api::TakeConflicts(conflicts)) api::RecordConflict(*dctInfo, conflict);
}

void ServerDatasUpdate::UpdateAcctTypeName(const Props& p, int32_t& lngAcctID, std::string& sNewName) {
  Change c(database_, p, "UpdateAcctTypeName");
  c.requireAdministrator("修改账套类型名称");
  const std::string name = rows::textArg("sNewName", Variant(sNewName), size::kName, true);
  auto exists = c.conn().prepare("SELECT FShowName FROM t_NavAcctType WHERE FAcctType = ?");
  exists.bind(1, lngAcctID);
  if (!exists.step()) refuse(say("账套类型 %1 不存在。", {std::to_string(lngAcctID)}));
  if (exists.text(0) != name) {
    auto st = c.conn().prepare("UPDATE t_NavAcctType SET FShowName = ? WHERE FAcctType = ?");
    st.bindAll(name, lngAcctID);
    st.run();
    c.templateChanged();
  }
  c.commit();
}

}  // namespace wayfind::erp::middletier
