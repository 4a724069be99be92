#include "erp/middletier/nav_tables.h"

#include <algorithm>
#include <map>

#include "erp/middletier/messages.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/languages.h"

namespace wayfind::erp::middletier {

using storage::FieldSpec;
using storage::intField;
using storage::textField;
namespace size = storage::size;

std::string functionNameSql(const std::string& id, const std::string& user, const std::string& language, bool show) {
  // The outer columns only in the subqueries' WHERE: SQLite resolves them nowhere
  // else (a join's ON, an ORDER BY's subquery).
  const std::string func = "CAST(" + id + " AS INTEGER)";
  const std::string own = show ? "COALESCE(NULLIF(u.FShowName, ''), NULLIF(u.FFuncName, ''))" : "NULLIF(u.FFuncName, '')";
  const std::string fromTemplate = show ? templateShowName("t.", language) : localized("t.FFuncName", language);
  return "COALESCE((SELECT " + own + " FROM t_NavUserDetailFunc u LEFT JOIN t_NavDetailFunc p "
         "ON p.FDetailFuncID = u.FDetailFuncID WHERE u.FUserID = " + user + " AND u.FDetailFuncID = " + func +
         " ORDER BY CASE WHEN u.FSubFuncID = p.FSubFuncID THEN 0 ELSE 1 END, u.FSubFuncID LIMIT 1), "
         "(SELECT " + fromTemplate + " FROM t_NavDetailFunc t WHERE t.FDetailFuncID = " + func + "))";
}

std::string favouriteItemColumnsSql() {
  return "i.FDetailFuncID, COALESCE(NULLIF(i.FFuncName, ''), " + functionNameSql("i.FDetailFuncID", "?2", "?3", false) +
         ", ''), i.FHelpCode, COALESCE(NULLIF(i.FShowName, ''), " +
         functionNameSql("i.FDetailFuncID", "?2", "?3", true) + ", NULLIF(i.FFuncName, ''), '')";
}

namespace {

FieldSpec fieldOf(const nav::ColumnInfo& c, const std::string& name) {
  return c.type == nav::ColumnType::Text ? textField(name, c.size) : intField(name);
}

// The fields of a level's record sets: every column of the template's (a
// translated name once, in the caller's language), the columns the user's rows
// keep for a user's; a name whose translations the rows carry is followed by
// them.
std::vector<FieldSpec> levelFields(nav::Level level, bool user) {
  std::vector<FieldSpec> out;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    if (user && !nav::InUserRows(c)) continue;
    out.push_back(fieldOf(c, c.name));
    if (c.translated == nav::Translated::Everywhere)
      nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
        out.push_back(fieldOf(c, c.name + std::string(lang.columnSuffix)));
      });
  }
  return out;
}

// The columns of a level's record set as SQL, each by expr(column, twin): twin
// is the language of a name's translation, nullptr for the column itself.
template <class Expr>
std::string selectList(nav::Level level, bool user, Expr expr) {
  std::string out;
  auto add = [&](const std::string& e) { out += (out.empty() ? "" : ", ") + e; };
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    if (user && !nav::InUserRows(c)) continue;
    add(expr(c, nullptr));
    if (c.translated == nav::Translated::Everywhere)
      nav::ForEachTranslation([&](const nav::LanguageInfo& lang) { add(expr(c, &lang)); });
  }
  return out;
}

const std::map<std::string, std::vector<FieldSpec>>& templateSpecs() {
  static const std::map<std::string, std::vector<FieldSpec>> specs{
      {kTopClass, levelFields(nav::Level::TopClass, false)},
      {kSubSystem, levelFields(nav::Level::SubSystem, false)},
      {kSubFunc, levelFields(nav::Level::SubFunc, false)},
      {kDetailFunc, levelFields(nav::Level::DetailFunc, false)},
      {kProfile, {textField("FName", size::kProfileName), textField("FValue", size::kProfileValue)}},
      {kAcctType,
       {intField("FAcctType"), textField("FNumber", size::kAcctNumber), textField("FShowName", size::kName),
        intField("FDeleted")}},
  };
  return specs;
}

const std::map<std::string, std::vector<FieldSpec>>& userSpecs() {
  static const std::map<std::string, std::vector<FieldSpec>> specs{
      {kTopClass, levelFields(nav::Level::TopClass, true)},
      {kSubSystem, levelFields(nav::Level::SubSystem, true)},
      {kSubFunc, levelFields(nav::Level::SubFunc, true)},
      {kDetailFunc, levelFields(nav::Level::DetailFunc, true)},
      {kProfile, {textField("FName", size::kProfileName), textField("FValue", size::kProfileValue)}},
  };
  return specs;
}

const std::vector<FieldSpec>& specFor(const std::map<std::string, std::vector<FieldSpec>>& specs,
                                      const std::string& table) {
  auto it = specs.find(table);
  if (it == specs.end()) storage::raiseRefused(storage::kStorageSource, say("未知的导航表 %1。", {table}));
  return it->second;
}

}  // namespace

