#include "erp/storage/schema.h"

#include <array>
#include <random>
#include <string>
#include <vector>

#include "erp/storage/pg_schema.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage {

namespace {

// Version 1: the navigation template and the users' rows, favourites, versions,
// users and groups, rights, company switches. Text sizes are those of
// field_sizes.h (80 names, 50 help codes, 255 lists and class texts).
constexpr const char* kSchemaV1 = R"SQL(
CREATE TABLE t_WayfindMeta(
  FKey TEXT PRIMARY KEY,
  FValue TEXT NOT NULL);

CREATE TABLE t_NavVersion(
  FUserID INTEGER PRIMARY KEY,
  FRevision INTEGER NOT NULL);

CREATE TABLE t_User(
  FUserID INTEGER PRIMARY KEY,
  FName TEXT NOT NULL CHECK(length(FName) <= 80),
  FForbidden INTEGER NOT NULL DEFAULT 0,
  FDescription TEXT NOT NULL DEFAULT '' CHECK(length(FDescription) <= 255));

CREATE TABLE t_Group(
  FGroupID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  PRIMARY KEY(FGroupID, FUserID));
CREATE INDEX ix_Group_User ON t_Group(FUserID);

CREATE TABLE t_AccessRight(
  FSubjectID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FObjectType INTEGER NOT NULL,
  FObjectID INTEGER NOT NULL,
  FRights INTEGER NOT NULL,
  PRIMARY KEY(FSubjectID, FObjectType, FObjectID));

CREATE TABLE t_AcctProfile(
  FName TEXT PRIMARY KEY CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 255));

CREATE TABLE t_NavTopClass(
  FTopClassID INTEGER PRIMARY KEY,
  FTopClassName TEXT NOT NULL CHECK(length(FTopClassName) <= 80),
  FTopClassName_en TEXT NOT NULL DEFAULT '' CHECK(length(FTopClassName_en) <= 80),
  FTopClassName_cht TEXT NOT NULL DEFAULT '' CHECK(length(FTopClassName_cht) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER NOT NULL DEFAULT 0,
  FVisible INTEGER NOT NULL DEFAULT 1,
  FShowSysType INTEGER NOT NULL DEFAULT 0,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255));

CREATE TABLE t_NavSubSystem(
  FSubSysID INTEGER PRIMARY KEY,
  FTopClassID INTEGER NOT NULL REFERENCES t_NavTopClass(FTopClassID),
  FName TEXT NOT NULL CHECK(length(FName) <= 80),
  FName_en TEXT NOT NULL DEFAULT '' CHECK(length(FName_en) <= 80),
  FName_cht TEXT NOT NULL DEFAULT '' CHECK(length(FName_cht) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER NOT NULL DEFAULT 0,
  FVisible INTEGER NOT NULL DEFAULT 1,
  FRefresh INTEGER NOT NULL DEFAULT 0,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255),
  FHelpFile TEXT CHECK(length(FHelpFile) <= 255));
CREATE INDEX ix_NavSubSystem_Top ON t_NavSubSystem(FTopClassID);

CREATE TABLE t_NavSubFunc(
  FSubFuncID INTEGER PRIMARY KEY,
  FSubSysID INTEGER NOT NULL REFERENCES t_NavSubSystem(FSubSysID),
  FFuncName TEXT NOT NULL CHECK(length(FFuncName) <= 80),
  FFuncName_en TEXT NOT NULL DEFAULT '' CHECK(length(FFuncName_en) <= 80),
  FFuncName_cht TEXT NOT NULL DEFAULT '' CHECK(length(FFuncName_cht) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER NOT NULL DEFAULT 0,
  FVisible INTEGER NOT NULL DEFAULT 1,
  FRefresh INTEGER NOT NULL DEFAULT 0,
  FSetEnable INTEGER NOT NULL DEFAULT 0,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255));
CREATE INDEX ix_NavSubFunc_Sys ON t_NavSubFunc(FSubSysID);

