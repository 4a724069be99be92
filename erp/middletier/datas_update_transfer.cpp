#include "erp/middletier/datas_update_transfer.h"

#include <algorithm>
#include <map>
#include <set>

#include "erp/middletier/datas_update.h"
#include "erp/middletier/messages.h"
#include "erp/middletier/nav_tables.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::middletier::transfer {

using platform::Variant;
using rows::Level;
using rows::Row;
namespace size = storage::size;

namespace {

[[noreturn]] void badShape(const std::string& why) { refuse(say("导入的数据格式不正确：%1", {why})); }

// "DetailFunc 第 3 行": where in the file a fault is.
std::string rowText(const std::string& table, size_t r) { return say("%1 第 %2 行", {table, std::to_string(r + 1)}); }

platform::RecordsetPtr tableOf(const platform::Dictionary& dict, const std::string& key, bool required) {
  if (!dict.Lookup(key)) {
    if (required) badShape(say("缺少 %1。", {key}));
    return nullptr;
  }
  auto rs = dict.GetValue(key).objectAs<platform::Recordset>();
  if (!rs) badShape(say("%1 不是记录集。", {key}));
  return rs;
}

// The value of a field in stored row r converted to its declared type; a field
// the record set lacks gives Null.
Variant cell(const platform::Recordset& rs, size_t r, const storage::FieldSpec& spec, const std::string& table) {
  const int f = rs.fieldIndex(spec.name);
  if (f < 0) return Variant::null();
  const Variant& v = rs.storedValue(r, f);
  if (v.isNull() || v.isEmpty()) return Variant::null();
  const std::string where = say("%1的 %2", {rowText(table, r), spec.name});
  if (v.isObject()) badShape(say("%1不能是对象。", {where}));
  try {
    if (spec.type == platform::DataType::VarWChar) {
      std::string text = platform::CStr(v);
      if (!storage::isValidUtf8(text) || platform::charLength(text) > static_cast<size_t>(spec.size))
        badShape(say("%1超过了 %2 个字符或不是有效文本。", {where, std::to_string(spec.size)}));
      return Variant(std::move(text));
    }
    return Variant(platform::CLng(v));
  } catch (const platform::AutomationError& e) {
    if (e.number() == platform::err::kInvalidProcedureCall) throw;
    badShape(say("%1不是有效的整数。", {where}));
  }
}

std::vector<Row> levelRows(const platform::Recordset& rs, const Level& l) {
  const auto& specs = userFields(l.key);
  for (const char* needed : {l.idCol, l.parentCol})
    if (needed && !rs.hasField(needed)) badShape(say("%1 缺少字段 %2。", {l.key, needed}));
  std::vector<Row> out;
  std::set<std::pair<int32_t, int32_t>> seen;
  for (size_t r = 0; r < rs.storedRowCount(); ++r) {
    Row row;
    for (const auto& spec : specs) row[spec.name] = cell(rs, r, spec, l.key);
    const std::string where = rowText(l.key, r);
    if (row[l.idCol].isNull() || row[l.idCol].asLong() <= 0) badShape(say("%1的 %2 无效。", {where, l.idCol}));
    if (l.parentCol && (row[l.parentCol].isNull() || row[l.parentCol].asLong() <= 0))
      badShape(say("%1的 %2 无效。", {where, l.parentCol}));
    if (l.number == 4) {
      const std::string help = row["FHelpCode"].isNull() ? std::string() : row["FHelpCode"].asString();
      if (help.find('\'') != std::string::npos) badShape(say("%1的助记码含有单引号。", {where}));
    }
    if (row["FAcctType"].isNull()) row["FAcctType"] = Variant("");
    // Flags are 0 or 1 here, whatever true looked like where the file came from.
    for (const char* flag : {"FVisible", "FEnable"})
      if (row.count(flag) && !row[flag].isNull()) row[flag] = Variant(int32_t{row[flag].asLong() != 0 ? 1 : 0});
    if (row[l.idCol].asLong() >= l.base) {
      const Variant& name = row[l.nameCol];
      if (name.isNull() || platform::trimSpaces(name.asString()).empty()) badShape(say("%1的自定义项目没有名称。", {where}));
    }
    const int32_t place = l.number == 4 ? row["FSubFuncID"].asLong() : 0;
    if (!seen.insert({row[l.idCol].asLong(), place}).second) badShape(say("%1的标识重复。", {where}));
    out.push_back(std::move(row));
  }
  return out;
}

std::string textCell(const platform::Recordset& rs, size_t r, const storage::FieldSpec& spec, const std::string& table) {
  const Variant v = cell(rs, r, spec, table);
  return v.isNull() ? std::string() : v.asString();
}

int32_t intCell(const platform::Recordset& rs, size_t r, const storage::FieldSpec& spec, const std::string& table) {
  const Variant v = cell(rs, r, spec, table);
  if (v.isNull()) badShape(say("%1缺少 %2。", {rowText(table, r), spec.name}));
  return v.asLong();
}

void readFavourites(const platform::Dictionary& dict, Customisation& out) {
  auto groups = tableOf(dict, "FuncGroup", false);
  auto items = tableOf(dict, "FuncGroupItem", false);
  if (!groups && !items) return;
  if (!groups || !items) badShape(say("FuncGroup 与 FuncGroupItem 必须同时提供。"));
  out.hasFavourites = true;
  const auto& gf = groupFields();  // FFuncGroupID, FFuncGroupName, FShowName, FIndex
  std::set<int32_t> ids;
  std::set<std::string> names;
  for (size_t r = 0; r < groups->storedRowCount(); ++r) {
    Group g{intCell(*groups, r, gf[0], "FuncGroup"), platform::trimSpaces(textCell(*groups, r, gf[1], "FuncGroup")),
            textCell(*groups, r, gf[2], "FuncGroup"), 0};
    const Variant index = cell(*groups, r, gf[3], "FuncGroup");
    g.index = index.isNull() ? static_cast<int32_t>(r + 1) : index.asLong();
    if (g.name.empty()) badShape(say("%1的组名为空。", {rowText("FuncGroup", r)}));
    if (!ids.insert(g.id).second || !names.insert(g.name).second)
      badShape(say("%1的组重复。", {rowText("FuncGroup", r)}));
    out.groups.push_back(std::move(g));
  }
  const auto& itf = groupItemFields();  // FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName
  std::set<std::pair<int32_t, int32_t>> inGroup;
  for (size_t r = 0; r < items->storedRowCount(); ++r) {
    GroupItem it{intCell(*items, r, itf[0], "FuncGroupItem"), intCell(*items, r, itf[1], "FuncGroupItem"),
                 intCell(*items, r, itf[2], "FuncGroupItem"),  textCell(*items, r, itf[3], "FuncGroupItem"),
                 textCell(*items, r, itf[4], "FuncGroupItem"), textCell(*items, r, itf[5], "FuncGroupItem")};
    const std::string where = rowText("FuncGroupItem", r);
    if (!ids.count(it.group)) badShape(say("%1引用了不存在的组 %2。", {where, std::to_string(it.group)}));
    if (!inGroup.insert({it.group, it.detailFuncId}).second) badShape(say("%1的功能在组中重复。", {where}));
    if (it.helpCode.find('\'') != std::string::npos) badShape(say("%1的助记码含有单引号。", {where}));
    out.items.push_back(std::move(it));
  }
}

Customisation fromTables(const platform::Dictionary& dict, bool withFavourites) {
  Customisation out;
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    out.levels[n - 1] = levelRows(*tableOf(dict, l.key, true), l);
  }
  auto profile = tableOf(dict, kProfile, true);
  if (!profile->hasField("FName") || !profile->hasField("FValue")) badShape(say("Profile 缺少字段 FName 或 FValue。"));
  const auto& pf = userFields(kProfile);
  std::set<std::string> names;
  for (size_t r = 0; r < profile->storedRowCount(); ++r) {
    const std::string name = textCell(*profile, r, pf[0], kProfile);
    if (name.empty() || !names.insert(name).second)
      badShape(say("%1的名称为空或重复。", {rowText(kProfile, r)}));
    out.profile.emplace_back(name, textCell(*profile, r, pf[1], kProfile));
  }
  if (withFavourites) readFavourites(dict, out);
  return out;
}

