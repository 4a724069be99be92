#include "erp/middletier/datas_update_rows.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <random>

#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/messages.h"
#include "erp/middletier/nav_tables.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/schema_tables.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/columns.h"

namespace wayfind::erp::middletier::rows {

namespace size = storage::size;
using platform::Variant;

namespace {

// The level's names as the catalogue and the schema give them, and its name in
// messages.
Level levelOf(nav::Level level, const char* label) {
  const nav::LevelInfo& info = nav::InfoOf(level);
  return {nav::LevelNumber(level), info.base, info.table, label, storage::schema::templateTable(level),
          storage::schema::userTable(level), info.idField, info.parentIdField, info.nameField};
}

const Level kLevels[] = {
    levelOf(nav::Level::TopClass, "顶级分类"),
    levelOf(nav::Level::SubSystem, "子系统"),
    levelOf(nav::Level::SubFunc, "子功能"),
    levelOf(nav::Level::DetailFunc, "明细功能"),
};

std::string joined(const std::vector<std::string>& cols) {
  std::string out;
  for (const auto& c : cols) out += (out.empty() ? "" : ", ") + c;
  return out;
}

std::optional<int64_t> maxOf(storage::Connection& conn, const std::string& sql, int32_t a = 0) {
  auto st = conn.prepare(sql);
  if (sql.find('?') != std::string::npos) st.bind(1, a);
  if (!st.step() || st.isNull(0)) return std::nullopt;
  return st.int64(0);
}

enum class Kind { Text, Flag, Int };
struct KeySpec {
  std::vector<const char*> aliases;  // the first present one counts
  const char* column;
  Kind kind;
  int32_t size;
  bool required;  // may not be empty when given (names)
  bool emptyIsNull;  // an empty text is no value
};

// A text kept for the life of the process (a translation's column name).
const char* keptText(std::string text) {
  static std::deque<std::string> texts;
  return texts.emplace_back(std::move(text)).c_str();
}

nav::Level navLevel(const Level& l) { return static_cast<nav::Level>(l.number); }

Kind kindOf(const nav::ColumnInfo& c) {
  switch (c.type) {
    case nav::ColumnType::Text: return Kind::Text;
    case nav::ColumnType::Flag: return Kind::Flag;
    case nav::ColumnType::Integer: break;
  }
  return Kind::Int;
}

// The keys a level's columns take from the editors (the catalogue's), a
// translated name's translations each by its column's name.
std::vector<KeySpec> keySpecsOf(nav::Level level) {
  std::vector<KeySpec> out;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    if (!nav::InUserRows(c) || !c.keys[0]) continue;
    KeySpec spec{{}, c.name, kindOf(c), c.size, c.required, c.emptyIsNull};
    for (const char* key : c.keys)
      if (key) spec.aliases.push_back(key);
    out.push_back(std::move(spec));
    if (c.translated == nav::Translated::Everywhere)
      nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
        const char* twin = keptText(std::string(c.name) + lang.columnSuffix);
        out.push_back(KeySpec{{twin}, twin, Kind::Text, c.size, false, false});
      });
  }
  return out;
}

const std::vector<KeySpec>& keySpecs(const Level& l) {
  static const std::vector<KeySpec> specs[] = {keySpecsOf(nav::Level::TopClass), keySpecsOf(nav::Level::SubSystem),
                                               keySpecsOf(nav::Level::SubFunc), keySpecsOf(nav::Level::DetailFunc)};
  return specs[l.number - 1];
}

bool sameText(const Variant& a, const Variant& b) { return platform::textOrEmpty(a) == platform::textOrEmpty(b); }

}  // namespace

const Level& level(int number) {
  if (number < 1 || number > 4) refuse(say("层级 %1 无效，应为 1 到 4。", {std::to_string(number)}));
  return kLevels[number - 1];
}

const Level* levelByBase(int32_t base) {
  for (const auto& l : kLevels)
    if (l.base == base) return &l;
  return nullptr;
}

std::string nodeText(const Level& l, int32_t id, const std::string& name) {
  const std::string label = say(l.label);
  if (name.empty()) return say("%1（编号 %2）", {label, std::to_string(id)});
  return label + quoted(name);
}

