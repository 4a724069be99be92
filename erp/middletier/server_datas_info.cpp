#include "erp/middletier/server_datas_info.h"

#include <limits>

#include "erp/middletier/caller.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/middletier/messages.h"
#include "erp/middletier/nav_tables.h"
#include "erp/storage/database.h"
#include "erp/storage/field_sizes.h"
#include "erp/storage/recordset_builder.h"
#include "erp/storage/storage_error.h"
#include "platform/navigation/levels.h"

namespace wayfind::erp::middletier {

using storage::intField;
using storage::textField;
namespace size = storage::size;

namespace {

void requireLevel(int32_t level, const char* what) {
  if (!nav::LevelOfNumber(level))
    storage::raiseRefused(ServerDatasInfo::kSource, say("%1：层级 %2 无效，应为 1 到 4。", {what, std::to_string(level)}));
}

std::optional<int64_t> singleInt(storage::Statement& st) {
  if (!st.step() || st.isNull(0)) return std::nullopt;
  return st.int64(0);
}

}  // namespace

ServerDatasInfo::ServerDatasInfo(std::filesystem::path database) : database_(std::move(database)) {}

std::string ServerDatasInfo::GetSubSysClass(const std::string& propsString, int32_t& lID, int32_t& lType) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  const char* sql = nullptr;
  switch (lType) {
    case 1:
      sql = "SELECT COALESCE(NULLIF(u.FClassName, ''), t.FClassName, u.FClassName, '') FROM (SELECT CAST(?1 AS INTEGER) AS id) k "
            "LEFT JOIN t_NavTopClass t ON t.FTopClassID = k.id "
            "LEFT JOIN t_NavUserTopClass u ON u.FUserID = ?2 AND u.FTopClassID = k.id "
            "WHERE t.FTopClassID IS NOT NULL OR u.FTopClassID IS NOT NULL";
      break;
    case 2:
      sql = "SELECT COALESCE(NULLIF(u.FClassName, ''), t.FClassName, u.FClassName, '') FROM (SELECT CAST(?1 AS INTEGER) AS id) k "
            "LEFT JOIN t_NavSubSystem t ON t.FSubSysID = k.id "
            "LEFT JOIN t_NavUserSubSystem u ON u.FUserID = ?2 AND u.FSubSysID = k.id "
            "WHERE t.FSubSysID IS NOT NULL OR u.FSubSysID IS NOT NULL";
      break;
    case 3:
      sql = "SELECT COALESCE(NULLIF(u.FClassName, ''), t.FClassName, u.FClassName, '') FROM (SELECT CAST(?1 AS INTEGER) AS id) k "
            "LEFT JOIN t_NavSubFunc t ON t.FSubFuncID = k.id "
            "LEFT JOIN t_NavUserSubFunc u ON u.FUserID = ?2 AND u.FSubFuncID = k.id "
            "WHERE t.FSubFuncID IS NOT NULL OR u.FSubFuncID IS NOT NULL";
      break;
    case 4:
      // A custom function's class is the user's; a template function's stays the template's.
      sql = "SELECT CASE WHEN t.FDetailFuncID IS NOT NULL THEN COALESCE(t.FClassName, '') "
            "ELSE COALESCE((SELECT u.FClassName FROM t_NavUserDetailFunc u WHERE u.FUserID = ?2 "
            "AND u.FDetailFuncID = ?1 ORDER BY u.FSubFuncID LIMIT 1), '') END "
            "FROM (SELECT CAST(?1 AS INTEGER) AS id) k LEFT JOIN t_NavDetailFunc t ON t.FDetailFuncID = k.id";
      break;
    default: return {};
  }
  auto st = conn->prepare(sql);
  st.bindAll(lID, caller.userId);
  return st.step() ? st.text(0) : std::string();
}

std::string ServerDatasInfo::GetSubSysName(const std::string& propsString, int32_t& lFDetailFuncID) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  // The sub-function that holds the function: its template place, else the
  // user's row (a custom function); then that sub-function's subsystem.
  auto subFunc = conn->prepare(
      "SELECT COALESCE((SELECT FSubFuncID FROM t_NavDetailFunc WHERE FDetailFuncID = ?1), "
      "(SELECT FSubFuncID FROM t_NavUserDetailFunc WHERE FUserID = ?2 AND FDetailFuncID = ?1 "
      "ORDER BY FSubFuncID LIMIT 1))");
  subFunc.bindAll(lFDetailFuncID, caller.userId);
  const auto subFuncId = singleInt(subFunc);
  if (!subFuncId) return {};
  auto subSys = conn->prepare(
      "SELECT COALESCE((SELECT FSubSysID FROM t_NavUserSubFunc WHERE FUserID = ?2 AND FSubFuncID = ?1), "
      "(SELECT FSubSysID FROM t_NavSubFunc WHERE FSubFuncID = ?1))");
  subSys.bindAll(*subFuncId, caller.userId);
  const auto subSysId = singleInt(subSys);
  if (!subSysId) return {};
  auto name = conn->prepare(
      "SELECT COALESCE((SELECT NULLIF(FName, '') FROM t_NavUserSubSystem WHERE FUserID = ?3 AND FSubSysID = ?1), "
      "(SELECT " + localized("s.FName", "?2") + " FROM t_NavSubSystem s WHERE s.FSubSysID = ?1), '')");
  name.bindAll(*subSysId, caller.language, caller.userId);
  return name.step() ? name.text(0) : std::string();
}