// New identifiers for the custom items that another user owns.
std::map<int32_t, int32_t> renumbering(storage::Connection& conn, const Level& l, int32_t userId,
                                       const std::vector<Row>& rowsOfLevel) {
  std::set<int32_t> custom;
  for (const auto& row : rowsOfLevel)
    if (row.at(l.idCol).asLong() >= l.base) custom.insert(row.at(l.idCol).asLong());
  std::map<int32_t, int32_t> out;
  int64_t next = 0;
  for (int32_t id : custom) {
    const auto owner = rows::ownerOf(conn, l, id, userId);
    bool foreign = owner == rows::Owner::Other;
    if (owner == rows::Owner::Caller) {
      // Shared with another user as well: the importer's copy moves too.
      auto st = conn.prepare(std::string("SELECT 1 FROM ") + l.userTable + " WHERE " + l.idCol + " = ? AND FUserID <> ?");
      st.bindAll(id, userId);
      foreign = st.step();
    }
    if (!foreign) continue;
    if (next == 0) next = std::max<int64_t>(rows::nextFreeCustomId(conn, l), int64_t{*custom.rbegin()} + 1);
    if (next > std::numeric_limits<int32_t>::max())
      throw platform::AutomationError(platform::err::kOverflow, ServerDatasUpdate::kSource, say("该层级的自定义项目标识已用完。"));
    out[id] = static_cast<int32_t>(next++);
  }
  return out;
}