std::string nodeText(storage::Connection& conn, const Level& l, int32_t id, int32_t callerId) {
  // The template's name in the caller's language, else the name the caller
  // gave an item of their own; anybody else's custom item by its number (its
  // name is its user's own).
  auto st = conn.prepare(std::string("SELECT ") + localized(l.nameCol, "?2") + " FROM " + l.tplTable + " WHERE " +
                         l.idCol + " = ?1 UNION ALL SELECT " + l.nameCol + " FROM " + l.userTable + " WHERE " +
                         l.idCol + " = ?1 AND FUserID = ?3 AND " + l.nameCol + " <> ''");
  st.bindAll(id, callLanguage(), callerId);
  return nodeText(l, id, st.step() && !st.isNull(0) ? st.text(0) : std::string());
}

std::string nodeText(const Level& l, const Row& row) {
  auto name = row.find(l.nameCol);
  const bool named = name != row.end() && !name->second.isNull() && !name->second.isEmpty();
  return nodeText(l, platform::CLng(row.at(l.idCol)), named ? platform::CStr(name->second) : std::string());
}

const Level* childLevel(const Level& l) { return l.number < 4 ? &kLevels[l.number] : nullptr; }

const std::vector<std::string>& userColumns(const Level& l) {
  static const auto build = [](const Level& lv) {
    std::vector<std::string> cols;
    for (const auto& f : userFields(lv.key)) cols.push_back(f.name);
    return cols;
  };
  static const std::vector<std::string> cols[] = {build(kLevels[0]), build(kLevels[1]), build(kLevels[2]),
                                                  build(kLevels[3])};
  return cols[l.number - 1];
}

bool templateHas(storage::Connection& conn, const Level& l, int32_t id) {
  auto st = conn.prepare(std::string("SELECT 1 FROM ") + l.tplTable + " WHERE " + l.idCol + " = ?");
  st.bind(1, id);
  return st.step();
}

Owner ownerOf(storage::Connection& conn, const Level& l, int32_t id, int32_t userId) {
  if (id < l.base) return templateHas(conn, l, id) ? Owner::Template : Owner::None;
  auto st = conn.prepare(std::string("SELECT MAX(CASE WHEN FUserID = ?1 THEN 1 ELSE 0 END) FROM ") + l.userTable + " WHERE " + l.idCol + " = ?2");
  st.bindAll(userId, id);
  if (!st.step() || st.isNull(0)) return Owner::None;
  return st.int64(0) ? Owner::Caller : Owner::Other;
}

Owner requireOwnNode(storage::Connection& conn, const Level& l, int32_t id, int32_t userId) {
  const Owner owner = ownerOf(conn, l, id, userId);
  if (owner == Owner::None) refuse(say("%1不存在，可能已被删除。", {nodeText(l, id)}));
  if (owner == Owner::Other) refuse(say("%1是其他用户自定义的项目，不能修改。", {nodeText(l, id)}));
  return owner;
}

void requireParent(storage::Connection& conn, const Level& child, int32_t parentId, int32_t userId) {
  const Level& parent = level(child.number - 1);
  const Owner owner = ownerOf(conn, parent, parentId, userId);
  if (owner == Owner::None) refuse(say("上级%1不存在，可能已被删除。", {nodeText(parent, parentId)}));
  if (owner == Owner::Other)
    refuse(say("上级%1是其他用户自定义的项目，不能在其下新建。", {nodeText(parent, parentId)}));
}

std::optional<Row> templateAsUserRow(storage::Connection& conn, const Level& l, int32_t id,
                                     const std::string& language) {
  // The name in the caller's language, its translations as the template keeps
  // them, no show name.
  std::string list;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(navLevel(l))) {
    if (!nav::InUserRows(c)) continue;
    list += list.empty() ? "" : ", ";
    if (c.role == nav::ColumnRole::Name) {
      list += localized(c.name, "?2");
    } else {
      list += c.role == nav::ColumnRole::ShowName ? "NULL" : c.name;
    }
    if (c.translated == nav::Translated::Everywhere)
      nav::ForEachTranslation(
          [&](const nav::LanguageInfo& lang) { list += std::string(", ") + c.name + lang.columnSuffix; });
  }
  const std::string sql = "SELECT " + list + " FROM " + l.tplTable + " WHERE " + l.idCol + " = ?1";
  auto st = conn.prepare(sql);
  st.bindAll(id, language);
  if (!st.step()) return std::nullopt;
  Row row;
  const auto& cols = userColumns(l);
  for (size_t i = 0; i < cols.size(); ++i) row[cols[i]] = st.value(static_cast<int>(i));
  return row;
}

