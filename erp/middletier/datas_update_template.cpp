// Upkeep of the company template through "ZelWayfind.DatasUpdate": reconciling a
// subsystem's sub-functions or detail functions with the ERP's base data, the
// refresh flags, and hiding subsystems that are not installed. Administrators
// only; each change bumps the template (and the users whose rows it touched).
#include <set>

#include "erp/middletier/caller.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/middletier/messages.h"
#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/versions.h"
#include "platform/automation/conversions.h"
#include "platform/containers/vector.h"
#include "platform/navigation/columns.h"

namespace wayfind::erp::middletier {

using platform::Variant;
using rows::Level;
namespace size = storage::size;

namespace {

enum class Kind { Text, Int };
struct Column {
  std::string name;
  Kind kind;
  int32_t size;
  bool emptyIsNull;  // an empty text is no value: stored as Null, as the editors store it
};

// The template fields a refresh entry may carry, besides the identifier and
// parent: every column of the level's template table.
std::vector<Column> templateColumns(nav::Level level) {
  std::vector<Column> out;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    if (c.role == nav::ColumnRole::Id || c.role == nav::ColumnRole::Parent) continue;
    const Kind kind = c.type == nav::ColumnType::Text ? Kind::Text : Kind::Int;
    out.push_back({c.name, kind, c.size, c.emptyIsNull});
    if (c.translated != nav::Translated::No)
      nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
        out.push_back({c.name + std::string(lang.columnSuffix), kind, c.size, false});
      });
  }
  return out;
}

const std::vector<Column>& refreshColumns(const Level& l) {
  static const std::vector<Column> subFunc = templateColumns(nav::Level::SubFunc);
  static const std::vector<Column> detail = templateColumns(nav::Level::DetailFunc);
  return l.number == 3 ? subFunc : detail;
}

std::optional<int32_t> templateParent(storage::Connection& conn, const Level& l, int32_t id) {
  auto st = conn.prepare(std::string("SELECT ") + l.parentCol + " FROM " + l.tplTable + " WHERE " + l.idCol + " = ?");
  st.bind(1, id);
  if (!st.step()) return std::nullopt;
  return st.int32(0);
}

// Ids of the template nodes of level l under the parents, in display order.
std::vector<int32_t> templateChildren(storage::Connection& conn, const Level& l, const std::set<int32_t>& parents) {
  std::vector<int32_t> out;
  auto st = conn.prepare(std::string("SELECT ") + l.idCol + " FROM " + l.tplTable + " WHERE " + l.parentCol +
                         " = ? ORDER BY FIndex, " + l.idCol);
  for (int32_t parent : parents) {
    st.reset();
    st.bind(1, parent);
    while (st.step()) out.push_back(st.int32(0));
  }
  return out;
}

void markUsersOf(Change& c, const std::string& sql, int32_t id) {
  auto st = c.conn().prepare(sql);
  st.bind(1, id);
  while (st.step()) c.userChanged(st.int32(0));
}

void run(storage::Connection& conn, const std::string& sql, int32_t id) {
  auto st = conn.prepare(sql);
  st.bind(1, id);
  st.run();
}

// Removes a template sub-function or detail function with what hangs on it: its
// template leaves and every user's rows of them. Users' own items under it stop
// the refresh instead of being lost.
void deleteTemplateNode(Change& c, const Level& l, int32_t id) {
  auto& conn = c.conn();
  if (l.number == 3) {
    auto custom = conn.prepare("SELECT 1 FROM t_NavUserDetailFunc WHERE FSubFuncID = ? AND FDetailFuncID >= 1000000000");
    custom.bind(1, id);
    if (custom.step())
      refuse(say("%1下还有用户自定义的明细功能，不能删除。", {rows::nodeText(conn, l, id)}));
    markUsersOf(c, "SELECT DISTINCT FUserID FROM t_NavUserDetailFunc WHERE FSubFuncID = ?", id);
    run(conn, "DELETE FROM t_NavUserDetailFunc WHERE FSubFuncID = ?", id);
    markUsersOf(c,
                "SELECT DISTINCT FUserID FROM t_NavUserDetailFunc WHERE FDetailFuncID IN "
                "(SELECT FDetailFuncID FROM t_NavDetailFunc WHERE FSubFuncID = ?)",
                id);
    run(conn,
        "DELETE FROM t_NavUserDetailFunc WHERE FDetailFuncID IN (SELECT FDetailFuncID FROM t_NavDetailFunc "
        "WHERE FSubFuncID = ?)",
        id);
    run(conn, "DELETE FROM t_NavDetailFunc WHERE FSubFuncID = ?", id);
  }
  markUsersOf(c, std::string("SELECT DISTINCT FUserID FROM ") + l.userTable + " WHERE " + l.idCol + " = ?", id);
  run(conn, std::string("DELETE FROM ") + l.userTable + " WHERE " + l.idCol + " = ?", id);
  run(conn, std::string("DELETE FROM ") + l.tplTable + " WHERE " + l.idCol + " = ?", id);
}