CREATE TABLE t_NavDetailFunc(
  FDetailFuncID INTEGER PRIMARY KEY,
  FSubFuncID INTEGER NOT NULL REFERENCES t_NavSubFunc(FSubFuncID),
  FFuncName TEXT NOT NULL CHECK(length(FFuncName) <= 80),
  FFuncName_en TEXT NOT NULL DEFAULT '' CHECK(length(FFuncName_en) <= 80),
  FFuncName_cht TEXT NOT NULL DEFAULT '' CHECK(length(FFuncName_cht) <= 80),
  FShowName TEXT CHECK(length(FShowName) <= 80),
  FHelpCode TEXT NOT NULL DEFAULT '' CHECK(length(FHelpCode) <= 50),
  FHelpCode1 TEXT NOT NULL DEFAULT '' CHECK(length(FHelpCode1) <= 50),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER NOT NULL DEFAULT 0,
  FVisible INTEGER NOT NULL DEFAULT 1,
  FEnable INTEGER NOT NULL DEFAULT 1,
  FFuncType INTEGER NOT NULL DEFAULT 0,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255));
CREATE INDEX ix_NavDetailFunc_Sub ON t_NavDetailFunc(FSubFuncID);
CREATE INDEX ix_NavDetailFunc_Help ON t_NavDetailFunc(FHelpCode);
CREATE INDEX ix_NavDetailFunc_Help1 ON t_NavDetailFunc(FHelpCode1);

CREATE TABLE t_NavProfile(
  FName TEXT PRIMARY KEY CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 255));

CREATE TABLE t_NavAcctType(
  FAcctType INTEGER PRIMARY KEY,
  FNumber TEXT NOT NULL UNIQUE CHECK(length(FNumber) <= 50),
  FShowName TEXT NOT NULL CHECK(length(FShowName) <= 80),
  FDeleted INTEGER NOT NULL DEFAULT 0);

CREATE TABLE t_NavUserTopClass(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FTopClassID INTEGER NOT NULL,
  FTopClassName TEXT CHECK(length(FTopClassName) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER,
  FVisible INTEGER,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255),
  PRIMARY KEY(FUserID, FTopClassID));

CREATE TABLE t_NavUserSubSystem(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FSubSysID INTEGER NOT NULL,
  FTopClassID INTEGER NOT NULL,
  FName TEXT CHECK(length(FName) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER,
  FVisible INTEGER,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255),
  FHelpFile TEXT CHECK(length(FHelpFile) <= 255),
  PRIMARY KEY(FUserID, FSubSysID));
CREATE INDEX ix_NavUserSubSystem_Top ON t_NavUserSubSystem(FUserID, FTopClassID);

CREATE TABLE t_NavUserSubFunc(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FSubFuncID INTEGER NOT NULL,
  FSubSysID INTEGER NOT NULL,
  FFuncName TEXT CHECK(length(FFuncName) <= 80),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER,
  FVisible INTEGER,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255),
  PRIMARY KEY(FUserID, FSubFuncID));
CREATE INDEX ix_NavUserSubFunc_Sys ON t_NavUserSubFunc(FUserID, FSubSysID);

CREATE TABLE t_NavUserDetailFunc(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FSubFuncID INTEGER NOT NULL,
  FDetailFuncID INTEGER NOT NULL,
  FFuncName TEXT CHECK(length(FFuncName) <= 80),
  FFuncName_en TEXT CHECK(length(FFuncName_en) <= 80),
  FFuncName_cht TEXT CHECK(length(FFuncName_cht) <= 80),
  FShowName TEXT CHECK(length(FShowName) <= 80),
  FHelpCode TEXT CHECK(length(FHelpCode) <= 50),
  FAcctType TEXT NOT NULL DEFAULT '' CHECK(length(FAcctType) <= 255),
  FIndex INTEGER,
  FVisible INTEGER,
  FEnable INTEGER,
  FFuncType INTEGER,
  FClassName TEXT CHECK(length(FClassName) <= 255),
  FClassParam TEXT CHECK(length(FClassParam) <= 255),
  PRIMARY KEY(FUserID, FSubFuncID, FDetailFuncID));