namespace {

// The columns naming a level's nodes: the name with the twins it keeps for the
// other languages, in the user's rows or in the template's (there with the
// show name too).
std::vector<std::string> namingColumns(nav::Level level, bool inTemplate) {
  std::vector<std::string> cols;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    const bool naming = c.role == nav::ColumnRole::Name || (inTemplate && c.role == nav::ColumnRole::ShowName);
    if (!naming) continue;
    cols.push_back(c.name);
    const bool twins = inTemplate ? c.translated != nav::Translated::No : c.translated == nav::Translated::Everywhere;
    if (twins)
      nav::ForEachTranslation(
          [&](const nav::LanguageInfo& lang) { cols.push_back(c.name + std::string(lang.columnSuffix)); });
  }
  return cols;
}

const std::vector<std::string>& namingColumns(const Level& l, bool inTemplate) {
  static const std::vector<std::string> cols[2][4] = {
      {namingColumns(nav::Level::TopClass, false), namingColumns(nav::Level::SubSystem, false),
       namingColumns(nav::Level::SubFunc, false), namingColumns(nav::Level::DetailFunc, false)},
      {namingColumns(nav::Level::TopClass, true), namingColumns(nav::Level::SubSystem, true),
       namingColumns(nav::Level::SubFunc, true), namingColumns(nav::Level::DetailFunc, true)}};
  return cols[inTemplate ? 1 : 0][l.number - 1];
}

}  // namespace

const std::vector<std::string>& nameColumns(const Level& l) { return namingColumns(l, false); }

const std::vector<std::string>& templateNameColumns(const Level& l) { return namingColumns(l, true); }

Row withoutNames(const Level& l, Row row) {
  for (const auto& c : nameColumns(l)) row[c] = Variant::null();
  return row;
}

void settleNames(const Level& l, Row& row, const Row& before, const std::vector<std::string>& set,
                 const Row* templateRow, const std::string& language) {
  const std::string name = l.nameCol;
  if (std::find(set.begin(), set.end(), name) == set.end()) return;
  auto value = [&](const std::string& col) { return before.count(col) ? before.at(col) : Variant::null(); };
  // The name the caller was shown: a detail function's own name in the caller's
  // language when the user keeps one there.
  Variant shown = value(name);
  if (l.number == 4 && !nav::IsWrittenLanguage(language)) {
    const Variant translated = value(name + nav::LanguageOfCode(language).columnSuffix);
    if (!translated.isNull() && !(translated.isString() && translated.asString().empty())) shown = translated;
  }
  if (templateRow && sameText(row[name], templateRow->at(name))) {
    row[name] = Variant::null();  // back to following the template
  } else if (!shown.isNull() && sameText(row[name], shown)) {
    row[name] = value(name);  // the name as it was shown: unchanged
    return;
  }
  // A name typed (or given back to the template) is the name in every language,
  // unless the caller sent the translations too.
  for (const auto& c : nameColumns(l))
    if (c != name && std::find(set.begin(), set.end(), c) == set.end()) row[c] = Variant::null();
}

void dropTemplateNames(storage::Connection& conn, const Level& l, Row& row) {
  const std::vector<std::string>& cols = templateNameColumns(l);
  auto st = conn.prepare("SELECT " + joined(cols) + " FROM " + l.tplTable + " WHERE " + l.idCol + " = ?");
  st.bind(1, row.at(l.idCol));
  if (!st.step()) return;
  std::vector<std::string> names;
  for (int i = 0; i < static_cast<int>(cols.size()); ++i)
    if (!st.isNull(i) && !st.text(i).empty()) names.push_back(st.text(i));
  dropTemplateNames(l, row, names);
}

