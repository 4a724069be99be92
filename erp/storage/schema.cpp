#include "erp/storage/schema.h"

#include <array>
#include <random>
#include <string>
#include <vector>

#include "erp/storage/pg_schema.h"
#include "erp/storage/schema_sql.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {

// Version 1: the navigation template and the users' rows, favourites, versions,
// users and groups, rights, company switches (schema_tables.cpp).
std::string newInstanceId() {
  std::random_device rd;
  std::array<uint32_t, 4> words{rd(), rd(), rd(), rd()};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint32_t w : words)
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(w >> shift) & 0xF]);
  return out;
}

void insertFirstRevision(Connection& conn) {
  auto meta = conn.prepare("INSERT INTO t_WayfindMeta(FKey, FValue) VALUES (?, ?)");
  meta.bindAll("InstanceID", newInstanceId()).run();
  conn.prepare("INSERT INTO t_NavVersion(FUserID, FRevision) VALUES (0, 1)").run();
}

void migrateTo1(Connection& conn) {
  conn.exec(schema::createdIn(conn.backend(), 1));
  insertFirstRevision(conn);
}

// Version 2: the installation and refresh state of the template's subsystems,
// and the rows SetUnInsSys hid.
void migrateTo2(Connection& conn) {
  conn.exec(schema::createdIn(conn.backend(), 2));
}

// Version 3: profile values and company switches hold up to 1000 characters. A
// site name may be 255 characters once its blanks are trimmed, and it is stored
// with the blanks the user typed around it, so 255 was too tight for the value.
// SQLite cannot change a CHECK constraint: each table is rebuilt under its name;
// the server changes the constraints in place.
void migrateTo3(Connection& conn) {
  conn.exec(schema::widenedIn(conn.backend(), 3));
}

// Version 4: a user's row names a template node only where the user gave it a
// name of its own. Earlier programs copied the template's name in the session's
// language into every row a user changed, so a help code set in English left the
// node named in English for the Chinese console too. Names (and favourites texts)
// that are only a translation of the template's follow the template again; the
// template's revision moves, when a row changed, so that every client fetches
// the rows afresh.
// The users' tables also get an index on the node's identifier alone: imports and
// applies ask who else holds a custom identifier.
const char* const kNamesFollowingTheTemplateV4[] = {
    "UPDATE t_NavUserTopClass SET FTopClassName = NULL WHERE EXISTS (SELECT 1 FROM t_NavTopClass t "
    "  WHERE t.FTopClassID = t_NavUserTopClass.FTopClassID "
    "  AND t_NavUserTopClass.FTopClassName IN (t.FTopClassName, t.FTopClassName_en, t.FTopClassName_cht))",
    "UPDATE t_NavUserSubSystem SET FName = NULL WHERE EXISTS (SELECT 1 FROM t_NavSubSystem t "
    "  WHERE t.FSubSysID = t_NavUserSubSystem.FSubSysID AND t_NavUserSubSystem.FName IN (t.FName, t.FName_en, t.FName_cht))",
    "UPDATE t_NavUserSubFunc SET FFuncName = NULL WHERE EXISTS (SELECT 1 FROM t_NavSubFunc t "
    "  WHERE t.FSubFuncID = t_NavUserSubFunc.FSubFuncID "
    "  AND t_NavUserSubFunc.FFuncName IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht))",
    "UPDATE t_NavUserDetailFunc SET FFuncName = NULL WHERE EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavUserDetailFunc.FDetailFuncID "
    "  AND t_NavUserDetailFunc.FFuncName IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
    "UPDATE t_NavUserDetailFunc SET FFuncName_en = NULL WHERE EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavUserDetailFunc.FDetailFuncID "
    "  AND t_NavUserDetailFunc.FFuncName_en IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
    "UPDATE t_NavUserDetailFunc SET FFuncName_cht = NULL WHERE EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavUserDetailFunc.FDetailFuncID "
    "  AND t_NavUserDetailFunc.FFuncName_cht IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
    "UPDATE t_NavUserDetailFunc SET FShowName = NULL WHERE EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavUserDetailFunc.FDetailFuncID "
    "  AND t_NavUserDetailFunc.FShowName IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
    "UPDATE t_NavFuncGroupItem SET FFuncName = '' WHERE FFuncName <> '' AND EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID "
    "  AND t_NavFuncGroupItem.FFuncName IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
    "UPDATE t_NavFuncGroupItem SET FShowName = '' WHERE FShowName <> '' AND EXISTS (SELECT 1 FROM t_NavDetailFunc t "
    "  WHERE t.FDetailFuncID = t_NavFuncGroupItem.FDetailFuncID "
    "  AND t_NavFuncGroupItem.FShowName IN (t.FFuncName, t.FFuncName_en, t.FFuncName_cht, t.FShowName))",
};