platform::RecordsetPtr ServerDatasInfo::GetHelpCodeInfo(const std::string& propsString, std::string& sHelpCode) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  static const std::vector<storage::FieldSpec> fields{
      intField("FDetailFuncID"), intField("FSubFuncID"), textField("FFuncName", size::kName),
      textField("FShowName", size::kName), textField("FHelpCode", size::kHelpCode),
      textField("FHelpCode1", size::kHelpCode), textField("FClassName", size::kClass),
      textField("FClassParam", size::kClass), textField("FAcctType", size::kAcctList), intField("FIndex"),
      intField("FVisible"), intField("FEnable")};
  // Codes compare without regard to the letter case of ASCII letters, as the
  // component's own filter on the answer does: "pzlr" finds PZLR.
  // One row per place the function has for the user: its template place, with
  // the user's row there over the template's, and every row the user has at
  // another place (a custom function, or a template function in one of the
  // user's own folders), each with its own code. FHelpCode is the code in the
  // user's view (the user's own when set, else the template's); FHelpCode1 is the
  // template's second code. A template code the user replaced at a place no
  // longer finds the function there.
  const std::string sql =
      "WITH v AS ("
      " SELECT d.FDetailFuncID, d.FSubFuncID,"
      "  COALESCE(NULLIF(u.FFuncName, ''), " + localized("d.FFuncName", "?2") + ") AS FFuncName,"
      "  COALESCE(NULLIF(u.FShowName, ''), NULLIF(u.FFuncName, ''), " + templateShowName("d.", "?2") + ") AS FShowName,"
      "  CASE WHEN u.FHelpCode IS NOT NULL AND u.FHelpCode <> '' THEN u.FHelpCode ELSE d.FHelpCode END AS FHelpCode,"
      "  d.FHelpCode1, d.FClassName, d.FClassParam, d.FAcctType,"
      "  COALESCE(u.FIndex, d.FIndex) AS FIndex, COALESCE(u.FVisible, d.FVisible) AS FVisible,"
      "  COALESCE(u.FEnable, d.FEnable) AS FEnable"
      " FROM t_NavDetailFunc d LEFT JOIN t_NavUserDetailFunc u"
      "  ON u.FUserID = ?3 AND u.FSubFuncID = d.FSubFuncID AND u.FDetailFuncID = d.FDetailFuncID"
      " WHERE d.FDetailFuncID IN (SELECT FDetailFuncID FROM t_NavDetailFunc WHERE FHelpCode = ?1 COLLATE NOCASE"
      "  UNION SELECT FDetailFuncID FROM t_NavDetailFunc WHERE FHelpCode1 = ?1 COLLATE NOCASE"
      "  UNION SELECT FDetailFuncID FROM t_NavUserDetailFunc WHERE FUserID = ?3 AND FHelpCode = ?1 COLLATE NOCASE)"
      " UNION ALL"
      " SELECT u.FDetailFuncID, u.FSubFuncID,"
      "  COALESCE(NULLIF(u.FFuncName, ''), " + localized("d.FFuncName", "?2") + "),"
      "  COALESCE(NULLIF(u.FShowName, ''), NULLIF(u.FFuncName, ''), " + templateShowName("d.", "?2") + "),"
      "  CASE WHEN u.FHelpCode IS NOT NULL AND u.FHelpCode <> '' THEN u.FHelpCode ELSE COALESCE(d.FHelpCode, '') END,"
      "  COALESCE(d.FHelpCode1, ''), COALESCE(u.FClassName, d.FClassName), COALESCE(u.FClassParam, d.FClassParam),"
      "  COALESCE(d.FAcctType, u.FAcctType), u.FIndex, u.FVisible, u.FEnable"
      " FROM t_NavUserDetailFunc u LEFT JOIN t_NavDetailFunc d ON d.FDetailFuncID = u.FDetailFuncID"
      " WHERE u.FUserID = ?3 AND (d.FDetailFuncID IS NULL OR d.FSubFuncID <> u.FSubFuncID))"
      " SELECT * FROM v WHERE ?1 <> '' AND (FHelpCode = ?1 COLLATE NOCASE OR FHelpCode1 = ?1 COLLATE NOCASE) ORDER BY FDetailFuncID, FSubFuncID";
  auto st = conn->prepare(sql);
  st.bindAll(sHelpCode, caller.language, caller.userId);
  return storage::recordsetFromStatement(st, fields);
}