void dropTemplateNames(const Level& l, Row& row, const std::vector<std::string>& names) {
  auto isTranslation = [&](const Variant& v) {
    if (v.isNull() || v.isEmpty()) return false;
    const std::string text = platform::CStr(v);
    return text.empty() || std::find(names.begin(), names.end(), text) != names.end();
  };
  std::vector<std::string> cols = nameColumns(l);
  for (const nav::ColumnInfo& c : nav::ColumnsOf(navLevel(l)))
    if (c.role == nav::ColumnRole::ShowName) cols.push_back(c.name);
  for (const auto& c : cols)
    if (row.count(c) && isTranslation(row[c])) row[c] = Variant::null();
}

std::optional<Row> readUserRow(storage::Connection& conn, const Level& l, int32_t userId, int32_t id,
                               int32_t subFuncId) {
  const auto& cols = userColumns(l);
  std::string sql = "SELECT " + joined(cols) + " FROM " + l.userTable + " WHERE FUserID = ?1 AND " + l.idCol + " = ?2";
  if (l.number == 4) sql += " AND FSubFuncID = ?3";
  auto st = conn.prepare(sql);
  st.bindAll(userId, id);
  if (l.number == 4) st.bind(3, subFuncId);
  if (!st.step()) return std::nullopt;
  Row row;
  for (size_t i = 0; i < cols.size(); ++i) row[cols[i]] = st.value(static_cast<int>(i));
  return row;
}

std::vector<int32_t> userPlaces(storage::Connection& conn, int32_t userId, int32_t detailId) {
  auto st = conn.prepare(
      "SELECT FSubFuncID FROM t_NavUserDetailFunc WHERE FUserID = ? AND FDetailFuncID = ? ORDER BY FSubFuncID");
  st.bindAll(userId, detailId);
  std::vector<int32_t> out;
  while (st.step()) out.push_back(st.int32(0));
  return out;
}

void writeUserRow(storage::Connection& conn, const Level& l, int32_t userId, const Row& row) {
  const auto& cols = userColumns(l);
  // The user's row changed in place where there is one (deleting and adding it
  // again would count a custom item still in use among the deleted ones).
  auto cell = [&](const std::string& c) {
    auto it = row.find(c);
    const Variant v = it == row.end() ? Variant::null() : it->second;
    // FAcctType is NOT NULL in the user tables: empty means every account type.
    return c == "FAcctType" && (v.isNull() || v.isEmpty()) ? Variant("") : v;
  };
  std::string set;
  std::vector<std::string> changed;
  for (const auto& c : cols) {
    if (c == l.idCol || (l.number == 4 && c == "FSubFuncID")) continue;
    set += (set.empty() ? "" : ", ") + c + " = ?";
    changed.push_back(c);
  }
  std::string where = std::string(" WHERE FUserID = ? AND ") + l.idCol + " = ?";
  if (l.number == 4) where += " AND FSubFuncID = ?";
  auto up = conn.prepare(std::string("UPDATE ") + l.userTable + " SET " + set + where);
  int at = 0;
  for (const auto& c : changed) up.bind(++at, cell(c));
  up.bind(++at, userId);
  up.bind(++at, row.at(l.idCol));
  if (l.number == 4) up.bind(++at, row.at("FSubFuncID"));
  if (up.run() > 0) return;
  std::string marks = "?";
  for (size_t i = 0; i < cols.size(); ++i) marks += ", ?";
  auto ins = conn.prepare(std::string("INSERT INTO ") + l.userTable + " (FUserID, " + joined(cols) + ") VALUES (" +
                          marks + ")");
  ins.bind(1, userId);
  int i = 1;
  for (const auto& c : cols) ins.bind(++i, cell(c));
  ins.run();
}

bool userHasChildren(storage::Connection& conn, const Level& parent, int32_t userId, int32_t parentId) {
  const Level* child = childLevel(parent);
  if (!child) return false;
  auto st = conn.prepare(std::string("SELECT 1 FROM ") + child->userTable + " WHERE FUserID = ? AND " +
                         child->parentCol + " = ? LIMIT 1");
  st.bindAll(userId, parentId);
  return st.step();
}

bool idInUse(storage::Connection& conn, const Level& l, int32_t id) {
  if (templateHas(conn, l, id)) return true;
  auto st = conn.prepare(std::string("SELECT 1 FROM ") + l.userTable + " WHERE " + l.idCol + " = ? LIMIT 1");
  st.bind(1, id);
  return st.step();
}

