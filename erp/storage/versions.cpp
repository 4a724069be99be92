#include "erp/storage/versions.h"

#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {
int64_t revisionOf(Connection& conn, int32_t key) {
  auto st = conn.prepare("SELECT FRevision FROM t_NavVersion WHERE FUserID = ?");
  st.bind(1, key);
  return st.step() ? st.int64(0) : 0;
}

int64_t bump(Connection& conn, int32_t key) {
  auto st = conn.prepare(
      "INSERT INTO t_NavVersion(FUserID, FRevision) VALUES (?, 1) "
      "ON CONFLICT(FUserID) DO UPDATE SET FRevision = t_NavVersion.FRevision + 1 RETURNING FRevision");
  st.bind(1, key);
  if (!st.step()) raiseDatabaseError("无法更新版本号", conn.displayName());
  const int64_t v = st.int64(0);
  st.run();
  return v;
}
}  // namespace

int64_t templateRevision(Connection& conn) { return revisionOf(conn, 0); }

int64_t userRevision(Connection& conn, int32_t userId) {
  if (userId == 0) raiseRefused(kStorageSource, "用户标识 0 保留给模板。");
  return revisionOf(conn, userId);
}

int64_t bumpTemplateRevision(Connection& conn) { return bump(conn, 0); }

int64_t bumpUserRevision(Connection& conn, int32_t userId) {
  if (userId == 0) raiseRefused(kStorageSource, "用户标识 0 保留给模板。");
  return bump(conn, userId);
}

std::string templateVersionText(Connection& conn) {
  ReadTransaction rt(conn);
  return "T:" + instanceId(conn) + ":" + std::to_string(templateRevision(conn));
}

std::string userVersionText(Connection& conn, int32_t userId) {
  ReadTransaction rt(conn);
  return "U:" + instanceId(conn) + ":" + std::to_string(templateRevision(conn)) + ":" + std::to_string(userId) +
         ":" + std::to_string(userRevision(conn, userId));
}

}  // namespace wayfind::erp::storage
