#include "erp/storage/user_roles.h"

#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {

// A name that needs no quoting and cannot be read as anything else.
bool plainIdentifier(const std::string& name) {
  if (name.empty() || name.size() > 63 || !(name[0] == '_' || (name[0] >= 'a' && name[0] <= 'z'))) return false;
  for (char c : name)
    if (!(c == '_' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return name.rfind("pg_", 0) != 0 && name != "wayfind_user" && name != "wayfind_reader" && name != "public";
}


void refuseFile() { raiseRefused(kStorageSource, "数据库文件没有用户角色：每个用户的角色只在数据库服务器上。"); }

}  // namespace

void addUserRole(const std::filesystem::path& database, int32_t userId, const std::string& role,
                 int connectionLimit) {
  if (!isServerLocation(database)) refuseFile();
  addUserRole(*Connection::open(database), userId, role, connectionLimit);
}

void addUserRole(Connection& conn, int32_t userId, const std::string& role, int connectionLimit) {
  if (conn.backend() != Backend::PostgreSQL) refuseFile();
  if (!plainIdentifier(role))
    raiseRefused(kStorageSource, "角色名 “" + role + "” 无效：请用小写字母、数字和下划线，以字母开头，最多 63 个字符。");
  if (connectionLimit < 1 || connectionLimit > 1000)
    raiseRefused(kStorageSource, "每个角色的连接数上限应在 1 到 1000 之间。");
  Transaction tx(conn);
  {
    auto user = conn.prepare("SELECT 1 FROM t_User WHERE FUserID = ? AND FUserID >= 16384");
    user.bind(1, userId);
    if (!user.step()) raiseRefused(kStorageSource, "用户 " + std::to_string(userId) + " 不在 t_User 中。");
  }
  {
    auto other = conn.prepare("SELECT FUserID FROM t_UserRole WHERE FRoleName = ? AND FUserID <> ?");
    other.bindAll(role, userId);
    if (other.step())
      raiseRefused(kStorageSource, "角色 " + role + " 已属于用户 " + std::to_string(other.int64(0)) + "。");
  }
  auto exists = conn.prepare("SELECT 1 FROM pg_roles WHERE rolname = ?");
  exists.bind(1, role);
  const std::string limit = std::to_string(connectionLimit);
  conn.exec((exists.step() ? "ALTER ROLE " : "CREATE ROLE ") + role + " LOGIN CONNECTION LIMIT " + limit);
  conn.exec("GRANT wayfind_user, wayfind_reader TO " + role);
  auto map = conn.prepare("DELETE FROM t_UserRole WHERE FUserID = ?");
  map.bind(1, userId);
  map.run();
  auto insert = conn.prepare("INSERT INTO t_UserRole(FUserID, FRoleName) VALUES (?, ?)");
  insert.bindAll(userId, role);
  insert.run();
  tx.commit();
}

}  // namespace wayfind::erp::storage