namespace {

// Whether a custom item that was deleted had the identifier.
bool retired(storage::Connection& conn, const Level& l, int32_t id) {
  auto st = conn.prepare("SELECT 1 FROM t_WayfindRetiredId WHERE FLevel = ? AND FID = ? LIMIT 1");
  st.bindAll(l.number, id);
  return st.step();
}

}  // namespace

int32_t nextFreeCustomId(storage::Connection& conn, const Level& l) {
  // Above every identifier a deleted item had too: an edit still open on it
  // elsewhere must not land on a new item.
  const std::string sql = std::string("SELECT MAX(id) FROM (SELECT MAX(") + l.idCol + ") AS id FROM " + l.tplTable +
                          " UNION ALL SELECT MAX(" + l.idCol + ") FROM " + l.userTable +
                          " UNION ALL SELECT MAX(FID) FROM t_WayfindRetiredId WHERE FLevel = ?1) AS ids";
  const int64_t highest = maxOf(conn, sql, l.number).value_or(0);
  const int64_t next = highest >= l.base ? highest + 1 : l.base;
  if (next <= std::numeric_limits<int32_t>::max()) return static_cast<int32_t>(next);
  // The top of the range is taken (one item may sit there): the lowest free
  // identifier from the base on, none a deleted item had.
  const std::string id = l.idCol, tpl = l.tplTable, user = l.userTable;
  const std::string level = std::to_string(l.number);
  const std::string free =
      "SELECT MIN(c.id) FROM (SELECT CAST(?1 AS INTEGER) AS id"
      " UNION ALL SELECT " + id + " + 1 FROM " + tpl + " WHERE " + id + " >= ?1 AND " + id + " < 2147483647"
      " UNION ALL SELECT " + id + " + 1 FROM " + user + " WHERE " + id + " >= ?1 AND " + id + " < 2147483647"
      " UNION ALL SELECT FID + 1 FROM t_WayfindRetiredId WHERE FLevel = " + level + " AND FID >= ?1"
      " AND FID < 2147483647) AS c"
      " WHERE NOT EXISTS (SELECT 1 FROM " + tpl + " WHERE " + id + " = c.id)"
      " AND NOT EXISTS (SELECT 1 FROM " + user + " WHERE " + id + " = c.id)"
      " AND NOT EXISTS (SELECT 1 FROM t_WayfindRetiredId WHERE FLevel = " + level + " AND FID = c.id)";
  if (const auto found = maxOf(conn, free, l.base)) return static_cast<int32_t>(*found);
  throw platform::AutomationError(platform::err::kOverflow, "ZelWayfind.DatasUpdate", say("该层级的自定义项目标识已用完。"));
}

int32_t claimCustomId(storage::Connection& conn, const Level& l, int32_t requested) {
  constexpr int kInOrder = 4, kAttempts = 24;
  constexpr int64_t kTop = std::numeric_limits<int32_t>::max();
  int64_t candidate = nextFreeCustomId(conn, l);
  // A number asked for is taken when it is free and no deleted item had it (a
  // caller may ask for one it read before the item was deleted).
  if (requested >= l.base && requested <= candidate && !retired(conn, l, requested)) candidate = requested;
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const auto id = static_cast<int32_t>(candidate);
    // Checked again once claimed: a change may have stored it just before.
    if (!idInUse(conn, l, id) && !retired(conn, l, id) && conn.claimIdentifiers(l.number, {id}) && !idInUse(conn, l, id))
      return id;
    const int64_t next = nextFreeCustomId(conn, l);
    if (attempt + 1 < kInOrder) {
      candidate = std::max(next, candidate + 1);
    } else {
      const int64_t low = next < kTop ? next + 1 : l.base;
      candidate = std::uniform_int_distribution<int64_t>(low, kTop)(random);
    }
    if (candidate > kTop) candidate = next;
  }
  throw platform::AutomationError(platform::err::kOverflow, "ZelWayfind.DatasUpdate",
                                  say("其他用户正在添加同一层级的自定义项目，请稍后再试。"));
}

int32_t nextFreeTemplateId(storage::Connection& conn, const Level& l) {
  const std::string sql =
      std::string("SELECT MAX(") + l.idCol + ") FROM " + l.tplTable + " WHERE " + l.idCol + " < ?";
  const int64_t next = maxOf(conn, sql, l.base).value_or(0) + 1;
  if (next >= l.base) refuse(say("模板中%1的标识已用完。", {say(l.label)}));
  return static_cast<int32_t>(next);
}

