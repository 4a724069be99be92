#include "erp/storage/pg_schema.h"

namespace wayfind::erp::storage::server {

// The same tables as on SQLite (docs/middle-tier.md), in PostgreSQL's words:
// favourites groups number themselves with an identity column, revisions are
// 64-bit. Text sizes are checked in characters as on SQLite.
const char* const kSchemaV1 = R"SQL(
-- Help codes compare without regard to letter case.
CREATE COLLATION IF NOT EXISTS nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);

CREATE TABLE t_WayfindMeta(
  FKey TEXT PRIMARY KEY,
  FValue TEXT NOT NULL);

CREATE TABLE t_NavVersion(
  FUserID INTEGER PRIMARY KEY,
  FRevision BIGINT NOT NULL);

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
  FFuncGroupID INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
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

const char* const kSchemaV2 = R"SQL(
CREATE TABLE t_NavSysState(
  FSubSysID INTEGER PRIMARY KEY REFERENCES t_NavSubSystem(FSubSysID) ON DELETE CASCADE,
  FInstalled INTEGER NOT NULL DEFAULT 1,
  FBaseDataRefresh INTEGER NOT NULL DEFAULT 0);

CREATE TABLE t_NavUnInsHidden(
  FUserID INTEGER NOT NULL,
  FSubSysID INTEGER NOT NULL,
  PRIMARY KEY(FUserID, FSubSysID));
)SQL";

// The rights the server keeps (docs/server-rights.md). Applied after every
// migration; every statement may run again.
const char* const kRights = R"SQL(
-- Group roles, shared by every WayfindInfo database of the server.
DO $$
BEGIN
  BEGIN
    CREATE ROLE wayfind_user NOLOGIN;
  EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
  END;
  BEGIN
    CREATE ROLE wayfind_reader NOLOGIN;
  EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
  END;
END $$;

CREATE TABLE IF NOT EXISTS t_UserRole(
  FUserID INTEGER PRIMARY KEY REFERENCES t_User(FUserID) ON DELETE CASCADE,
  FRoleName TEXT NOT NULL UNIQUE);

-- Who the connected role is. The functions look only into this schema (never
-- into a temporary table a session might make under the same name).
DO $$
DECLARE
  s text := quote_ident(current_schema());
BEGIN
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_user_id() RETURNS integer
      LANGUAGE sql STABLE SET search_path = %s, pg_temp AS
      'SELECT FUserID FROM t_UserRole WHERE FRoleName = current_user'$f$, s);
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_is_admin() RETURNS boolean
      LANGUAGE sql STABLE SET search_path = %s, pg_temp AS
      'SELECT EXISTS (SELECT 1 FROM t_UserRole r
                        JOIN t_Group g ON g.FUserID = r.FUserID AND g.FGroupID = 1
                        JOIN t_User u ON u.FUserID = r.FUserID AND u.FForbidden = 0
                       WHERE r.FRoleName = current_user)'$f$, s);
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_owns_group(groupId integer) RETURNS boolean
      LANGUAGE sql STABLE SET search_path = %s, pg_temp AS
      'SELECT EXISTS (SELECT 1 FROM t_NavFuncGroup g, t_UserRole r
                       WHERE g.FFuncGroupID = groupId AND r.FRoleName = current_user AND g.FUserID = r.FUserID)'$f$, s);
  EXECUTE format('GRANT USAGE ON SCHEMA %s TO wayfind_user, wayfind_reader', s);
  EXECUTE format('REVOKE TEMPORARY ON DATABASE %I FROM PUBLIC', current_database());
END $$;

-- Everyone of the ERP reads everything (the tree is merged from the template and
-- the users' rows; custom identifiers are unique across users); the reader role
-- only reads.
DO $$
DECLARE
  t text;
  tables text[] := ARRAY['t_wayfindmeta', 't_navversion', 't_user', 't_group', 't_accessright', 't_acctprofile',
    't_navtopclass', 't_navsubsystem', 't_navsubfunc', 't_navdetailfunc', 't_navprofile', 't_navaccttype',
    't_navusertopclass', 't_navusersubsystem', 't_navusersubfunc', 't_navuserdetailfunc', 't_navuserprofile',
    't_navfuncgroup', 't_navfuncgroupitem', 't_navsysstate', 't_navuninshidden', 't_userrole'];
  -- Tables only administrators change.
  company text[] := ARRAY['t_acctprofile', 't_navtopclass', 't_navsubsystem', 't_navsubfunc', 't_navdetailfunc',
    't_navprofile', 't_navaccttype', 't_navsysstate', 't_navuninshidden'];
  -- Tables of rows that belong to one user (FUserID): the user changes their own.
  own text[] := ARRAY['t_navversion', 't_navusertopclass', 't_navusersubsystem', 't_navusersubfunc',
    't_navuserdetailfunc', 't_navuserprofile', 't_navfuncgroup'];
BEGIN
  FOREACH t IN ARRAY tables LOOP
    EXECUTE format('REVOKE ALL ON %I FROM PUBLIC', t);
    EXECUTE format('GRANT SELECT ON %I TO wayfind_user, wayfind_reader', t);
  END LOOP;
  FOREACH t IN ARRAY company || own || ARRAY['t_navfuncgroupitem'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I TO wayfind_user', t);
    EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
    EXECUTE format('DROP POLICY IF EXISTS wayfind_read ON %I', t);
    EXECUTE format('CREATE POLICY wayfind_read ON %I FOR SELECT USING (true)', t);
    EXECUTE format('DROP POLICY IF EXISTS wayfind_admin ON %I', t);
    EXECUTE format('CREATE POLICY wayfind_admin ON %I TO wayfind_user USING ((SELECT wayfind_is_admin())) '
                   'WITH CHECK ((SELECT wayfind_is_admin()))', t);
  END LOOP;
  FOREACH t IN ARRAY own LOOP
    EXECUTE format('DROP POLICY IF EXISTS wayfind_own ON %I', t);
    EXECUTE format('CREATE POLICY wayfind_own ON %I TO wayfind_user USING (FUserID = (SELECT wayfind_user_id())) '
                   'WITH CHECK (FUserID = (SELECT wayfind_user_id()))', t);
  END LOOP;
  DROP POLICY IF EXISTS wayfind_own ON t_NavFuncGroupItem;
  CREATE POLICY wayfind_own ON t_NavFuncGroupItem TO wayfind_user USING (wayfind_owns_group(FFuncGroupID))
    WITH CHECK (wayfind_owns_group(FFuncGroupID));
  GRANT USAGE ON SEQUENCE t_navfuncgroup_ffuncgroupid_seq TO wayfind_user;
END $$;
)SQL";

}  // namespace wayfind::erp::storage::server
