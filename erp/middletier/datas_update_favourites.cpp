// The favourites groups of "ZelWayfind.DatasUpdate". Groups and their lists are
// read live by "ZelWayfind.DatasInfo" (they are not part of the versioned user
// dictionary), so their changes bump no revision.
#include "erp/middletier/datas_update.h"
#include "erp/middletier/datas_update_change.h"
#include "erp/storage/storage_error.h"
#include "erp/middletier/datas_update_rows.h"
#include "erp/storage/field_sizes.h"
#include "platform/automation/conversions.h"

namespace wayfind::erp::middletier {

using platform::Variant;
namespace size = storage::size;

namespace {

constexpr const char* kDefaultGroupName = "常用功能";

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
  if (!st.step()) refuse("常用功能组 " + std::to_string(groupId) + " 不存在。");
  if (st.int32(0) != userId) refuse("常用功能组 " + std::to_string(groupId) + " 属于其他用户，不能修改。");
}

std::string groupName(const std::string& name) {
  return platform::trimSpaces(rows::textArg("常用功能组名称", Variant(name), size::kGroupName, true));
}

void requireUniqueName(storage::Connection& conn, int32_t userId, const std::string& name, int32_t exceptGroup) {
  auto st = conn.prepare("SELECT 1 FROM t_NavFuncGroup WHERE FUserID = ? AND FFuncGroupName = ? AND FFuncGroupID <> ?");
  st.bindAll(userId, name, exceptGroup);
  if (st.step()) refuse("常用功能组 [" + name + "] 已存在。");
}

int32_t addGroup(storage::Connection& conn, int32_t userId, const std::string& name, const std::string& showName) {
  auto st = conn.prepare(
      "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) VALUES (?1, ?2, ?3, "
      "(SELECT COALESCE(MAX(FIndex), 0) + 1 FROM t_NavFuncGroup WHERE FUserID = ?1)) RETURNING FFuncGroupID");
  st.bindAll(userId, name, showName);
  if (!st.step()) storage::raiseDatabaseError("无法新建常用功能组", name);
  const int32_t id = st.int32(0);
  st.run();
  return id;
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
  auto& conn = c.conn();
  const std::string help = rows::textArg("strHelpCode", Variant(strHelpCode), size::kHelpCode, false);
  rows::checkHelpCode("strHelpCode", help);
  const std::string name = rows::textArg("strFuncName", Variant(strFuncName), size::kName, false);
  std::string show = rows::textArg("strShowName", Variant(strShowName), size::kName, false);
  if (platform::trimSpaces(show).empty()) show = name;

  // A template function, or one of the caller's own.
  auto exists = conn.prepare(
      "SELECT 1 FROM t_NavDetailFunc WHERE FDetailFuncID = ?1 UNION ALL "
      "SELECT 1 FROM t_NavUserDetailFunc WHERE FUserID = ?2 AND FDetailFuncID = ?1 LIMIT 1");
  exists.bindAll(lngFuncID, c.userId());
  if (!exists.step()) refuse("明细功能 " + std::to_string(lngFuncID) + " 不存在。");

  int32_t group = lngGroupID;
  if (group == -1) {
    const auto first = firstGroup(conn, c.userId());
    group = first ? *first : addGroup(conn, c.userId(), kDefaultGroupName, "");
  } else {
    requireOwnGroup(conn, c.userId(), group);
  }
  // A function is in a list once: appending it again moves it to the end with
  // the new texts, so a list saved row by row keeps the last row's place.
  auto del = conn.prepare("DELETE FROM t_NavFuncGroupItem WHERE FFuncGroupID = ? AND FDetailFuncID = ?");
  del.bindAll(group, lngFuncID);
  del.run();
  c.checkpoint("moved");
  auto ins = conn.prepare(
      "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
      "VALUES (?1, (SELECT COALESCE(MAX(FPosition), 0) + 1 FROM t_NavFuncGroupItem WHERE FFuncGroupID = ?1), "
      "?2, ?3, ?4, ?5)");
  ins.bindAll(group, lngFuncID, name, help, show);
  ins.run();
  c.commit();
  lngGroupID = group;  // the caller learns which group took the function
  return Variant(true);
}

}  // namespace wayfind::erp::middletier
