#include "erp/middletier/datas_update_transfer.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "erp/middletier/caller.h"
#include "erp/middletier/datas_update_apply.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/messages.h"
#include "erp/middletier/nav_tables.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/bulk_insert.h"
#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/schema_tables.h"
#include "erp/storage/storage_error.h"
#include "erp/storage/versions.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/vector.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/function_use.h"
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
Variant cell(const platform::Recordset& rs, size_t r, int f, const storage::FieldSpec& spec, const std::string& table) {
  if (f < 0) return Variant::null();
  const Variant& v = rs.storedValue(r, f);
  if (v.isNull() || v.isEmpty()) return Variant::null();
  // Said only for a fault: a big file's cells are read several times.
  auto where = [&] { return say("%1的 %2", {rowText(table, r), spec.name}); };
  if (v.isObject()) badShape(say("%1不能是对象。", {where()}));
  try {
    if (spec.type == platform::DataType::VarWChar) {
      std::string text = platform::CStr(v);
      if (!storage::isValidUtf8(text) || platform::charLength(text) > static_cast<size_t>(spec.size))
        badShape(say("%1超过了 %2 个字符或不是有效文本。", {where(), std::to_string(spec.size)}));
      return Variant(std::move(text));
    }
    return Variant(platform::CLng(v));
  } catch (const platform::AutomationError& e) {
    if (e.number() == platform::err::kInvalidProcedureCall) throw;
    badShape(say("%1不是有效的整数。", {where()}));
  }
}

Variant cell(const platform::Recordset& rs, size_t r, const storage::FieldSpec& spec, const std::string& table) {
  return cell(rs, r, rs.fieldIndex(spec.name), spec, table);
}

// A row's values in the order of cols, and back.
std::vector<Variant> valuesOf(const std::vector<std::string>& cols, Row& row) {
  std::vector<Variant> values;
  values.reserve(cols.size());
  for (const auto& c : cols) {
    auto it = row.find(c);
    values.push_back(it == row.end() ? Variant::null() : std::move(it->second));
  }
  return values;
}

Row rowOf(const std::vector<std::string>& cols, const std::vector<Variant>& values) {
  Row row;
  for (size_t i = 0; i < cols.size(); ++i) row.emplace(cols[i], values[i]);
  return row;
}

// Where column col lies in a row's values.
size_t columnAt(const Level& l, const char* col) {
  const auto& cols = rows::userColumns(l);
  return static_cast<size_t>(std::find(cols.begin(), cols.end(), col) - cols.begin());
}

// Where the columns that a row's checks and plans name lie in a row's values
// (the number of columns where the level has none).
struct Places {
  size_t id, parent, name, acct, help;
  std::vector<size_t> flags;  // the level's flags (columns.h)
};
const Places& placesOf(const Level& l) {
  static const auto make = [](const Level& lv) {
    Places places{columnAt(lv, lv.idCol), lv.parentCol ? columnAt(lv, lv.parentCol) : rows::userColumns(lv).size(),
                  columnAt(lv, lv.nameCol), columnAt(lv, "FAcctType"), columnAt(lv, "FHelpCode"), {}};
    for (const nav::ColumnInfo& c : nav::ColumnsOf(static_cast<nav::Level>(lv.number)))
      if (c.type == nav::ColumnType::Flag && nav::InUserRows(c)) places.flags.push_back(columnAt(lv, c.name));
    return places;
  };
  static const Places all[] = {make(rows::level(1)), make(rows::level(2)), make(rows::level(3)), make(rows::level(4))};
  return all[l.number - 1];
}