// A user's own folder (701 to 799, or ids beginning with 750102 to 750104): the
// rows there are the user's own placements.
bool userFolder(int32_t subFuncId) {
  if (subFuncId >= 701 && subFuncId <= 799) return true;
  std::string digits = std::to_string(subFuncId);
  if (digits.size() < 6) return false;
  const int lead = std::stoi(digits.substr(0, 6));
  return lead >= 750102 && lead <= 750104;
}

// A template detail function the refresh moves to another sub-function: the users'
// rows of its old place follow it (a row left behind would show there as a node
// of its own). A user who already has a row at the new place keeps that one.
void moveUserRows(Change& c, int32_t detailId, int32_t from, int32_t to) {
  if (from == to || userFolder(from)) return;
  auto& conn = c.conn();
  auto users = conn.prepare("SELECT DISTINCT FUserID FROM t_NavUserDetailFunc WHERE FDetailFuncID = ? AND FSubFuncID = ?");
  users.bindAll(detailId, from);
  while (users.step()) c.userChanged(users.int32(0));
  auto mv = conn.prepare(
      "UPDATE t_NavUserDetailFunc SET FSubFuncID = ?3 WHERE FDetailFuncID = ?1 AND FSubFuncID = ?2 "
      "AND NOT EXISTS (SELECT 1 FROM t_NavUserDetailFunc n WHERE n.FUserID = t_NavUserDetailFunc.FUserID "
      "AND n.FSubFuncID = ?3 AND n.FDetailFuncID = ?1)");
  mv.bindAll(detailId, from, to);
  mv.run();
  auto rest = conn.prepare("DELETE FROM t_NavUserDetailFunc WHERE FDetailFuncID = ? AND FSubFuncID = ?");
  rest.bindAll(detailId, from);
  rest.run();
}

void markBaseDataRefresh(storage::Connection& conn, int32_t subSysId) {
  auto st = conn.prepare(
      "INSERT INTO t_NavSysState(FSubSysID, FBaseDataRefresh) VALUES (?, 1) "
      "ON CONFLICT(FSubSysID) DO UPDATE SET FBaseDataRefresh = 1");
  st.bind(1, subSysId);
  st.run();
}

// An entry of a refresh list: a template node of the level, with its parent
// and values when the entry is a row (a plain id only keeps the node).
struct RefreshEntry {
  int32_t id;
  std::optional<int32_t> parent;
  std::vector<std::pair<const char*, Variant>> values;
};
// A refresh list read and checked whole, and what the checks rest on.
struct CheckedRefresh {
  int64_t templateRevision = 0;
  std::set<int32_t> parents;
  std::vector<RefreshEntry> entries;
  std::set<int32_t> listed;
};

