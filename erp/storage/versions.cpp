#include "erp/storage/versions.h"

#include <charconv>
#include <random>

#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {
int64_t revisionOf(Connection& conn, int32_t key) {
  auto st = conn.prepare("SELECT FRevision FROM t_NavVersion WHERE FUserID = ?");
  st.bind(1, key);
  return st.step() ? st.int64(0) : 0;
}

// Drawn from the system each time: processes forked from one another, or
// copies of one database changed apart, never draw the same run of stamps.
int64_t newStamp() {
  std::random_device rd;
  return static_cast<int64_t>((static_cast<uint64_t>(rd()) << 32) | rd());
}

int64_t bump(Connection& conn, int32_t key) {
  auto st = conn.prepare(
      "INSERT INTO t_NavVersion(FUserID, FRevision, FStamp) VALUES (?1, 1, ?2) "
      "ON CONFLICT(FUserID) DO UPDATE SET FRevision = t_NavVersion.FRevision + 1, FStamp = ?2 RETURNING FRevision");
  st.bind(1, key);
  st.bind(2, newStamp());
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

int64_t identifierRevision(Connection& conn, int level) { return revisionOf(conn, -level); }

int64_t bumpIdentifierRevision(Connection& conn, int level) {
  if (level < 1 || level > 4) raiseRefused(kStorageSource, "层级应为 1 到 4。");
  return bump(conn, -level);
}

int64_t bumpUserRevision(Connection& conn, int32_t userId) {
  if (userId == 0) raiseRefused(kStorageSource, "用户标识 0 保留给模板。");
  return bump(conn, userId);
}

// "<revision>.<stamp in hex>"
std::string revisionText(Statement& st, int revisionColumn) {
  char hex[17];
  const auto end =
      std::to_chars(hex, hex + sizeof hex, static_cast<uint64_t>(st.int64(revisionColumn + 1)), 16).ptr;
  return std::to_string(st.int64(revisionColumn)) + "." + std::string(hex, end);
}

// Each text is read by one statement: one snapshot on either back end, and one
// round trip to a server (a client asks for both texts before every use of its
// cache).
Statement templateVersionQuery(Connection& conn) {
  return conn.prepare(
      "SELECT (SELECT FValue FROM t_WayfindMeta WHERE FKey = 'InstanceID'), "
      "COALESCE((SELECT FRevision FROM t_NavVersion WHERE FUserID = 0), 0), "
      "COALESCE((SELECT FStamp FROM t_NavVersion WHERE FUserID = 0), 0)");
}

std::string templateVersionFrom(Connection& conn, Statement& st) {
  if (!st.step() || st.isNull(0)) raiseDatabaseError("数据库缺少实例标识", conn.displayName());
  return "T:" + st.text(0) + ":" + revisionText(st, 1);
}

std::string templateVersionText(Connection& conn) {
  auto st = templateVersionQuery(conn);
  return templateVersionFrom(conn, st);
}

Statement userVersionQuery(Connection& conn, int32_t userId) {
  if (userId == 0) raiseRefused(kStorageSource, "用户标识 0 保留给模板。");
  auto st = conn.prepare(
      "SELECT (SELECT FValue FROM t_WayfindMeta WHERE FKey = 'InstanceID'), "
      "COALESCE((SELECT FRevision FROM t_NavVersion WHERE FUserID = 0), 0), "
      "COALESCE((SELECT FStamp FROM t_NavVersion WHERE FUserID = 0), 0), "
      "COALESCE((SELECT FRevision FROM t_NavVersion WHERE FUserID = ?1), 0), "
      "COALESCE((SELECT FStamp FROM t_NavVersion WHERE FUserID = ?1), 0)");
  st.bind(1, userId);
  return st;
}

std::string userVersionFrom(Connection& conn, Statement& st, int32_t userId, int64_t* revision) {
  if (!st.step() || st.isNull(0)) raiseDatabaseError("数据库缺少实例标识", conn.displayName());
  if (revision) *revision = st.int64(3);
  return "U:" + st.text(0) + ":" + revisionText(st, 1) + ":" + std::to_string(userId) + ":" + revisionText(st, 3);
}

std::string userVersionText(Connection& conn, int32_t userId) {
  auto st = userVersionQuery(conn, userId);
  return userVersionFrom(conn, st, userId);
}

}  // namespace wayfind::erp::storage