// Rows changed.
int followTemplateNames(Connection& conn) {
  int changed = 0;
  for (const char* sql : kNamesFollowingTheTemplateV4) changed += conn.prepare(sql).run();
  return changed;
}

void migrateTo4(Connection& conn) {
  if (followTemplateNames(conn) > 0)
    conn.prepare("UPDATE t_NavVersion SET FRevision = FRevision + 1 WHERE FUserID = 0").run();
  conn.exec(schema::createdIn(conn.backend(), 4));
}

// Version 5: on a server, the rights by which no role can hold the others up
// (docs/server-rights.md): the lock table and its functions in place of
// advisory locks, UPDATE granted column by column and deletions through a
// function in place of table-wide UPDATE and DELETE, and the sessions' bounds.
// They are all in kRights, which runs after the last step; an SQLite file has
// nothing to change.
void migrateTo5(Connection&) {}

// Version 6: on a server, a new custom item's identifier is claimed for the
// change that stores it (t_WayfindIdClaim and its functions, in kRights) in
// place of one lock per level that any session could keep.
void migrateTo6(Connection&) {}

// Version 7: each revision carries a random stamp, drawn anew by every change
// (versions.h). A copy of the database, or a backup put back, keeps the
// instance and the revisions; after a change in each, the stamps still tell
// their versions apart, so a cache file of one is never taken for the other.
void migrateTo7(Connection& conn) { conn.exec(schema::createdIn(conn.backend(), 7)); }

// Version 8: on a server, rights that no plain user can turn against the others
// (kRights): no UPDATE of an identity column, and a claim of an identifier
// whose transaction has ended gives way to the next.
void migrateTo8(Connection&) {}

// Version 9: the custom identifiers of deleted items are kept
// (t_WayfindRetiredId) and never handed out again: a new item took the number
// of the highest one deleted before it, and an edit still open on the deleted
// item in another window was then stored on the new one. On a server the
// triggers come with the rights (kRights), which run after the last step.
void migrateTo9(Connection& conn) {
  conn.exec(schema::createdIn(conn.backend(), 9));
  if (conn.backend() == Backend::SQLite) conn.exec(schema::retiringTriggers(Backend::SQLite));
}

using Migration = void (*)(Connection&);
// migrations[i] takes a database from version i to version i + 1, on either
// back end.
const std::vector<Migration>& migrations() {
  static const std::vector<Migration> steps{&migrateTo1, &migrateTo2, &migrateTo3, &migrateTo4,
                                            &migrateTo5, &migrateTo6, &migrateTo7, &migrateTo8,
                                            &migrateTo9};
  return steps;
}

void setSchemaVersion(Connection& conn, int version) {
  if (conn.backend() == Backend::PostgreSQL) {
    auto st = conn.prepare(
        "INSERT INTO t_WayfindMeta(FKey, FValue) VALUES ('SchemaVersion', ?1) "
        "ON CONFLICT(FKey) DO UPDATE SET FValue = excluded.FValue");
    st.bind(1, std::to_string(version)).run();
    return;
  }
  // PRAGMA takes no parameters; the value is our own integer.
  conn.exec("PRAGMA user_version = " + std::to_string(version) + ";");
}

}  // namespace

int schemaVersion(Connection& conn) {
  if (conn.backend() == Backend::PostgreSQL) {
    // On the server the version is a row of t_WayfindMeta; no table, no schema.
    auto exists = conn.prepare("SELECT to_regclass('t_wayfindmeta') IS NOT NULL");
    auto st = conn.prepare("SELECT FValue FROM t_WayfindMeta WHERE FKey = 'SchemaVersion'");
    if (!conn.inTransaction()) {
      // Both in one round trip. Without the table the second fails; the first
      // has its answer by then, and says so.
      try {
        conn.runTogether({&exists, &st});
      } catch (const platform::AutomationError&) {
      }
    }
    if (!exists.step() || exists.int64(0) == 0) return 0;
    if (!st.step()) return 1;
    try {
      return std::stoi(st.text(0));
    } catch (const std::exception&) {
      return -1;
    }
  }
  auto st = conn.prepare("PRAGMA user_version");
  return st.step() ? st.int32(0) : 0;
}

