#include "erp/middletier/nav_tables.h"

#include <map>

#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::middletier {

using storage::FieldSpec;
using storage::intField;
using storage::textField;
namespace size = storage::size;

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
  if (it == specs.end()) storage::raiseRefused(storage::kStorageSource, "未知的导航表 " + table + "。");
  return it->second;
}

// The name of a row in the caller's language: the translation when stored and
// not empty, else the Chinese name.
std::string localized(const std::string& base) {
  return "CASE ?1 WHEN 'en' THEN COALESCE(NULLIF(" + base + "_en, ''), " + base + ") WHEN 'cht' THEN COALESCE(NULLIF(" +
         base + "_cht, ''), " + base + ") ELSE " + base + " END";
}

}  // namespace

const std::vector<FieldSpec>& templateFields(const std::string& table) { return specFor(templateSpecs(), table); }
const std::vector<FieldSpec>& userFields(const std::string& table) { return specFor(userSpecs(), table); }

platform::RecordsetPtr readTemplateTable(storage::Connection& conn, const std::string& table,
                                         const std::string& language) {
  std::string sql;
  bool bindsLanguage = true;
  if (table == kTopClass) {
    sql = "SELECT FTopClassID, " + localized("FTopClassName") +
          ", FAcctType, FIndex, FVisible, FShowSysType, FClassName, FClassParam FROM t_NavTopClass ORDER BY FTopClassID";
  } else if (table == kSubSystem) {
    sql = "SELECT FSubSysID, FTopClassID, " + localized("FName") +
          ", FAcctType, FIndex, FVisible, FRefresh, FClassName, FClassParam, FHelpFile FROM t_NavSubSystem "
          "ORDER BY FSubSysID";
  } else if (table == kSubFunc) {
    sql = "SELECT FSubFuncID, FSubSysID, " + localized("FFuncName") +
          ", FAcctType, FIndex, FVisible, FRefresh, FSetEnable, FClassName, FClassParam FROM t_NavSubFunc "
          "ORDER BY FSubFuncID";
  } else if (table == kDetailFunc) {
    // The show name: the stored one in Chinese, else the name in the caller's language.
    sql = "SELECT FDetailFuncID, FSubFuncID, " + localized("FFuncName") +
          ", COALESCE(NULLIF(FFuncName_en, ''), FFuncName), COALESCE(NULLIF(FFuncName_cht, ''), FFuncName), "
          "CASE WHEN ?1 = 'chs' AND FShowName IS NOT NULL THEN FShowName ELSE " +
          localized("FFuncName") +
          " END, FHelpCode, FHelpCode1, FAcctType, FIndex, FVisible, FEnable, FFuncType, FClassName, FClassParam "
          "FROM t_NavDetailFunc ORDER BY FDetailFuncID";
  } else if (table == kProfile) {
    sql = "SELECT FName, FValue FROM t_NavProfile ORDER BY FName";
    bindsLanguage = false;
  } else if (table == kAcctType) {
    sql = "SELECT FAcctType, FNumber, FShowName, FDeleted FROM t_NavAcctType ORDER BY FAcctType";
    bindsLanguage = false;
  } else {
    storage::raiseRefused(storage::kStorageSource, "未知的导航表 " + table + "。");
  }
  auto st = conn.prepare(sql);
  if (bindsLanguage) st.bind(1, language);
  return storage::recordsetFromStatement(st, templateFields(table));
}

platform::RecordsetPtr readUserTable(storage::Connection& conn, const std::string& table, int32_t userId,
                                     UserRows mode) {
  const bool view = mode == UserRows::View;
  std::string sql;
  if (table == kTopClass) {
    sql = "SELECT FTopClassID, FTopClassName, FAcctType, FIndex, FVisible, FClassName, FClassParam "
          "FROM t_NavUserTopClass WHERE FUserID = ?1 ORDER BY FTopClassID";
  } else if (table == kSubSystem) {
    sql = "SELECT FSubSysID, FTopClassID, FName, FAcctType, FIndex, FVisible, FClassName, FClassParam, FHelpFile "
          "FROM t_NavUserSubSystem WHERE FUserID = ?1 ORDER BY FSubSysID";
  } else if (table == kSubFunc) {
    sql = "SELECT FSubFuncID, FSubSysID, FFuncName, FAcctType, FIndex, FVisible, FClassName, FClassParam "
          "FROM t_NavUserSubFunc WHERE FUserID = ?1 ORDER BY FSubFuncID";
  } else if (table == kDetailFunc) {
    // In the view the language names are never empty: a user's own folder shows
    // its rows by the name of the user's language.
    sql = view ? "SELECT FDetailFuncID, FSubFuncID, FFuncName, COALESCE(NULLIF(FFuncName_en, ''), FFuncName), "
                 "COALESCE(NULLIF(FFuncName_cht, ''), FFuncName), FShowName, FHelpCode, FAcctType, FIndex, FVisible, "
                 "FEnable, FFuncType, FClassName, FClassParam FROM t_NavUserDetailFunc WHERE FUserID = ?1 "
                 "ORDER BY FSubFuncID, FDetailFuncID"
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
    storage::raiseRefused(storage::kStorageSource, "未知的导航表 " + table + "。");
  }
  auto st = conn.prepare(sql);
  st.bind(1, userId);
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