CheckedRefresh checkRefresh(storage::Connection& conn, const Level& l, int32_t subSystemId,
                            const platform::VectorPtr& oVect, const char* method) {
  CheckedRefresh out;
  out.templateRevision = storage::templateRevision(conn);
  if (!rows::templateHas(conn, rows::level(2), subSystemId))
    refuse(say("模板中没有%1。", {rows::nodeText(rows::level(2), subSystemId)}));
  auto& parents = out.parents;
  if (l.number == 3) parents.insert(subSystemId);
  else
    for (int32_t f : templateChildren(conn, rows::level(3), {subSystemId})) parents.insert(f);
  auto& entries = out.entries;
  auto& listed = out.listed;
  const std::vector<Variant> none;
  for (const auto& item : oVect ? oVect->items() : none) {
    RefreshEntry e{};
    if (auto d = item.objectAs<platform::Dictionary>()) {
      e.id = rows::intArg(l.idCol, d->GetValue(l.idCol));
      const Variant parent = d->GetValue(l.parentCol);
      e.parent = parent.isEmpty() && l.number == 3 ? subSystemId : rows::intArg(l.parentCol, parent);
      if (!parents.count(*e.parent))
        refuse(say("%1的上级 %2 不在%3中。", {rows::nodeText(l, e.id), std::to_string(*e.parent),
                                             rows::nodeText(conn, rows::level(2), subSystemId)}));
      for (const auto& col : refreshColumns(l)) {
        if (!d->Lookup(col.name)) continue;
        const Variant v = d->GetValue(col.name);
        // Texts checked as every other change checks them: a help code goes into
        // the tree's filter texts, and a node given a name is given one that is not blank.
        std::string text;
        if (col.kind != Kind::Int) {
          text = rows::textArg(col.name, v, col.size, col.name == "FFuncName");
          if (col.name == "FHelpCode" || col.name == "FHelpCode1") rows::checkHelpCode(col.name, text);
        }
        e.values.emplace_back(col.name.c_str(), col.kind == Kind::Int  ? Variant(rows::intArg(col.name, v))
                                                : col.emptyIsNull && text.empty() ? Variant::null()
                                                                                  : Variant(std::move(text)));
      }
    } else if (item.isNumeric() || item.isString()) {
      e.id = rows::intArg(l.idCol, item);
    } else {
      refuse(say("%1：列表项必须是标识或属性字典。", {method}));
    }
    if (e.id <= 0 || e.id >= l.base) refuse(say("%1 不是模板中%2的标识。", {std::to_string(e.id), say(l.label)}));
    const auto current = templateParent(conn, l, e.id);
    if (current && !parents.count(*current))
      refuse(say("%1不属于%2。", {rows::nodeText(conn, l, e.id), rows::nodeText(conn, rows::level(2), subSystemId)}));
    if (!current && !e.parent) refuse(say("模板中没有%1。", {rows::nodeText(l, e.id)}));
    if (!current) {
      bool named = false;
      for (const auto& [col, v] : e.values) named = named || (std::string_view(col) == "FFuncName" && !v.asString().empty());
      if (!named) refuse(say("新的%1需要名称。", {rows::nodeText(l, e.id)}));
    }
    if (!listed.insert(e.id).second) refuse(say("%1在列表中重复。", {rows::nodeText(l, e.id)}));
    entries.push_back(std::move(e));
  }
  return out;
}

// Writes one entry into the template: a node there takes the entry's values and
// parent (its users' rows follow a detail function that moves), a new one is
// added. Whether the template changed.
bool upsertRefreshEntry(Change& c, const Level& l, const RefreshEntry& e) {
  auto& conn = c.conn();
  bool changed = false;
  if (const auto from = templateParent(conn, l, e.id)) {
    if (l.number == 4) moveUserRows(c, e.id, *from, *e.parent);
    for (const auto& [col, v] : e.values) {
      auto st = conn.prepare(std::string("UPDATE ") + l.tplTable + " SET " + col + " = ?1 WHERE " + l.idCol +
                             " = ?2 AND " + col + " IS DISTINCT FROM ?1");
      st.bindAll(v, e.id);
      changed = st.run() > 0 || changed;
    }
    auto mv = conn.prepare(std::string("UPDATE ") + l.tplTable + " SET " + l.parentCol + " = ?1 WHERE " + l.idCol +
                           " = ?2 AND " + l.parentCol + " IS DISTINCT FROM ?1");
    mv.bindAll(*e.parent, e.id);
    return mv.run() > 0 || changed;
  }
  std::string cols = std::string(l.idCol) + ", " + l.parentCol, marks = "?, ?";
  for (const auto& [col, v] : e.values) {
    cols += std::string(", ") + col;
    marks += ", ?";
  }
  auto st = conn.prepare(std::string("INSERT INTO ") + l.tplTable + " (" + cols + ") VALUES (" + marks + ")");
  st.bindAll(e.id, *e.parent);
  int i = 2;
  for (const auto& [col, v] : e.values) st.bind(++i, v);
  st.run();
  return true;
}

}  // namespace