bool isOwnOrNewSqliteFile(Connection& conn) {
  const int version = schemaVersion(conn);
  if (version != 0) return version > 0 && version <= kSchemaVersion;
  auto st = conn.prepare("SELECT 1 FROM sqlite_master LIMIT 1");
  return !st.step();
}

// Whether the session's role may change the tables on a server: their owner's
// (or a member of it), or a superuser.
bool ownsTheTables(Connection& conn) {
  auto st = conn.prepare(
      "SELECT COALESCE((SELECT rolsuper FROM pg_roles WHERE rolname = current_user), false) "
      "OR pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = 't_wayfindmeta'::regclass), 'MEMBER')");
  return st.step() && st.int64(0) != 0;
}

bool ensureSchema(Connection& conn, const Seeder& seeder, bool create) {
  static_assert(kSchemaVersion >= 1);
  const int found = schemaVersion(conn);
  if (found == kSchemaVersion) return false;  // the common case, no lock taken
  // After a program upgrade on a server only the tables' owner can bring them
  // up to date; anybody else would meet a refusal of the server's own words.
  if (conn.backend() == Backend::PostgreSQL && found > 0 && found < kSchemaVersion && !ownsTheTables(conn))
    raiseRefused(kStorageSource, "数据库 " + conn.displayName() + " 的结构版本 " + std::to_string(found) +
                                     " 比本程序的版本 " + std::to_string(kSchemaVersion) +
                                     " 旧，请先以数据库所有者的身份运行 wayfind db init 升级。");
  bool created = false;
  for (;;) {
    Transaction tx(conn);
    // Read again under the write lock: another process may have migrated meanwhile.
    const int version = schemaVersion(conn);
    if (version > kSchemaVersion)
      raiseRefused(kStorageSource, "数据库 " + conn.displayName() + " 的结构版本 " + std::to_string(version) +
                                       " 比本程序支持的版本 " + std::to_string(kSchemaVersion) + " 新，不能打开。");
    if (version == kSchemaVersion) return created;
    if (version < 0) raiseRefused(kStorageSource, "数据库结构版本无效。");
    if (version == 0 && !create)
      raiseRefused(kStorageSource, "数据库 " + conn.displayName() +
                                       " 中还没有 WayfindInfo 的表，请先以数据库所有者的身份运行 wayfind db init。");
    // Another program's database file: our tables and the demo company are not
    // put into it.
    if (version == 0 && conn.backend() == Backend::SQLite && !isOwnOrNewSqliteFile(conn)) {
      // Ours with its version lost (a copy put back from an SQL dump, which does
      // not carry it), or another program's.
      auto meta = conn.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 't_WayfindMeta'");
      if (meta.step())
        raiseRefused(kStorageSource, "数据库 " + conn.displayName() +
                                         " 中有 WayfindInfo 的表，但没有记下结构版本（例如由 SQL 转储恢复的副本），不能打开。");
      raiseRefused(kStorageSource, "文件 " + conn.displayName() + " 是别的程序的数据库，不是 WayfindInfo 的，不能打开。");
    }
    // A new database takes every step in one transaction, and is filled only
    // then, with the tables as this program writes them.
    const int target = version == 0 ? kSchemaVersion : version + 1;
    for (int step = version; step < target; ++step) migrations()[static_cast<size_t>(step)](conn);
    if (version == 0) {
      created = true;
      // The company's rows, with the names that only repeat the template's
      // following it, as version 4 leaves an older database's.
      if (seeder) {
        seeder(conn);
        followTemplateNames(conn);
      }
    }
    setSchemaVersion(conn, target);
    if (conn.backend() == Backend::PostgreSQL && target == kSchemaVersion) conn.exec(server::rights());
    tx.commit();
  }
}

}  // namespace wayfind::erp::storage