platform::Variant ServerDatasInfo::GetNextIndex(const std::string& propsString, int32_t& lType, int32_t& lID) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  requireLevel(lType, "GetNextIndex");
  // The highest order number among the parent's children, the template's and
  // the user's (?1 the parent, ?2 the user).
  const rows::Level& l = rows::level(lType);
  const std::string parent = l.parentCol ? std::string(l.parentCol) + " = ?1" : std::string();
  auto st = conn->prepare("SELECT MAX(FIndex) FROM (SELECT FIndex FROM " + std::string(l.tplTable) +
                          (parent.empty() ? "" : " WHERE " + parent) + " UNION ALL SELECT FIndex FROM " +
                          l.userTable + " WHERE FUserID = ?2" + (parent.empty() ? "" : " AND " + parent) + ") AS i");
  st.bindAll(lID, caller.userId);
  const int64_t highest = singleInt(st).value_or(0);
  if (highest >= std::numeric_limits<int32_t>::max()) platform::raise(platform::err::kOverflow, kSource);
  return platform::Variant(static_cast<int32_t>(std::max<int64_t>(highest, 0) + 1));
}

platform::Variant ServerDatasInfo::GetNextID(const std::string& propsString, int32_t& lType, int32_t& lID) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  requireCaller(*conn, propsString, kSource);
  requireLevel(lType, "GetNextID");
  (void)lID;  // identifiers are unique on the whole level, whatever the parent
  return platform::Variant(rows::nextFreeCustomId(*conn, rows::level(lType)));
}

platform::DictionaryPtr ServerDatasInfo::ExportUserData(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  auto dict = std::make_shared<platform::Dictionary>();
  dict->SetValue("Format", kExportFormat);
  dict->SetValue("Version", kExportVersion);
  dict->SetValue("UserID", caller.userId);
  for (const char* table : {kTopClass, kSubSystem, kSubFunc, kDetailFunc, kProfile})
    dict->SetValue(table, readUserTable(*conn, table, caller.userId, UserRows::Stored));
  dict->SetValue("FuncGroup", readUserGroups(*conn, caller.userId));
  dict->SetValue("FuncGroupItem", readUserGroupItems(*conn, caller.userId));
  return dict;
}

platform::Variant ServerDatasInfo::GetNormalFuncGroup(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  static const std::vector<storage::FieldSpec> fields{intField("FFuncGroupID"),
                                                      textField("FFuncGroupName", size::kGroupName),
                                                      textField("FShowName", size::kGroupName)};
  auto st = conn->prepare(
      "SELECT FFuncGroupID, FFuncGroupName, FShowName FROM t_NavFuncGroup WHERE FUserID = ? "
      "ORDER BY FIndex, FFuncGroupID");
  st.bind(1, caller.userId);
  return platform::Variant(storage::recordsetFromStatement(st, fields));
}

platform::Variant ServerDatasInfo::GetDetailNormalFunc(const std::string& propsString, int32_t& lngGroupID) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const Caller caller = requireCaller(*conn, propsString, kSource);
  static const std::vector<storage::FieldSpec> fields{intField("FDetailFuncID"), textField("FFuncName", size::kName),
                                                      textField("FHelpCode", size::kHelpCode),
                                                      textField("FShowName", size::kName)};
  // -1 stands for no group chosen: the user's first group. An entry without
  // texts of its own is named as the function is, in the caller's language.
  auto st = conn->prepare(
      "SELECT " + favouriteItemColumnsSql() + " FROM t_NavFuncGroupItem i "
      "WHERE i.FFuncGroupID = (SELECT g.FFuncGroupID FROM t_NavFuncGroup g WHERE g.FUserID = ?2 "
      " AND (g.FFuncGroupID = ?1 OR ?1 = -1) ORDER BY g.FIndex, g.FFuncGroupID LIMIT 1) "
      "ORDER BY i.FPosition");
  st.bindAll(lngGroupID, caller.userId, caller.language);
  return platform::Variant(storage::recordsetFromStatement(st, fields));
}

}  // namespace wayfind::erp::middletier