int32_t nextIndex(storage::Connection& conn, const Level& l, int32_t parentId, int32_t userId) {
  std::string sql;
  if (l.number == 1) {
    sql = "SELECT MAX(FIndex) FROM (SELECT FIndex FROM t_NavTopClass UNION ALL "
          "SELECT FIndex FROM t_NavUserTopClass WHERE FUserID = ?2) AS i";
  } else {
    sql = std::string("SELECT MAX(FIndex) FROM (SELECT FIndex FROM ") + l.tplTable + " WHERE " + l.parentCol +
          " = ?1 UNION ALL SELECT FIndex FROM " + l.userTable + " WHERE FUserID = ?2 AND " + l.parentCol + " = ?1) AS i";
  }
  auto st = conn.prepare(sql);
  if (l.number != 1) st.bind(1, parentId);
  st.bind(2, userId);
  const int64_t highest = st.step() && !st.isNull(0) ? st.int64(0) : 0;
  if (highest >= std::numeric_limits<int32_t>::max()) refuse(say("顺序号已达上限。"));
  return static_cast<int32_t>(std::max<int64_t>(highest, 0) + 1);
}

std::string textArg(std::string_view key, const Variant& v, int32_t maxChars, bool required) {
  const std::string label = fieldLabel(key);
  if (v.isObject()) refuse(say("%1的值不能是对象。", {label}));
  std::string text;
  if (!v.isNull() && !v.isEmpty()) {
    try {
      text = platform::CStr(v);
    } catch (const platform::AutomationError&) {
      refuse(say("%1的值无效。", {label}));
    }
  }
  if (!storage::isValidUtf8(text)) refuse(say("%1不是有效的文本。", {label}));
  if (platform::charLength(text) > static_cast<size_t>(maxChars))
    refuse(say("%1不能超过 %2 个字符。", {label, std::to_string(maxChars)}));
  if (required && platform::isBlankText(text)) refuse(say("%1不能为空。", {label}));
  return text;
}

int32_t intArg(std::string_view key, const Variant& v) {
  const std::string label = fieldLabel(key);
  if (v.isObject() || v.isNull() || v.isEmpty()) refuse(say("%1需要一个整数。", {label}));
  try {
    return platform::CLng(v);
  } catch (const platform::AutomationError&) {
    refuse(say("%1的值“%2”不是有效的整数。", {label, v.debugString()}));
  }
}

int32_t flagArg(std::string_view key, const Variant& v) {
  const std::string label = fieldLabel(key);
  if (v.isObject() || v.isNull() || v.isEmpty()) refuse(say("%1需要 0 或 1。", {label}));
  try {
    return platform::CBool(v) ? 1 : 0;
  } catch (const platform::AutomationError&) {
    refuse(say("%1的值“%2”不是有效的标志。", {label, v.debugString()}));
  }
}

void checkHelpCode(std::string_view key, const std::string& code) {
  // The console finds functions by filters that quote the code.
  if (code.find('\'') != std::string::npos) refuse(say("%1不能含有单引号。", {fieldLabel(key)}));
}