// Row r of a level's record set converted and checked (the checks of one
// row alone), in the order of rows::userColumns.
std::vector<Variant> levelRow(const platform::Recordset& rs, const std::vector<int>& at, size_t r, const Level& l) {
  const auto& specs = userFields(l.key);
  std::vector<Variant> v;
  v.reserve(specs.size());
  for (size_t i = 0; i < specs.size(); ++i) v.push_back(cell(rs, r, at[i], specs[i], l.key));
  const Places& c = placesOf(l);
  const size_t none = v.size();
  auto where = [&] { return rowText(l.key, r); };
  if (v[c.id].isNull() || v[c.id].asLong() <= 0) badShape(say("%1的 %2 无效。", {where(), l.idCol}));
  if (l.parentCol && (v[c.parent].isNull() || v[c.parent].asLong() <= 0))
    badShape(say("%1的 %2 无效。", {where(), l.parentCol}));
  if (c.help != none && !v[c.help].isNull() && v[c.help].asString().find('\'') != std::string::npos)
    badShape(say("%1的助记码含有单引号。", {where()}));
  if (v[c.acct].isNull()) v[c.acct] = Variant("");
  // Flags are 0 or 1 here, whatever true looked like where the file came from.
  for (size_t flag : c.flags)
    if (!v[flag].isNull()) v[flag] = Variant(int32_t{v[flag].asLong() != 0 ? 1 : 0});
  if (v[c.id].asLong() >= l.base && (v[c.name].isNull() || platform::trimSpaces(v[c.name].asString()).empty()))
    badShape(say("%1的自定义项目没有名称。", {where()}));
  return v;
}

// Checks every row of a level's record set (and that no node is there twice)
// before anything is written.
// Where each of the level's fields lies in rs (-1: missing).
std::vector<int> fieldsAt(const platform::Recordset& rs, const Level& l) {
  std::vector<int> out;
  for (const auto& spec : userFields(l.key)) out.push_back(rs.fieldIndex(spec.name));
  return out;
}

void checkLevel(const platform::Recordset& rs, const std::vector<int>& at, const Level& l) {
  for (const char* needed : {l.idCol, l.parentCol})
    if (needed && !rs.hasField(needed)) badShape(say("%1 缺少字段 %2。", {l.key, needed}));
  const size_t idAt = columnAt(l, l.idCol), placeAt = l.number == 4 ? columnAt(l, "FSubFuncID") : 0;
  std::set<std::pair<int32_t, int32_t>> seen;
  for (size_t r = 0; r < rs.storedRowCount(); ++r) {
    const auto values = levelRow(rs, at, r, l);
    const int32_t place = l.number == 4 ? values[placeAt].asLong() : 0;
    if (!seen.insert({values[idAt].asLong(), place}).second) badShape(say("%1的标识重复。", {rowText(l.key, r)}));
  }
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
    out.levels[n - 1] = tableOf(dict, l.key, true);
    out.fieldsAt[n - 1] = fieldsAt(*out.levels[n - 1], l);
    checkLevel(*out.levels[n - 1], out.fieldsAt[n - 1], l);
  }
  auto profile = tableOf(dict, kProfile, true);
  if (!profile->hasField("FName") || !profile->hasField("FValue")) badShape(say("Profile 缺少字段 FName 或 FValue。"));
  const auto& pf = userFields(kProfile);
  std::set<std::string> names;
  for (size_t r = 0; r < profile->storedRowCount(); ++r) {
    const std::string name = textCell(*profile, r, pf[0], kProfile);
    // A blank name, which no other change stores, would be a setting nobody
    // can read or change.
    if (platform::isBlankText(name) || !names.insert(name).second)
      badShape(say("%1的名称为空或重复。", {rowText(kProfile, r)}));
    // The record of the functions a user started stays that user's own: a file
    // or another user's customisation neither brings nor replaces it.
    if (name == nav::kFunctionUseSetting) continue;
    out.profile.emplace_back(name, textCell(*profile, r, pf[1], kProfile));
  }
  if (withFavourites) readFavourites(dict, out);
  return out;
}

// Identifiers looked up with one statement each this many, and claimed this
// many at a time.
constexpr size_t kSlice = 500;
constexpr size_t kClaimSlice = 20000;

