#include "erp/middletier/nav_tables.h"

#include <algorithm>
#include <map>

#include "erp/middletier/messages.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"
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

const std::map<std::string, std::vector<FieldSpec>>& templateSpecs() {
  static const std::map<std::string, std::vector<FieldSpec>> specs{
      {kTopClass,
       {intField("FTopClassID"), textField("FTopClassName", size::kName), textField("FAcctType", size::kAcctList),
        intField("FIndex"), intField("FVisible"), intField("FShowSysType"), textField("FClassName", size::kClass),
        textField("FClassParam", size::kClass)}},
      {kSubSystem,
       {intField("FSubSysID"), intField("FTopClassID"), textField("FName", size::kName),
        textField("FAcctType", size::kAcctList), intField("FIndex"), intField("FVisible"), intField("FRefresh"),
        textField("FClassName", size::kClass), textField("FClassParam", size::kClass),
        textField("FHelpFile", size::kClass)}},
      {kSubFunc,
       {intField("FSubFuncID"), intField("FSubSysID"), textField("FFuncName", size::kName),
        textField("FAcctType", size::kAcctList), intField("FIndex"), intField("FVisible"), intField("FRefresh"),
        intField("FSetEnable"), textField("FClassName", size::kClass), textField("FClassParam", size::kClass)}},
      {kDetailFunc,
       {intField("FDetailFuncID"), intField("FSubFuncID"), textField("FFuncName", size::kName),
        textField("FFuncName_en", size::kName), textField("FFuncName_cht", size::kName),
        textField("FShowName", size::kName), textField("FHelpCode", size::kHelpCode),
        textField("FHelpCode1", size::kHelpCode), textField("FAcctType", size::kAcctList), intField("FIndex"),
        intField("FVisible"), intField("FEnable"), intField("FFuncType"), textField("FClassName", size::kClass),
        textField("FClassParam", size::kClass)}},
      {kProfile, {textField("FName", size::kProfileName), textField("FValue", size::kProfileValue)}},
      {kAcctType,
       {intField("FAcctType"), textField("FNumber", size::kAcctNumber), textField("FShowName", size::kName),
        intField("FDeleted")}},
  };
  return specs;
}