std::string localized(const std::string& column, const std::string& language) {
  std::string out = "CASE " + language;
  for (const nav::LanguageInfo& lang : nav::kLanguages)
    if (*lang.columnSuffix)
      out += std::string(" WHEN '") + lang.code + "' THEN COALESCE(NULLIF(" + column + lang.columnSuffix + ", ''), " +
             column + ")";
  return out + " ELSE " + column + " END";
}

std::string templateShowName(const std::string& prefix, const std::string& language) {
  // An empty show name is none (rows stored by earlier programs hold '').
  return "CASE WHEN " + language + " = 'chs' AND " + prefix + "FShowName <> '' THEN " + prefix +
         "FShowName ELSE " + localized(prefix + "FFuncName", language) + " END";
}

const std::vector<FieldSpec>& templateFields(const std::string& table) { return specFor(templateSpecs(), table); }
const std::vector<FieldSpec>& userFields(const std::string& table) { return specFor(userSpecs(), table); }

storage::Statement templateTableQuery(storage::Connection& conn, const std::string& table,
                                      const std::string& language, size_t& expected) {
  std::string sql;
  bool bindsLanguage = true;
  if (const auto level = nav::LevelOfTable(table)) {
    // The names in the caller's language; a detail function's translations
    // each fall back on its Chinese name.
    const std::string list = selectList(*level, false, [](const nav::ColumnInfo& c, const nav::LanguageInfo* twin) {
      if (twin) return "COALESCE(NULLIF(" + std::string(c.name) + twin->columnSuffix + ", ''), " + c.name + ")";
      if (c.role == nav::ColumnRole::Name) return localized(c.name, "?1");
      if (c.role == nav::ColumnRole::ShowName) return templateShowName("", "?1");
      return std::string(c.name);
    });
    const nav::LevelInfo& info = nav::InfoOf(*level);
    sql = "SELECT " + list + " FROM t_Nav" + info.table + " ORDER BY " + info.idField;
  } else if (table == kProfile) {
    sql = "SELECT FName, FValue FROM t_NavProfile ORDER BY FName";
    bindsLanguage = false;
  } else if (table == kAcctType) {
    sql = "SELECT FAcctType, FNumber, FShowName, FDeleted FROM t_NavAcctType ORDER BY FAcctType";
    bindsLanguage = false;
  } else {
    storage::raiseRefused(storage::kStorageSource, say("未知的导航表 %1。", {table}));
  }
  // The big tables are counted first, so their record sets take their room at
  // once rather than growing (and copying) as the rows arrive. A server sends
  // its result whole, so there the record set learns the count from it.
  expected = 0;
  if ((table == kDetailFunc || table == kSubFunc) && conn.backend() != storage::Backend::PostgreSQL) {
    auto count = conn.prepare(std::string("SELECT COUNT(*) FROM ") +
                              (table == kDetailFunc ? "t_NavDetailFunc" : "t_NavSubFunc"));
    if (count.step()) expected = static_cast<size_t>(std::max<int64_t>(count.int64(0), 0));
  }
  auto st = conn.prepare(sql);
  if (bindsLanguage) st.bind(1, language);
  return st;
}

platform::RecordsetPtr readTemplateTable(storage::Connection& conn, const std::string& table,
                                         const std::string& language) {
  size_t expected = 0;
  auto st = templateTableQuery(conn, table, language, expected);
  return storage::recordsetFromStatement(st, templateFields(table), expected);
}