// The identifiers of the (checked) rows of a level, in their order.
std::vector<int32_t> idsOf(const Level& l, const platform::Recordset& rs) {
  std::vector<int32_t> out;
  out.reserve(rs.storedRowCount());
  const int f = rs.fieldIndex(l.idCol);
  for (size_t r = 0; r < rs.storedRowCount(); ++r) out.push_back(platform::CLng(rs.storedValue(r, f)));
  return out;
}

// The custom identifiers among ids, ascending, each once.
std::vector<int32_t> customIdsOf(const Level& l, const std::vector<int32_t>& ids) {
  std::set<int32_t> custom;
  for (int32_t id : ids)
    if (id >= l.base) custom.insert(id);
  return {custom.begin(), custom.end()};
}

// Of ids, those that some user other than userId holds (or, with others
// false, userId itself), looked up on the users' index by node, a slice at a
// time.
std::set<int32_t> heldByOthers(storage::Connection& conn, const Level& l, int32_t userId,
                               const std::vector<int32_t>& ids, bool others = true) {
  std::set<int32_t> out;
  storage::forEachSlice(ids, kSlice, [&](const std::vector<int32_t>& slice, const std::string& marks) {
    auto st = conn.prepare(std::string("SELECT DISTINCT ") + l.idCol + " FROM " + l.userTable + " WHERE " + l.idCol +
                           " IN (" + marks + ") AND FUserID " + (others ? "<>" : "=") + " ?");
    int i = 0;
    for (int32_t id : slice) st.bind(++i, id);
    st.bind(++i, userId);
    while (st.step()) out.insert(st.int32(0));
  });
  return out;
}

// New identifiers for the custom items that another user holds (also when the
// user holds them too: the user's copy moves), above every identifier in use,
// every one the rows carry and those of the plans made before (where).
std::map<int32_t, int32_t> renumbering(storage::Connection& conn, const Level& l, int32_t userId,
                                       const std::vector<int32_t>& custom, NewIdentifiers* where) {
  std::map<int32_t, int32_t> out;
  const auto foreign = heldByOthers(conn, l, userId, custom);
  if (foreign.empty()) return out;
  constexpr int64_t kTop = std::numeric_limits<int32_t>::max();
  int64_t next = std::max<int64_t>(rows::nextFreeCustomId(conn, l), int64_t{custom.back()} + 1);
  if (where) next = std::max(next, where->above[l.number - 1]);
  const auto count = static_cast<int64_t>(foreign.size());
  if (where && where->scattered && kTop - next + 1 > 2 * count) {
    std::mt19937_64 random{std::random_device{}()};
    next = std::uniform_int_distribution<int64_t>(next, kTop - count + 1)(random);
  }
  if (next + count - 1 > kTop)
    throw platform::AutomationError(platform::err::kOverflow, ServerDatasUpdate::kSource, say("该层级的自定义项目标识已用完。"));
  for (int32_t id : foreign) out[id] = static_cast<int32_t>(next++);
  if (where) where->above[l.number - 1] = next;
  return out;
}

int32_t mapped(const std::map<int32_t, int32_t>& m, int32_t id) {
  auto it = m.find(id);
  return it == m.end() ? id : it->second;
}

// The template's rows of the listed nodes, a slice at a time; a node the
// template does not have is missing from the answer.
std::map<int32_t, TemplateSide> templateSides(storage::Connection& conn, const Level& l, const std::vector<int32_t>& ids) {
  std::map<int32_t, TemplateSide> out;
  std::string names;
  for (const std::string& c : rows::templateNameColumns(l)) names += ", " + c;
  storage::forEachSlice(ids, kSlice, [&](const std::vector<int32_t>& slice, const std::string& marks) {
    auto st = conn.prepare(std::string("SELECT ") + l.idCol + ", FAcctType, FClassName, FClassParam" + names +
                           " FROM " + l.tplTable + " WHERE " + l.idCol + " IN (" + marks + ")");
    int i = 0;
    for (int32_t id : slice) st.bind(++i, id);
    while (st.step()) {
      TemplateSide t{st.value(1), st.value(2), st.value(3), {}};
      for (int c = 4; c < st.columnCount(); ++c)
        if (!st.isNull(c) && !st.text(c).empty()) t.names.push_back(st.text(c));
      out.emplace(st.int32(0), std::move(t));
    }
  });
  return out;
}