const std::map<std::string, std::vector<FieldSpec>>& userSpecs() {
  static const std::map<std::string, std::vector<FieldSpec>> specs{
      {kTopClass,
       {intField("FTopClassID"), textField("FTopClassName", size::kName), textField("FAcctType", size::kAcctList),
        intField("FIndex"), intField("FVisible"), textField("FClassName", size::kClass),
        textField("FClassParam", size::kClass)}},
      {kSubSystem,
       {intField("FSubSysID"), intField("FTopClassID"), textField("FName", size::kName),
        textField("FAcctType", size::kAcctList), intField("FIndex"), intField("FVisible"),
        textField("FClassName", size::kClass), textField("FClassParam", size::kClass),
        textField("FHelpFile", size::kClass)}},
      {kSubFunc,
       {intField("FSubFuncID"), intField("FSubSysID"), textField("FFuncName", size::kName),
        textField("FAcctType", size::kAcctList), intField("FIndex"), intField("FVisible"),
        textField("FClassName", size::kClass), textField("FClassParam", size::kClass)}},
      {kDetailFunc,
       {intField("FDetailFuncID"), intField("FSubFuncID"), textField("FFuncName", size::kName),
        textField("FFuncName_en", size::kName), textField("FFuncName_cht", size::kName),
        textField("FShowName", size::kName), textField("FHelpCode", size::kHelpCode),
        textField("FAcctType", size::kAcctList), intField("FIndex"), intField("FVisible"), intField("FEnable"),
        intField("FFuncType"), textField("FClassName", size::kClass), textField("FClassParam", size::kClass)}},
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
  return "CASE WHEN " + language + " = 'chs' AND " + prefix + "FShowName IS NOT NULL THEN " + prefix +
         "FShowName ELSE " + localized(prefix + "FFuncName", language) + " END";
}

namespace {

}  // namespace

const std::vector<FieldSpec>& templateFields(const std::string& table) { return specFor(templateSpecs(), table); }
const std::vector<FieldSpec>& userFields(const std::string& table) { return specFor(userSpecs(), table); }

storage::Statement templateTableQuery(storage::Connection& conn, const std::string& table,
                                      const std::string& language, size_t& expected) {
  std::string sql;
  bool bindsLanguage = true;
  if (table == kTopClass) {
    sql = "SELECT FTopClassID, " + localized("FTopClassName", "?1") +
          ", FAcctType, FIndex, FVisible, FShowSysType, FClassName, FClassParam FROM t_NavTopClass ORDER BY FTopClassID";
  } else if (table == kSubSystem) {
    sql = "SELECT FSubSysID, FTopClassID, " + localized("FName", "?1") +
          ", FAcctType, FIndex, FVisible, FRefresh, FClassName, FClassParam, FHelpFile FROM t_NavSubSystem "
          "ORDER BY FSubSysID";
  } else if (table == kSubFunc) {
    sql = "SELECT FSubFuncID, FSubSysID, " + localized("FFuncName", "?1") +
          ", FAcctType, FIndex, FVisible, FRefresh, FSetEnable, FClassName, FClassParam FROM t_NavSubFunc "
          "ORDER BY FSubFuncID";
  } else if (table == kDetailFunc) {
    sql = "SELECT FDetailFuncID, FSubFuncID, " + localized("FFuncName", "?1") +
          ", COALESCE(NULLIF(FFuncName_en, ''), FFuncName), COALESCE(NULLIF(FFuncName_cht, ''), FFuncName), " +
          templateShowName("", "?1") + ", FHelpCode, FHelpCode1, FAcctType, FIndex, FVisible, FEnable, FFuncType, FClassName, FClassParam "
          "FROM t_NavDetailFunc ORDER BY FDetailFuncID";
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
  if (table == kTopClass) {
    sql = "SELECT u.FTopClassID, " + own("FTopClassName", localized("t.FTopClassName", "?2")) +
          ", u.FAcctType, u.FIndex, u.FVisible, u.FClassName, u.FClassParam FROM t_NavUserTopClass u "
          "LEFT JOIN t_NavTopClass t ON t.FTopClassID = u.FTopClassID WHERE u.FUserID = ?1 ORDER BY u.FTopClassID";
  } else if (table == kSubSystem) {
    sql = "SELECT u.FSubSysID, u.FTopClassID, " + own("FName", localized("t.FName", "?2")) +
          ", u.FAcctType, u.FIndex, u.FVisible, u.FClassName, u.FClassParam, u.FHelpFile FROM t_NavUserSubSystem u "
          "LEFT JOIN t_NavSubSystem t ON t.FSubSysID = u.FSubSysID WHERE u.FUserID = ?1 ORDER BY u.FSubSysID";
  } else if (table == kSubFunc) {
    sql = "SELECT u.FSubFuncID, u.FSubSysID, " + own("FFuncName", localized("t.FFuncName", "?2")) +
          ", u.FAcctType, u.FIndex, u.FVisible, u.FClassName, u.FClassParam FROM t_NavUserSubFunc u "
          "LEFT JOIN t_NavSubFunc t ON t.FSubFuncID = u.FSubFuncID WHERE u.FUserID = ?1 ORDER BY u.FSubFuncID";
  } else if (table == kDetailFunc) {
    // In the view the language names are never empty: the user's own name in the
    // caller's language (one the user typed stands for every language), else the
    // template's name in each. A row that
    // follows the template's name shows the template's show name too, so the
    // function reads the same as where the user has no row.
    sql = view ? "SELECT u.FDetailFuncID, u.FSubFuncID, CASE ?2 WHEN 'en' THEN COALESCE(NULLIF(u.FFuncName_en, ''), "
                 "NULLIF(u.FFuncName, ''), " + localized("t.FFuncName", "?2") + ") WHEN 'cht' THEN "
                 "COALESCE(NULLIF(u.FFuncName_cht, ''), NULLIF(u.FFuncName, ''), " + localized("t.FFuncName", "?2") +
                 ") ELSE " + own("FFuncName", localized("t.FFuncName", "?2")) + " END" +
                     ", COALESCE(NULLIF(u.FFuncName_en, ''), NULLIF(u.FFuncName, ''), NULLIF(t.FFuncName_en, ''), "
                     "t.FFuncName), COALESCE(NULLIF(u.FFuncName_cht, ''), NULLIF(u.FFuncName, ''), "
                     "NULLIF(t.FFuncName_cht, ''), t.FFuncName), COALESCE(u.FShowName, CASE WHEN NULLIF(u.FFuncName, "
                     "'') IS NULL THEN " + templateShowName("t.", "?2") +
                     " END), u.FHelpCode, u.FAcctType, u.FIndex, u.FVisible, u.FEnable, u.FFuncType, u.FClassName, "
                     "u.FClassParam FROM t_NavUserDetailFunc u LEFT JOIN t_NavDetailFunc t "
                     "ON t.FDetailFuncID = u.FDetailFuncID WHERE u.FUserID = ?1 ORDER BY u.FSubFuncID, u.FDetailFuncID"
               : "SELECT FDetailFuncID, FSubFuncID, FFuncName, FFuncName_en, FFuncName_cht, FShowName, FHelpCode, "
                 "FAcctType, FIndex, FVisible, FEnable, FFuncType, FClassName, FClassParam FROM t_NavUserDetailFunc "
                 "WHERE FUserID = ?1 ORDER BY FSubFuncID, FDetailFuncID";
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