CREATE INDEX ix_NavUserDetailFunc_Id ON t_NavUserDetailFunc(FUserID, FDetailFuncID);
CREATE INDEX ix_NavUserDetailFunc_Help ON t_NavUserDetailFunc(FHelpCode);

CREATE TABLE t_NavUserProfile(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FName TEXT NOT NULL CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 255),
  PRIMARY KEY(FUserID, FName));

CREATE TABLE t_NavFuncGroup(
  FFuncGroupID INTEGER PRIMARY KEY AUTOINCREMENT,
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FFuncGroupName TEXT NOT NULL CHECK(length(FFuncGroupName) <= 80),
  FShowName TEXT NOT NULL DEFAULT '' CHECK(length(FShowName) <= 80),
  FIndex INTEGER NOT NULL DEFAULT 0);
CREATE INDEX ix_NavFuncGroup_User ON t_NavFuncGroup(FUserID, FIndex);

CREATE TABLE t_NavFuncGroupItem(
  FFuncGroupID INTEGER NOT NULL REFERENCES t_NavFuncGroup(FFuncGroupID) ON DELETE CASCADE,
  FPosition INTEGER NOT NULL,
  FDetailFuncID INTEGER NOT NULL,
  FFuncName TEXT NOT NULL DEFAULT '' CHECK(length(FFuncName) <= 80),
  FHelpCode TEXT NOT NULL DEFAULT '' CHECK(length(FHelpCode) <= 50),
  FShowName TEXT NOT NULL DEFAULT '' CHECK(length(FShowName) <= 80),
  PRIMARY KEY(FFuncGroupID, FPosition));
)SQL";

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
  conn.exec(conn.backend() == Backend::PostgreSQL ? server::kSchemaV1 : kSchemaV1);
  insertFirstRevision(conn);
}

// Version 2: the installation and refresh state of the template's subsystems
// (no row: installed, nothing pending), and the rows SetUnInsSys hid (user 0 is
// the template) so that RefreshActivFunc can show them again.
constexpr const char* kSchemaV2 = R"SQL(
CREATE TABLE t_NavSysState(
  FSubSysID INTEGER PRIMARY KEY REFERENCES t_NavSubSystem(FSubSysID) ON DELETE CASCADE,
  FInstalled INTEGER NOT NULL DEFAULT 1,
  FBaseDataRefresh INTEGER NOT NULL DEFAULT 0);

CREATE TABLE t_NavUnInsHidden(
  FUserID INTEGER NOT NULL,
  FSubSysID INTEGER NOT NULL,
  PRIMARY KEY(FUserID, FSubSysID));
)SQL";

void migrateTo2(Connection& conn) {
  conn.exec(conn.backend() == Backend::PostgreSQL ? server::kSchemaV2 : kSchemaV2);
}

// Version 3: profile values and company switches hold up to 1000 characters. A
// site name may be 255 characters once its blanks are trimmed, and it is stored
// with the blanks the user typed around it, so 255 was too tight for the value.
// SQLite cannot change a CHECK constraint: each table is rebuilt under its name.
constexpr const char* kSchemaV3 = R"SQL(
CREATE TABLE t_AcctProfile_v3(
  FName TEXT PRIMARY KEY CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 1000));
INSERT INTO t_AcctProfile_v3(FName, FValue) SELECT FName, FValue FROM t_AcctProfile;
DROP TABLE t_AcctProfile;
ALTER TABLE t_AcctProfile_v3 RENAME TO t_AcctProfile;

CREATE TABLE t_NavProfile_v3(
  FName TEXT PRIMARY KEY CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 1000));
INSERT INTO t_NavProfile_v3(FName, FValue) SELECT FName, FValue FROM t_NavProfile;
DROP TABLE t_NavProfile;
ALTER TABLE t_NavProfile_v3 RENAME TO t_NavProfile;

CREATE TABLE t_NavUserProfile_v3(
  FUserID INTEGER NOT NULL REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FName TEXT NOT NULL CHECK(length(FName) <= 50),
  FValue TEXT NOT NULL CHECK(length(FValue) <= 1000),
  PRIMARY KEY(FUserID, FName));