void ServerDatasUpdate::refreshChildren(int levelNumber, const Props& p, int32_t subSystemId, Vect& oVect, bool bDelAll,
                                        bool blnTemplate, const char* method) {
  const Level& l = rows::level(levelNumber);
  // Read and check every entry before writing any, and before the write lock:
  // a list that is refused never holds the database. Under the lock the checks
  // stand when the template has not moved since, and are made again when it has.
  CheckedRefresh checked;
  {
    auto conn = storage::connectionFor(database_);
    const int32_t caller = requireCaller(*conn, p, kSource).userId;
    if (!blnTemplate) refuse(say("%1只刷新公共模板；用户自己的项目请用新建和删除。", {method}));
    requireAdministrator(*conn, caller, "刷新公共模板");
    storage::ReadTransaction snapshot(*conn);
    checked = checkRefresh(*conn, l, subSystemId, oVect, method);
  }
  Change c(database_, p, method);
  c.requireAdministrator("刷新公共模板");
  auto& conn = c.conn();
  if (storage::templateRevision(conn) != checked.templateRevision)
    checked = checkRefresh(conn, l, subSystemId, oVect, method);

  // Only what really changes the template bumps it: the same list again is no change.
  bool changed = false;
  for (const auto& e : checked.entries)
    if (e.parent) changed = upsertRefreshEntry(c, l, e) || changed;
  c.checkpoint("upserted");
  if (bDelAll)
    for (int32_t id : templateChildren(conn, l, checked.parents))
      if (!checked.listed.count(id)) {
        deleteTemplateNode(c, l, id);
        changed = true;
      }
  rows::purgeDanglingFavourites(conn);
  markBaseDataRefresh(conn, subSystemId);
  if (changed) c.templateChanged();
  c.commit();

  auto now = std::make_shared<platform::Vector>();
  for (int32_t id : templateChildren(conn, l, checked.parents)) now->Append(Variant(id));
  oVect = now;
}

void ServerDatasUpdate::RefreshSubFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll,
                                       bool& blnTemplate) {
  refreshChildren(3, p, lSubSystemID, oVect, bDelAll, blnTemplate, "RefreshSubFunc");
}

void ServerDatasUpdate::RefreshDetailFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll,
                                          bool& blnTemplate) {
  refreshChildren(4, p, lSubSystemID, oVect, bDelAll, blnTemplate, "RefreshDetailFunc");
}

void ServerDatasUpdate::ReFreshStatus(const Props& p, int32_t& lSubFuncID, int32_t& lStatus) {
  Change c(database_, p, "ReFreshStatus");
  c.requireAdministrator("修改子功能的刷新标志");
  if (lStatus != 0 && lStatus != 1) refuse(say("刷新标志 %1 无效，应为 0 或 1。", {std::to_string(lStatus)}));
  if (lSubFuncID >= rows::level(3).base || !rows::templateHas(c.conn(), rows::level(3), lSubFuncID))
    refuse(say("模板中没有%1。", {rows::nodeText(rows::level(3), lSubFuncID)}));
  auto st = c.conn().prepare("UPDATE t_NavSubFunc SET FRefresh = ? WHERE FSubFuncID = ? AND FRefresh <> ?");
  st.bindAll(lStatus, lSubFuncID, lStatus);
  if (st.run() > 0) c.templateChanged();
  c.commit();
}

platform::Variant ServerDatasUpdate::IsReFreshBaseData(const Props& p, int32_t& lngSystemID) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  requireCaller(*conn, p, kSource);
  auto st = conn->prepare("SELECT FBaseDataRefresh FROM t_NavSysState WHERE FSubSysID = ?");
  st.bind(1, lngSystemID);
  return Variant(st.step() && st.int64(0) != 0);
}

void ServerDatasUpdate::UpdateSysBaseData(const Props& p) {
  Change c(database_, p, "UpdateSysBaseData");
  c.requireAdministrator("更新基础数据");
  c.conn().prepare("UPDATE t_NavSysState SET FBaseDataRefresh = 0 WHERE FBaseDataRefresh <> 0").run();
  // Clients reload the template, and with it whatever the base data changed.
  c.templateChanged();
  c.commit();
}