int32_t mapped(const std::map<int32_t, int32_t>& m, int32_t id) {
  auto it = m.find(id);
  return it == m.end() ? id : it->second;
}

// Everything of a user that the user's version text covers: the stored rows of
// the four levels and the profile, in key order.
std::vector<std::vector<Variant>> versionedRows(storage::Connection& conn, int32_t userId) {
  std::vector<std::vector<Variant>> out;
  for (const char* table : {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile}) {
    auto rs = readUserTable(conn, table, userId, UserRows::Stored);
    const int fields = rs->fieldCount();
    out.push_back({Variant(table)});
    for (size_t r = 0; r < rs->storedRowCount(); ++r) {
      std::vector<Variant> row;
      for (int f = 0; f < fields; ++f) row.push_back(rs->storedValue(r, f));
      out.push_back(std::move(row));
    }
  }
  return out;
}

// A user's row of a template node keeps the template's account types, its names
// that are only a translation of the template's follow the template again (files
// and rows written by earlier programs carry them), and a class text it carries
// is the template's: the editors may not change either, and
// "ZelWayfind.DatasInfo" answers a user's class of a node, so a file (or another
// user's rows) may not bring another program in. An empty class stays empty.
void keepTemplateFields(storage::Connection& conn, const Level& l, Row& row) {
  const auto tpl = rows::templateAsUserRow(conn, l, row.at(l.idCol).asLong(), "chs");
  if (!tpl) return;
  row["FAcctType"] = tpl->at("FAcctType");
  for (const char* col : {"FClassName", "FClassParam"}) {
    const Variant& v = row[col];
    if (!v.isNull() && !(v.isString() && v.asString().empty())) row[col] = tpl->at(col);
  }
  rows::dropTemplateNames(conn, l, row);
}

}  // namespace

Customisation fromDictionary(const platform::Dictionary& dict) {
  if (dict.Lookup("Format")) {
    const Variant f = dict.GetValue("Format");
    if (!f.isString() || f.asString() != ServerDatasInfo::kExportFormat) badShape(say("Format 不是 WayfindUserData。"));
    const Variant v = dict.GetValue("Version", Variant(ServerDatasInfo::kExportVersion));
    if (!v.isNumeric() || platform::CLng(v) > ServerDatasInfo::kExportVersion || platform::CLng(v) < 1)
      badShape(say("不支持的版本 %1。", {v.debugString()}));
  }
  return fromTables(dict, true);
}

Customisation fromUser(storage::Connection& conn, int32_t userId) {
  platform::Dictionary dict;
  for (const char* table : {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile})
    dict.SetValue(table, readUserTable(conn, table, userId, UserRows::Stored));
  return fromTables(dict, false);
}