INSERT INTO t_NavUserProfile_v3(FUserID, FName, FValue) SELECT FUserID, FName, FValue FROM t_NavUserProfile;
DROP TABLE t_NavUserProfile;
ALTER TABLE t_NavUserProfile_v3 RENAME TO t_NavUserProfile;
)SQL";

// The server changes the constraints in place (their names are PostgreSQL's own
// for a column check).
constexpr const char* kServerSchemaV3 = R"SQL(
ALTER TABLE t_AcctProfile DROP CONSTRAINT IF EXISTS t_acctprofile_fvalue_check,
  ADD CONSTRAINT t_acctprofile_fvalue_check CHECK (length(FValue) <= 1000);
ALTER TABLE t_NavProfile DROP CONSTRAINT IF EXISTS t_navprofile_fvalue_check,
  ADD CONSTRAINT t_navprofile_fvalue_check CHECK (length(FValue) <= 1000);
ALTER TABLE t_NavUserProfile DROP CONSTRAINT IF EXISTS t_navuserprofile_fvalue_check,
  ADD CONSTRAINT t_navuserprofile_fvalue_check CHECK (length(FValue) <= 1000);
)SQL";

void migrateTo3(Connection& conn) {
  conn.exec(conn.backend() == Backend::PostgreSQL ? kServerSchemaV3 : kSchemaV3);
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

constexpr const char* kUserNodeIndexesV4 = R"SQL(
CREATE INDEX IF NOT EXISTS ix_NavUserTopClass_Node ON t_NavUserTopClass(FTopClassID);
CREATE INDEX IF NOT EXISTS ix_NavUserSubSystem_Node ON t_NavUserSubSystem(FSubSysID);
CREATE INDEX IF NOT EXISTS ix_NavUserSubFunc_Node ON t_NavUserSubFunc(FSubFuncID);
CREATE INDEX IF NOT EXISTS ix_NavUserDetailFunc_Node ON t_NavUserDetailFunc(FDetailFuncID);
)SQL";

void migrateTo4(Connection& conn) {
  int changed = 0;
  for (const char* sql : kNamesFollowingTheTemplateV4) changed += conn.prepare(sql).run();
  if (changed > 0) conn.prepare("UPDATE t_NavVersion SET FRevision = FRevision + 1 WHERE FUserID = 0").run();
  conn.exec(kUserNodeIndexesV4);
}

// Version 5: on a server, the rights by which no role can hold the others up
// (docs/server-rights.md): the lock table and its functions in place of
// advisory locks, UPDATE granted column by column and deletions through a
// function in place of table-wide UPDATE and DELETE, and the sessions' bounds.
// They are all in kRights, which runs after the last step; an SQLite file has
// nothing to change.
void migrateTo5(Connection&) {}

using Migration = void (*)(Connection&);
// migrations[i] takes a database from version i to version i + 1, on either
// back end.
const std::vector<Migration>& migrations() {
  static const std::vector<Migration> steps{&migrateTo1, &migrateTo2, &migrateTo3, &migrateTo4,
                                            &migrateTo5};
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
    if (!exists.step() || exists.int64(0) == 0) return 0;
    auto st = conn.prepare("SELECT FValue FROM t_WayfindMeta WHERE FKey = 'SchemaVersion'");
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

bool ensureSchema(Connection& conn, const Seeder& seeder, bool create) {
  static_assert(kSchemaVersion >= 1);
  if (schemaVersion(conn) == kSchemaVersion) return false;  // the common case, no lock taken
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
    migrations()[static_cast<size_t>(version)](conn);
    if (version == 0) {
      created = true;
      if (seeder) seeder(conn);
    }
    setSchemaVersion(conn, version + 1);
    if (conn.backend() == Backend::PostgreSQL && version + 1 == kSchemaVersion) conn.exec(server::kRights);
    tx.commit();
  }
}

}  // namespace wayfind::erp::storage