void ServerDatasUpdate::SetUnInsSys(const Props& p) {
  Change c(database_, p, "SetUnInsSys");
  c.requireAdministrator("隐藏未安装的子系统");
  auto& conn = c.conn();
  // The template's rows and the users' own rows: a user's row would show the
  // subsystem again over the template. What is hidden here is noted, so that
  // RefreshActivFunc shows exactly that again.
  conn.prepare("INSERT INTO t_NavUnInsHidden(FUserID, FSubSysID) SELECT 0, s.FSubSysID "
               "FROM t_NavSubSystem s JOIN t_NavSysState st ON st.FSubSysID = s.FSubSysID "
               "WHERE st.FInstalled = 0 AND s.FVisible <> 0 ON CONFLICT DO NOTHING")
      .run();
  conn.prepare("INSERT INTO t_NavUnInsHidden(FUserID, FSubSysID) SELECT u.FUserID, u.FSubSysID "
               "FROM t_NavUserSubSystem u JOIN t_NavSysState st ON st.FSubSysID = u.FSubSysID "
               "WHERE st.FInstalled = 0 AND u.FVisible <> 0 ON CONFLICT DO NOTHING")
      .run();
  const char* notInstalled = "(SELECT FSubSysID FROM t_NavSysState WHERE FInstalled = 0)";
  if (conn.prepare(std::string("UPDATE t_NavSubSystem SET FVisible = 0 WHERE FVisible <> 0 AND FSubSysID IN ") +
                   notInstalled)
          .run() > 0)
    c.templateChanged();
  auto users = conn.prepare(std::string("SELECT DISTINCT FUserID FROM t_NavUserSubSystem WHERE FVisible <> 0 AND "
                                        "FSubSysID IN ") + notInstalled);
  while (users.step()) c.userChanged(users.int32(0));
  conn.prepare(std::string("UPDATE t_NavUserSubSystem SET FVisible = 0 WHERE FVisible <> 0 AND FSubSysID IN ") +
               notInstalled)
      .run();
  c.commit();
}

void ServerDatasUpdate::RefreshActivFunc(const Props& p) {
  Change c(database_, p, "RefreshActivFunc");
  c.requireAdministrator("恢复已安装子系统的显示");
  auto& conn = c.conn();
  // What SetUnInsSys hid and is installed again comes back.
  const char* again =
      "SELECT h.FUserID, h.FSubSysID FROM t_NavUnInsHidden h LEFT JOIN t_NavSysState st ON st.FSubSysID = h.FSubSysID "
      "WHERE COALESCE(st.FInstalled, 1) <> 0";
  std::vector<std::pair<int32_t, int32_t>> back;
  auto st = conn.prepare(again);
  while (st.step()) back.emplace_back(st.int32(0), st.int32(1));
  for (const auto& [user, sys] : back) {
    auto show = conn.prepare(user == 0 ? "UPDATE t_NavSubSystem SET FVisible = 1 WHERE FSubSysID = ?2 AND FVisible = 0"
                                       : "UPDATE t_NavUserSubSystem SET FVisible = 1 WHERE FUserID = ?1 AND "
                                         "FSubSysID = ?2 AND FVisible = 0");
    if (user != 0) show.bind(1, user);
    show.bind(2, sys);
    if (show.run() > 0) user == 0 ? c.templateChanged() : c.userChanged(user);
    auto forget = conn.prepare("DELETE FROM t_NavUnInsHidden WHERE FUserID = ? AND FSubSysID = ?");
    forget.bindAll(user, sys);
    forget.run();
  }
  c.commit();
}

void setSubSystemInstalled(const std::filesystem::path& database, int32_t subSysId, bool installed) {
  auto conn = storage::connectionFor(database);
  storage::Transaction tx(*conn);
  if (!rows::templateHas(*conn, rows::level(2), subSysId))
    refuse(say("模板中没有%1。", {rows::nodeText(rows::level(2), subSysId)}));
  auto st = conn->prepare(
      "INSERT INTO t_NavSysState(FSubSysID, FInstalled) VALUES (?1, ?2) "
      "ON CONFLICT(FSubSysID) DO UPDATE SET FInstalled = ?2");
  st.bindAll(subSysId, installed ? 1 : 0);
  st.run();
  tx.commit();
}

}  // namespace wayfind::erp::middletier