// A user's row of a template node keeps the template's account types, its names
// that are only a translation of the template's follow the template again (files
// and rows written by earlier programs carry them), and a class text it carries
// is the template's: the editors may not change either, and
// "ZelWayfind.DatasInfo" answers a user's class of a node, so a file (or another
// user's rows) may not bring another program in. An empty class stays empty.
void keepTemplateFields(const Level& l, const TemplateSide& tpl, Row& row) {
  row["FAcctType"] = tpl.acctType;
  for (const auto& [col, value] : {std::pair{"FClassName", &tpl.className}, {"FClassParam", &tpl.classParam}}) {
    const Variant& v = row[col];
    if (!v.isNull() && !(v.isString() && v.asString().empty())) row[col] = *value;
  }
  rows::dropTemplateNames(l, row, tpl.names);
}

// A row as one text, the same for the same stored values whichever way they
// came (read back, or made from a file): for telling whether an import changes
// anything.
std::string canonical(const std::vector<std::string>& cols, const Row& row) {
  std::string out;
  for (const auto& c : cols) {
    auto it = row.find(c);
    if (it == row.end() || it->second.isNull() || it->second.isEmpty()) {
      out += '\x01';
      continue;
    }
    const std::string text = platform::CStr(it->second);
    out += std::to_string(text.size()) + ':' + text;
  }
  return out;
}

// The same for a row's values in the order of cols.
std::string canonical(const std::vector<platform::Variant>& values) {
  std::string out;
  for (const auto& v : values) {
    if (v.isNull() || v.isEmpty()) {
      out += '\x01';
      continue;
    }
    const std::string text = platform::CStr(v);
    out += std::to_string(text.size()) + ':' + text;
  }
  return out;
}

// How many rows the user has stored of each level, and of the profile.
std::vector<size_t> storedCounts(storage::Connection& conn, int32_t userId) {
  std::vector<size_t> out;
  for (int n = 1; n <= 5; ++n) {
    const char* table = n <= 4 ? rows::level(n).userTable : "t_NavUserProfile";
    auto st = conn.prepare(std::string("SELECT COUNT(*) FROM ") + table + " WHERE FUserID = ?" +
                           (n <= 4 ? "" : " AND FName <> ?"));
    st.bind(1, userId);
    if (n > 4) st.bind(2, nav::kFunctionUseSetting);
    out.push_back(st.step() ? static_cast<size_t>(st.int64(0)) : 0);
  }
  return out;
}

// The user's stored rows and profile, each level's and the profile's as sorted
// canonical texts.
std::vector<std::vector<std::string>> storedState(storage::Connection& conn, int32_t userId) {
  std::vector<std::vector<std::string>> out;
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    const auto& cols = rows::userColumns(l);
    std::string list;
    for (const auto& c : cols) list += (list.empty() ? "" : ", ") + c;
    auto st = conn.prepare("SELECT " + list + " FROM " + l.userTable + " WHERE FUserID = ?");
    st.bind(1, userId);
    std::vector<std::string> level;
    while (st.step()) {
      Row row;
      for (size_t i = 0; i < cols.size(); ++i) row[cols[i]] = st.value(static_cast<int>(i));
      level.push_back(canonical(cols, row));
    }
    std::sort(level.begin(), level.end());
    out.push_back(std::move(level));
  }
  auto st = conn.prepare("SELECT FName, FValue FROM t_NavUserProfile WHERE FUserID = ? AND FName <> ?");
  st.bindAll(userId, nav::kFunctionUseSetting);
  std::vector<std::string> profile;
  while (st.step()) profile.push_back(canonical({"FName", "FValue"}, {{"FName", st.value(0)}, {"FValue", st.value(1)}}));
  std::sort(profile.begin(), profile.end());
  out.push_back(std::move(profile));
  return out;
}