void replaceCustomisation(Change& change, int32_t userId, const Customisation& data) {
  auto& conn = change.conn();
  const auto before = versionedRows(conn, userId);
  std::map<int32_t, int32_t> maps[4];
  for (int n = 1; n <= 4; ++n) maps[n - 1] = renumbering(conn, rows::level(n), userId, data.levels[n - 1]);

  for (const char* table : {"t_NavUserDetailFunc", "t_NavUserSubFunc", "t_NavUserSubSystem", "t_NavUserTopClass",
                            "t_NavUserProfile"}) {
    auto st = conn.prepare(std::string("DELETE FROM ") + table + " WHERE FUserID = ?");
    st.bind(1, userId);
    st.run();
  }
  change.checkpoint("cleared");
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    for (Row row : data.levels[n - 1]) {
      const int32_t id = row[l.idCol].asLong();
      if (id < l.base) {
        if (!rows::templateHas(conn, l, id)) continue;  // the template dropped that node
        keepTemplateFields(conn, l, row);
      }
      row[l.idCol] = Variant(mapped(maps[n - 1], id));
      if (l.parentCol) row[l.parentCol] = Variant(mapped(maps[n - 2], row[l.parentCol].asLong()));
      rows::writeUserRow(conn, l, userId, row);
    }
    change.checkpoint(l.key);
  }
  auto prof = conn.prepare("INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (?, ?, ?)");
  for (const auto& [name, value] : data.profile) {
    prof.reset();
    prof.bindAll(userId, name, value);
    prof.run();
  }
  if (data.hasFavourites) {
    auto del = conn.prepare("DELETE FROM t_NavFuncGroup WHERE FUserID = ?");
    del.bind(1, userId);
    del.run();
    std::map<int32_t, int32_t> groupIds;
    auto g = conn.prepare(
        "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) VALUES (?, ?, ?, ?) "
        "RETURNING FFuncGroupID");
    for (const auto& group : data.groups) {
      g.reset();
      g.bindAll(userId, group.name, group.showName, group.index);
      if (!g.step()) storage::raiseDatabaseError(say("无法新建常用功能组"), group.name);
      groupIds[group.id] = g.int32(0);
      g.run();
    }
    auto it = conn.prepare(
        "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
        "VALUES (?, ?, ?, ?, ?, ?)");
    std::map<int32_t, int32_t> positions;
    auto items = data.items;
    std::stable_sort(items.begin(), items.end(),
                     [](const GroupItem& a, const GroupItem& b) { return a.position < b.position; });
    for (const auto& item : items) {
      const int32_t group = groupIds.at(item.group);
      it.reset();
      it.bindAll(group, ++positions[group], mapped(maps[3], item.detailFuncId), item.funcName, item.helpCode,
                 item.showName);
      it.run();
    }
    change.checkpoint("favourites");
  }
  rows::purgeDanglingFavourites(conn);
  // The same customisation again (a file imported twice) is no change.
  if (versionedRows(conn, userId) != before) change.userChanged(userId);
}

}  // namespace wayfind::erp::middletier::transfer

namespace wayfind::erp::middletier {

namespace {
constexpr int32_t kFirstUserId = 16384;  // lower identifiers of t_User are groups
}  // namespace

void ServerDatasUpdate::ImportUserData(const Props& p, Dict& dict) {
  Change c(database_, p, "ImportUserData");
  if (!dict) refuse(say("导入的数据格式不正确：%1", {say("没有传入数据字典。")}));
  const auto data = transfer::fromDictionary(*dict);
  transfer::replaceCustomisation(c, c.userId(), data);
  c.commit();
}

void ServerDatasUpdate::ApplyAllUser(const Props& p, Vect& oVect, Dict& dctInfo) {
  Change c(database_, p, "ApplyAllUser");
  c.requireAdministrator("把主控台设置应用到其他用户");
  auto& conn = c.conn();
  const int32_t source = userForChange(c, dctInfo);
  // Every target is checked before anything is written. An empty list means
  // every user only on the apply-to-all path, which names no template user; a
  // template user with an empty list applies to nobody.
  std::vector<int32_t> targets;
  if (oVect && oVect->Count() > 0) {
    for (const auto& item : oVect->items()) targets.push_back(requireUserArg(conn, item, "ApplyAllUser"));
  } else if (!namesTemplateUser(dctInfo)) {
    auto st = conn.prepare("SELECT FUserID FROM t_User WHERE FUserID >= ? ORDER BY FUserID");
    st.bind(1, kFirstUserId);
    while (st.step()) targets.push_back(st.int32(0));
  }
  const auto data = transfer::fromUser(conn, source);
  auto applied = std::make_shared<platform::Vector>();
  std::set<int32_t> done{source};
  for (int32_t target : targets) {
    if (!done.insert(target).second) continue;
    transfer::replaceCustomisation(c, target, data);
    applied->Append(platform::Variant(target));
    c.checkpoint("applied");
  }
  c.commit();
  oVect = applied;
}

}  // namespace wayfind::erp::middletier