storage::Statement userTableQuery(storage::Connection& conn, const std::string& table, int32_t userId,
                                  UserRows mode, const std::string& language) {
  const bool view = mode == UserRows::View;
  // A name the user did not give (Null) follows the template's, in the caller's
  // language; the stored form keeps the Null.
  auto own = [&](const std::string& column, const std::string& templateName) {
    return view ? "COALESCE(NULLIF(u." + column + ", ''), " + templateName + ")" : "u." + column;
  };
  std::string sql;
  if (const auto level = nav::LevelOfTable(table)) {
    const nav::LevelInfo& info = nav::InfoOf(*level);
    const std::string tpl = std::string("t_Nav") + info.table, user = std::string("t_NavUser") + info.table;
    if (*level != nav::Level::DetailFunc) {
      const std::string list = selectList(*level, true, [&](const nav::ColumnInfo& c, const nav::LanguageInfo*) {
        return c.role == nav::ColumnRole::Name ? own(c.name, localized(std::string("t.") + c.name, "?2"))
                                               : std::string("u.") + c.name;
      });
      sql = "SELECT " + list + " FROM " + user + " u LEFT JOIN " + tpl + " t ON t." + info.idField + " = u." +
            info.idField + " WHERE u.FUserID = ?1 ORDER BY u." + info.idField;
    } else if (view) {
      // The language names are never empty: the user's own name in the
      // caller's language (one the user typed stands for every language), else
      // the template's name in each. A row that follows the template's name
      // shows the template's show name too, so the function reads the same as
      // where the user has no row. A user's detail functions are kept by their
      // place: the sub-function, then the function.
      const std::string list = selectList(*level, true, [&](const nav::ColumnInfo& c, const nav::LanguageInfo* twin) {
        const std::string name = c.name;
        if (twin)
          return "COALESCE(NULLIF(u." + name + twin->columnSuffix + ", ''), NULLIF(u." + name + ", ''), NULLIF(t." +
                 name + twin->columnSuffix + ", ''), t." + name + ")";
        if (c.role == nav::ColumnRole::Name) {
          const std::string templateName = localized("t." + name, "?2");
          std::string out = "CASE ?2";
          nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
            out += std::string(" WHEN '") + lang.code + "' THEN COALESCE(NULLIF(u." + name + lang.columnSuffix +
                   ", ''), NULLIF(u." + name + ", ''), " + templateName + ")";
          });
          return out + " ELSE " + own(name, templateName) + " END";
        }
        if (c.role == nav::ColumnRole::ShowName)
          return "COALESCE(u." + name + ", CASE WHEN NULLIF(u." + info.nameField + ", '') IS NULL THEN " +
                 templateShowName("t.", "?2") + " END)";
        return "u." + name;
      });
      sql = "SELECT " + list + " FROM " + user + " u LEFT JOIN " + tpl + " t ON t." + info.idField + " = u." +
            info.idField + " WHERE u.FUserID = ?1 ORDER BY u." + info.parentIdField + ", u." + info.idField;
    } else {
      const std::string list = selectList(*level, true, [](const nav::ColumnInfo& c, const nav::LanguageInfo* twin) {
        return std::string(c.name) + (twin ? twin->columnSuffix : "");
      });
      sql = "SELECT " + list + " FROM " + user + " WHERE FUserID = ?1 ORDER BY " + info.parentIdField + ", " +
            info.idField;
    }
  } else if (table == kProfile) {
    sql = view ? "SELECT p.FName, COALESCE(u.FValue, p.FValue) FROM t_NavProfile p "
                 "LEFT JOIN t_NavUserProfile u ON u.FUserID = ?1 AND u.FName = p.FName "
                 "UNION ALL SELECT u.FName, u.FValue FROM t_NavUserProfile u WHERE u.FUserID = ?1 "
                 "AND NOT EXISTS (SELECT 1 FROM t_NavProfile p WHERE p.FName = u.FName) ORDER BY 1"
               : "SELECT FName, FValue FROM t_NavUserProfile WHERE FUserID = ?1 ORDER BY FName";
  } else {
    storage::raiseRefused(storage::kStorageSource, say("未知的导航表 %1。", {table}));
  }
  auto st = conn.prepare(sql);
  st.bind(1, userId);
  if (sql.find("?2") != std::string::npos) st.bind(2, language);
  return st;
}

platform::RecordsetPtr readUserTable(storage::Connection& conn, const std::string& table, int32_t userId,
                                     UserRows mode, const std::string& language) {
  auto st = userTableQuery(conn, table, userId, mode, language);
  return storage::recordsetFromStatement(st, userFields(table));
}

const std::vector<FieldSpec>& groupFields() {
  static const std::vector<FieldSpec> f{intField("FFuncGroupID"), textField("FFuncGroupName", size::kGroupName),
                                        textField("FShowName", size::kGroupName), intField("FIndex")};
  return f;
}

const std::vector<FieldSpec>& groupItemFields() {
  static const std::vector<FieldSpec> f{intField("FFuncGroupID"), intField("FPosition"), intField("FDetailFuncID"),
                                        textField("FFuncName", size::kName), textField("FHelpCode", size::kHelpCode),
                                        textField("FShowName", size::kName)};
  return f;
}

platform::RecordsetPtr readUserGroups(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare(
      "SELECT FFuncGroupID, FFuncGroupName, FShowName, FIndex FROM t_NavFuncGroup WHERE FUserID = ? "
      "ORDER BY FIndex, FFuncGroupID");
  st.bind(1, userId);
  return storage::recordsetFromStatement(st, groupFields());
}

platform::RecordsetPtr readUserGroupItems(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare(
      "SELECT i.FFuncGroupID, i.FPosition, i.FDetailFuncID, i.FFuncName, i.FHelpCode, i.FShowName "
      "FROM t_NavFuncGroupItem i JOIN t_NavFuncGroup g ON g.FFuncGroupID = i.FFuncGroupID "
      "WHERE g.FUserID = ? ORDER BY g.FIndex, g.FFuncGroupID, i.FPosition");
  st.bind(1, userId);
  return storage::recordsetFromStatement(st, groupItemFields());
}

}  // namespace wayfind::erp::middletier