std::vector<std::vector<std::string>> plannedState(const Plan& plan) {
  std::vector<std::vector<std::string>> out;
  for (int n = 1; n <= 4; ++n) {
    std::vector<std::string> level;
    for (size_t k = 0; k < plan.rowsOf[n - 1].size(); ++k) level.push_back(canonical(plannedRow(plan, n, k)));
    std::sort(level.begin(), level.end());
    out.push_back(std::move(level));
  }
  std::vector<std::string> profile;
  for (const auto& [name, value] : plan.profile)
    profile.push_back(canonical({"FName", "FValue"}, {{"FName", Variant(name)}, {"FValue", Variant(value)}}));
  std::sort(profile.begin(), profile.end());
  out.push_back(std::move(profile));
  return out;
}

// The favourites of the user that name a detail function neither the template
// nor the user has any more.
void purgeUsersDanglingFavourites(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare(
      "DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID IN (SELECT FFuncGroupID FROM t_NavFuncGroup WHERE FUserID = ?1) "
      "AND NOT EXISTS (SELECT 1 FROM t_NavDetailFunc d WHERE d.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID) "
      "AND NOT EXISTS (SELECT 1 FROM t_NavUserDetailFunc u WHERE u.FUserID = ?1 "
      "AND u.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID)");
  st.bind(1, userId);
  st.run();
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


std::vector<Variant> rowValues(const Customisation& data, int n, size_t r) {
  return levelRow(*data.levels[n - 1], data.fieldsAt[n - 1], r, rows::level(n));
}

std::vector<Variant> plannedRow(const Plan& p, int n, size_t k) {
  const Level& l = rows::level(n);
  const Places& c = placesOf(l);
  auto values = rowValues(p.data, n, p.rowsOf[n - 1][k]);
  const int32_t id = values[c.id].asLong();
  if (id < l.base) {
    const auto& cols = rows::userColumns(l);
    Row row = rowOf(cols, values);
    keepTemplateFields(l, p.templateSides[n - 1].at(id), row);
    values = valuesOf(cols, row);
  }
  values[c.id] = Variant(mapped(p.renumbered[n - 1], id));
  if (l.parentCol) values[c.parent] = Variant(mapped(p.renumbered[n - 2], values[c.parent].asLong()));
  // FAcctType is NOT NULL in the user tables: empty means every account type.
  if (values[c.acct].isNull() || values[c.acct].isEmpty()) values[c.acct] = Variant("");
  return values;
}

Plan plan(storage::Connection& conn, int32_t userId, Customisation data, NewIdentifiers* where) {
  Plan p;
  p.userId = userId;
  p.templateRevision = storage::templateRevision(conn);
  p.userRevision = storage::userRevision(conn, userId);
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    const auto ids = idsOf(l, *data.levels[n - 1]);
    const auto custom = customIdsOf(l, ids);
    auto& map = p.renumbered[n - 1];
    map = renumbering(conn, l, userId, custom, where);
    std::vector<int32_t> templateIds;
    for (int32_t id : ids)
      if (id < l.base) templateIds.push_back(id);
    p.templateSides[n - 1] = templateSides(conn, l, templateIds);
    std::set<int32_t> written;
    for (size_t r = 0; r < ids.size(); ++r) {
      // A row of a node the template dropped is left out.
      if (ids[r] < l.base && !p.templateSides[n - 1].count(ids[r])) continue;
      p.rowsOf[n - 1].push_back(static_cast<uint32_t>(r));
      if (ids[r] >= l.base) written.insert(mapped(map, ids[r]));
    }
    p.customIds[n - 1].assign(written.begin(), written.end());
    const auto own = heldByOthers(conn, l, userId, p.customIds[n - 1], false);
    for (int32_t id : written)
      if (!own.count(id)) p.freshIds[n - 1].push_back(id);
  }
  p.profile = std::move(data.profile);
  p.hasFavourites = data.hasFavourites;
  p.groups = std::move(data.groups);
  p.items = std::move(data.items);
  for (auto& item : p.items) item.detailFuncId = mapped(p.renumbered[3], item.detailFuncId);
  for (int n = 1; n <= 4; ++n) {
    p.data.levels[n - 1] = std::move(data.levels[n - 1]);
    p.data.fieldsAt[n - 1] = std::move(data.fieldsAt[n - 1]);
  }
  // Counts that differ settle it without a text of every row.
  std::vector<size_t> planned;
  for (int n = 1; n <= 4; ++n) planned.push_back(p.rowsOf[n - 1].size());
  planned.push_back(p.profile.size());
  p.sameRows = storedCounts(conn, userId) == planned && storedState(conn, userId) == plannedState(p);
  return p;
}