std::vector<std::string> applyKeys(const platform::Dictionary& dict, const Level& l, KeyUse use, Row& row,
                                   const Row* templateRow) {
  std::vector<std::string> set;
  const auto& specs = keySpecs(l);
  for (const auto& key : dict.Keys()) {
    const bool fixed = platform::iequals(key, l.idCol) || (l.parentCol && platform::iequals(key, l.parentCol));
    if (fixed) {
      if (use == KeyUse::Create && platform::iequals(key, l.idCol)) continue;  // the caller chose the id
      const std::string col = platform::iequals(key, l.idCol) ? l.idCol : l.parentCol;
      if (intArg(key, dict.GetValue(key)) != platform::CLng(row.at(col)))
        refuse(say("%1的%2不能改变。", {nodeText(l, row), key}));
      continue;
    }
    bool known = false;
    for (const auto& s : specs)
      for (const char* a : s.aliases) known = known || platform::iequals(key, a);
    if (!known) refuse(say("%1不接受键“%2”。", {say(l.label), key}));
  }
  for (const auto& s : specs) {
    const char* present = nullptr;
    for (const char* a : s.aliases)
      if (!present && dict.Lookup(a)) present = a;
    if (!present) continue;
    const Variant raw = dict.GetValue(present);
    Variant value;
    switch (s.kind) {
      case Kind::Text: {
        std::string text = textArg(present, raw, s.size, s.required);
        if (std::string_view(s.column) == "FHelpCode") checkHelpCode(present, text);
        // An empty class text or show name is no value; other texts stay texts.
        value = s.emptyIsNull && text.empty() ? Variant::null() : Variant(std::move(text));
        break;
      }
      case Kind::Flag: value = Variant(flagArg(present, raw)); break;
      case Kind::Int: value = Variant(intArg(present, raw)); break;
    }
    const bool classText = std::string_view(s.column) == "FClassName" || std::string_view(s.column) == "FClassParam";
    if (classText && templateRow) {
      // The merge never takes a template node's class from the user's row.
      if (!sameText(value, templateRow->at(s.column)))
        refuse(say("%1是模板中的项目，它的程序类名和参数不能修改。", {nodeText(l, *templateRow)}));
      continue;
    }
    row[s.column] = value;
    set.push_back(s.column);
  }
  return set;
}

std::optional<std::string> columnOfKey(const Level& l, std::string_view key) {
  for (const auto& s : keySpecs(l))
    for (const char* a : s.aliases)
      if (platform::iequals(key, a)) return std::string(s.column);
  return std::nullopt;
}

namespace {

const KeySpec* specOfColumn(const Level& l, const std::string& column) {
  for (const auto& s : keySpecs(l))
    if (column == s.column) return &s;
  return nullptr;
}

}  // namespace

std::string comparable(const Level& l, const std::string& column, const Variant& v) {
  const KeySpec* spec = specOfColumn(l, column);
  try {
    if (spec && spec->kind == Kind::Flag) return v.isNull() || v.isEmpty() ? "0" : (platform::CBool(v) ? "1" : "0");
    if (spec && spec->kind == Kind::Int) return v.isNull() || v.isEmpty() ? "0" : std::to_string(platform::CLng(v));
    return platform::textOrEmpty(v);
  } catch (const platform::AutomationError&) {
    return v.debugString();
  }
}

std::string readable(const Level& l, const std::string& column, const Variant& v) {
  const KeySpec* spec = specOfColumn(l, column);
  const std::string text = comparable(l, column, v);
  if (spec && spec->kind == Kind::Flag) return say(text == "1" ? "是" : "否");
  return text;
}

Variant shownValue(const Level& l, const Row& row, const Row* templateRow, const std::string& column,
                   const std::string& language) {
  const auto value = [](const Row& r, const std::string& col) {
    const auto it = r.find(col);
    return it == r.end() ? Variant::null() : it->second;
  };
  const auto named = [](const Variant& v) { return !v.isNull() && !v.isEmpty() && !platform::textOrEmpty(v).empty(); };
  if (column != l.nameCol) return value(row, column);
  if (l.number == 4 && language != "chs") {
    const Variant translated = value(row, column + "_" + language);
    if (named(translated)) return translated;
  }
  if (named(value(row, column))) return value(row, column);
  return templateRow ? value(*templateRow, column) : Variant::null();
}

void purgeDanglingFavourites(storage::Connection& conn, std::optional<int32_t> ofUser) {
  const std::string dangling =
      "NOT EXISTS (SELECT 1 FROM t_NavDetailFunc d WHERE d.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID) "
      "AND NOT EXISTS (SELECT 1 FROM t_NavUserDetailFunc u JOIN t_NavFuncGroup g ON g.FUserID = u.FUserID "
      "WHERE g.FFuncGroupID = t_NavFuncGroupItem.FFuncGroupID "
      "AND u.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID)";
  if (!ofUser) {
    conn.prepare("DELETE FROM t_NavFuncGroupItem WHERE " + dangling).run();
    return;
  }
  auto st = conn.prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID IN "
                         "(SELECT FFuncGroupID FROM t_NavFuncGroup WHERE FUserID = ?) AND " + dangling);
  st.bind(1, *ofUser);
  st.run();
}

}  // namespace wayfind::erp::middletier::rows