bool claim(storage::Connection& conn, const Plan& p) {
  if (storage::templateRevision(conn) != p.templateRevision) return false;
  // The user's rows changed since the plan (another window of theirs, or an
  // administrator applying settings to them): what the plan took to be theirs
  // may be so no longer, and another user may be taking such an identifier.
  if (storage::userRevision(conn, p.userId) != p.userRevision) return false;
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    // Those the user held when planned stay theirs: nobody else takes an
    // identifier in use.
    const auto& fresh = p.freshIds[n - 1];
    for (size_t from = 0; from < fresh.size(); from += kClaimSlice) {
      const auto begin = fresh.begin() + static_cast<std::ptrdiff_t>(from);
      const auto end = fresh.begin() + static_cast<std::ptrdiff_t>(std::min(fresh.size(), from + kClaimSlice));
      if (!conn.claimIdentifiers(n, {begin, end})) return false;
    }
    // Claimed: a change that stored one of them before is to be seen now.
    if (!heldByOthers(conn, l, p.userId, p.customIds[n - 1]).empty()) return false;
  }
  return true;
}

void write(Change& change, const Plan& p) {
  auto& conn = change.conn();
  const int32_t userId = p.userId;
  // Rows the same as stored, and nobody changed them since: nothing to write.
  const bool rowsChange = !p.sameRows || storage::userRevision(conn, userId) != p.userRevision;
  if (rowsChange) {
    for (const nav::Level level : {nav::Level::DetailFunc, nav::Level::SubFunc, nav::Level::SubSystem, nav::Level::TopClass}) {
      auto st = conn.prepare(std::string("DELETE FROM ") + storage::schema::userTable(level) + " WHERE FUserID = ?");
      st.bind(1, userId);
      st.run();
    }
    auto profile = conn.prepare("DELETE FROM t_NavUserProfile WHERE FUserID = ? AND FName <> ?");
    profile.bindAll(userId, nav::kFunctionUseSetting);
    profile.run();
  }
  change.checkpoint("cleared");
  for (int n = 1; n <= 4; ++n) {
    const Level& l = rows::level(n);
    if (rowsChange) {
      const auto& cols = rows::userColumns(l);
      std::vector<std::string> all{"FUserID"};
      all.insert(all.end(), cols.begin(), cols.end());
      storage::BulkInsert ins(conn, l.userTable, all);
      for (size_t k = 0; k < p.rowsOf[n - 1].size(); ++k) {
        auto row = plannedRow(p, n, k);
        std::vector<Variant> values;
        values.reserve(row.size() + 1);
        values.emplace_back(userId);
        for (auto& v : row) values.push_back(std::move(v));
        ins.add(std::move(values));
      }
      ins.finish();
    }
    change.checkpoint(l.key);
  }
  if (rowsChange) {
    storage::BulkInsert prof(conn, "t_NavUserProfile", {"FUserID", "FName", "FValue"});
    for (const auto& [name, value] : p.profile) prof.add({Variant(userId), Variant(name), Variant(value)});
    prof.finish();
  }
  if (p.hasFavourites) {
    auto del = conn.prepare("DELETE FROM t_NavFuncGroup WHERE FUserID = ?");
    del.bind(1, userId);
    del.run();
    std::map<int32_t, int32_t> groupIds;
    auto g = conn.prepare(
        "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) VALUES (?, ?, ?, ?) "
        "RETURNING FFuncGroupID");
    for (const auto& group : p.groups) {
      g.reset();
      g.bindAll(userId, group.name, group.showName, group.index);
      if (!g.step()) storage::raiseDatabaseError(say("无法新建常用功能组"), group.name);
      groupIds[group.id] = g.int32(0);
      g.run();
    }
    storage::BulkInsert it(conn, "t_NavFuncGroupItem",
                           {"FFuncGroupID", "FPosition", "FDetailFuncID", "FFuncName", "FHelpCode", "FShowName"});
    std::map<int32_t, int32_t> positions;
    auto items = p.items;
    std::stable_sort(items.begin(), items.end(),
                     [](const GroupItem& a, const GroupItem& b) { return a.position < b.position; });
    for (const auto& item : items) {
      const int32_t group = groupIds.at(item.group);
      it.add({Variant(group), Variant(++positions[group]), Variant(item.detailFuncId), Variant(item.funcName),
              Variant(item.helpCode), Variant(item.showName)});
    }
    it.finish();
    change.checkpoint("favourites");
  }
  purgeUsersDanglingFavourites(conn, userId);
  if (rowsChange) change.userChanged(userId);
}

}  // namespace wayfind::erp::middletier::transfer

namespace wayfind::erp::middletier {

namespace {
constexpr int32_t kFirstUserId = 16384;  // lower identifiers of t_User are groups
}  // namespace

// An import and an apply read, check and prepare every row first, with no
// lock held (transfer::plan); the write lock is held only to write, to claim
// the new custom identifiers and to see that nothing the plan rests on moved
// meanwhile (the template, another user's custom identifiers). A plan that no
// longer holds is made again, its new identifiers somewhere else; the last
// attempt makes it under the lock, where only claims kept open by another
// change can stand in its way.
constexpr int kPlanAttempts = 3;

[[noreturn]] void identifiersTaken() {
  throw platform::AutomationError(platform::err::kOverflow, ServerDatasUpdate::kSource,
                                  say("其他用户正在添加同样标识的自定义项目，请稍后再试。"));
}

void ServerDatasUpdate::ImportUserData(const Props& p, Dict& dict) {
  auto conn = storage::connectionFor(database_);
  const int32_t userId = requireCaller(*conn, p, kSource).userId;
  if (!dict) refuse(say("导入的数据格式不正确：%1", {say("没有传入数据字典。")}));
  // The rows of the file, checked whole before anything is written; the plans
  // read them where they lie.
  const auto data = transfer::fromDictionary(*dict);
  for (int attempt = 1;; ++attempt) {
    const bool last = attempt == kPlanAttempts;
    transfer::NewIdentifiers where;
    where.scattered = attempt > 1;
    std::optional<transfer::Plan> plan;
    if (!last) {
      {
        storage::ReadTransaction snapshot(*conn);
        plan = transfer::plan(*conn, userId, data, &where);
      }
      checkpoint("ImportUserData", "planned");
    }
    // An import writes only the caller's rows: it holds the caller's own lock
    // while it writes, the write lock shared (on a server only from when its
    // rows are written), and claims its new custom identifiers at the end.
    // Other users' changes go on meanwhile; the template cannot change once
    // the write lock is held (that needs the whole of it), and a change of the
    // template before is seen by the check. A whole-database change that holds
    // the write lock, or waits for it, sends the import round again.
    Change c(database_, p, "ImportUserData", last ? storage::WriteLock::Shared : storage::WriteLock::SharedLater);
    if (last) plan = transfer::plan(c.conn(), userId, data, &where);
    transfer::write(c, *plan);
    if (!c.takeWriteLock()) continue;
    c.checkpoint("identifiers");
    if (!transfer::claim(c.conn(), *plan)) {
      if (last) identifiersTaken();
      continue;
    }
    c.commit();
    return;
  }
}

void ServerDatasUpdate::ApplyAllUser(const Props& p, Vect& oVect, Dict& dctInfo) {
  auto conn = storage::connectionFor(database_);
  const int32_t caller = requireCaller(*conn, p, kSource).userId;
  requireAdministrator(*conn, caller, "把主控台设置应用到其他用户");
  const int32_t source = userForChange(*conn, caller, dctInfo);
  // Every target is checked before anything is written. An empty list means
  // every user only on the apply-to-all path, which names no template user; a
  // template user with an empty list applies to nobody.
  std::vector<int32_t> targets;
  if (oVect && oVect->Count() > 0) {
    for (const auto& item : oVect->items()) targets.push_back(requireUserArg(*conn, item, "ApplyAllUser"));
  } else if (!namesTemplateUser(dctInfo)) {
    auto st = conn->prepare("SELECT FUserID FROM t_User WHERE FUserID >= ? ORDER BY FUserID");
    st.bind(1, kFirstUserId);
    while (st.step()) targets.push_back(st.int32(0));
  }
  std::vector<int32_t> order;
  std::set<int32_t> done{source};
  for (int32_t target : targets)
    if (done.insert(target).second) order.push_back(target);

  if (hasAppliedRows(dctInfo)) {
    // The rows a window just saved for the source: each target gets those rows
    // as the window showed them, and nothing else of the source's.
    Change c(database_, p, "ApplyAllUser");
    c.requireAdministrator("把主控台设置应用到其他用户");
    auto applied = std::make_shared<platform::Vector>();
    for (int32_t target : order) {
      applyRecordedRows(c, target, *dctInfo);
      applied->Append(platform::Variant(target));
      c.checkpoint("applied");
    }
    c.commit();
    oVect = applied;
    return;
  }

  for (int attempt = 1;; ++attempt) {
    const bool last = attempt == kPlanAttempts;
    int64_t sourceRevision = 0;
    std::vector<transfer::Plan> plans;
    auto makePlans = [&](storage::Connection& on) {
      sourceRevision = storage::userRevision(on, source);
      const auto data = transfer::fromUser(on, source);
      plans.clear();
      // Each target's new identifiers above the ones before it.
      transfer::NewIdentifiers where;
      where.scattered = attempt > 1;
      for (int32_t target : order) plans.push_back(transfer::plan(on, target, data, &where));
    };
    if (!last) {
      storage::ReadTransaction snapshot(*conn);
      makePlans(*conn);
    }
    Change c(database_, p, "ApplyAllUser");
    c.requireAdministrator("把主控台设置应用到其他用户");
    if (last) {
      makePlans(c.conn());
    } else if (storage::userRevision(c.conn(), source) != sourceRevision) {
      continue;
    }
    // The targets' custom items get identifiers of their own.
    if (!std::all_of(plans.begin(), plans.end(),
                     [&](const transfer::Plan& plan) { return transfer::claim(c.conn(), plan); })) {
      if (last) identifiersTaken();
      continue;
    }
    auto applied = std::make_shared<platform::Vector>();
    for (const auto& plan : plans) {
      transfer::write(c, plan);
      applied->Append(platform::Variant(plan.userId));
      c.checkpoint("applied");
    }
    c.commit();
    oVect = applied;
    return;
  }
}

}  // namespace wayfind::erp::middletier
