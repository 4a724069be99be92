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
  cols text;
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
    -- No table-wide UPDATE, DELETE or TRUNCATE: any of them lets its holder
    -- LOCK the table in every mode, ACCESS EXCLUSIVE included, and so stop every
    -- reader. UPDATE is granted column by column (which allows no LOCK beyond
    -- what SELECT allows); rows are deleted through wayfind_delete_rows.
    EXECUTE format('REVOKE INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER ON %I FROM wayfind_user', t);
    SELECT string_agg(quote_ident(attname), ', ' ORDER BY attnum) INTO cols
      FROM pg_attribute WHERE attrelid = t::regclass AND attnum > 0 AND NOT attisdropped;
    EXECUTE format('GRANT UPDATE (%s) ON %I TO wayfind_user', cols, t);
    IF t = 't_navfuncgroup' THEN
      -- Group numbers come from the identity column only: a number taken ahead
      -- of it in a transaction left open would hold up other users' new groups.
      GRANT INSERT (FUserID, FFuncGroupName, FShowName, FIndex) ON t_NavFuncGroup TO wayfind_user;
    ELSE
      EXECUTE format('GRANT INSERT ON %I TO wayfind_user', t);
    END IF;
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

-- The middle tier's serialising locks are row locks on t_WayfindLock, a table
-- no ERP role may read or lock itself: (0, 0) is the database's write lock,
-- held shared by a change of one user's rows and exclusively by a change of the
-- whole database; (1, user) a user's rows; (2, level) the handing out of a
-- level's custom identifiers. A row lock held shared never makes a later
-- shared request wait, not even behind a waiting exclusive one, so a session
-- that keeps a change open holds up no other user's change of their own rows.
CREATE TABLE IF NOT EXISTS t_WayfindLock(
  FSpace INTEGER NOT NULL,
  FID INTEGER NOT NULL,
  PRIMARY KEY(FSpace, FID));
REVOKE ALL ON t_WayfindLock FROM PUBLIC;
INSERT INTO t_WayfindLock(FSpace, FID) VALUES (0, 0), (2, 1), (2, 2), (2, 3), (2, 4) ON CONFLICT DO NOTHING;

DO $$
DECLARE
  s text := quote_ident(current_schema());
BEGIN
  -- Who called, inside a function that runs as the owner: the session's role.
  -- The owner (and a superuser) is trusted with everything, as the owner of the
  -- tables is; any other role is the ERP user t_UserRole maps it to.
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_session_rights(OUT trusted boolean, OUT user_id integer, OUT admin boolean)
      LANGUAGE sql STABLE SET search_path = %s, pg_temp AS
      'SELECT COALESCE((SELECT rolsuper FROM pg_roles WHERE rolname = session_user), false)
              OR pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid = ''t_wayfindlock''::regclass), ''MEMBER''),
              (SELECT FUserID FROM t_UserRole WHERE FRoleName = session_user),
              EXISTS (SELECT 1 FROM t_UserRole r
                        JOIN t_Group g ON g.FUserID = r.FUserID AND g.FGroupID = 1
                        JOIN t_User u ON u.FUserID = r.FUserID AND u.FForbidden = 0
                       WHERE r.FRoleName = session_user)'$f$, s);
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_session_rights() FROM PUBLIC';

  -- Takes one of the locks to the end of the transaction: space 0 the write
  -- lock (id 1 whole, 0 shared), 1 a user's rows, 2 a level's identifiers.
  -- Only an administrator holds the whole database or another user's rows.
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_lock(space integer, id integer) RETURNS void
      LANGUAGE plpgsql SECURITY DEFINER SET search_path = %s, pg_temp AS $body$
    DECLARE
      who record;
    BEGIN
      SELECT * INTO who FROM wayfind_session_rights();
      IF NOT who.trusted THEN
        IF who.user_id IS NULL THEN
          RAISE EXCEPTION 'role %% is no ERP user', session_user USING ERRCODE = 'insufficient_privilege';
        END IF;
        IF (space = 0 AND id <> 0 OR space = 1 AND id <> who.user_id) AND NOT who.admin THEN
          RAISE EXCEPTION 'only an administrator may hold this lock' USING ERRCODE = 'insufficient_privilege';
        END IF;
      END IF;
      IF space = 0 AND id IN (0, 1) THEN
        IF id = 1 THEN
          PERFORM 1 FROM t_WayfindLock WHERE FSpace = 0 AND FID = 0 FOR UPDATE;
        ELSE
          PERFORM 1 FROM t_WayfindLock WHERE FSpace = 0 AND FID = 0 FOR SHARE;
        END IF;
      ELSIF space = 1 OR space = 2 AND id BETWEEN 1 AND 4 THEN
        INSERT INTO t_WayfindLock(FSpace, FID) VALUES (space, id) ON CONFLICT DO NOTHING;
        PERFORM 1 FROM t_WayfindLock WHERE FSpace = space AND FID = id FOR UPDATE;
        -- One more handing out of the level's identifiers (storage/versions.h).
        IF space = 2 THEN
          INSERT INTO t_NavVersion(FUserID, FRevision) VALUES (-id, 1)
            ON CONFLICT (FUserID) DO UPDATE SET FRevision = t_NavVersion.FRevision + 1;
        END IF;
      ELSE
        RAISE EXCEPTION 'no lock (%%, %%)', space, id USING ERRCODE = 'invalid_parameter_value';
      END IF;
    END $body$
    $f$, s);
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_lock(integer, integer) FROM PUBLIC';
  EXECUTE 'GRANT EXECUTE ON FUNCTION wayfind_lock(integer, integer) TO wayfind_user';

  -- Deletes the rows of tbl at the given row addresses that the session's role
  -- may delete: what row-level security lets it delete, no more. The middle
  -- tier finds the addresses with SELECT ... FOR UPDATE under the role's own
  -- rights, so the rows cannot move before they go.
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_delete_rows(tbl text, targets tid[]) RETURNS bigint
      LANGUAGE plpgsql SECURITY DEFINER SET search_path = %s, pg_temp AS $body$
    DECLARE
      who record;
      t text := lower(tbl);
      deleted bigint;
    BEGIN
      SELECT * INTO who FROM wayfind_session_rights();
      -- A role that is no ERP user owns no rows: it deletes nothing.
      IF t IN ('t_navversion', 't_navusertopclass', 't_navusersubsystem', 't_navusersubfunc',
               't_navuserdetailfunc', 't_navuserprofile', 't_navfuncgroup') THEN
        EXECUTE format('DELETE FROM %%I WHERE ctid = ANY($1) AND ($2 OR FUserID = $3)', t)
          USING targets, who.trusted OR who.admin, who.user_id;
      ELSIF t = 't_navfuncgroupitem' THEN
        DELETE FROM t_NavFuncGroupItem i WHERE i.ctid = ANY(targets)
          AND (who.trusted OR who.admin OR EXISTS (SELECT 1 FROM t_NavFuncGroup g
                                                    WHERE g.FFuncGroupID = i.FFuncGroupID AND g.FUserID = who.user_id));
      ELSIF t IN ('t_acctprofile', 't_navtopclass', 't_navsubsystem', 't_navsubfunc', 't_navdetailfunc',
                  't_navprofile', 't_navaccttype', 't_navsysstate', 't_navuninshidden') THEN
        IF NOT (who.trusted OR who.admin) THEN
          RETURN 0;
        END IF;
        EXECUTE format('DELETE FROM %%I WHERE ctid = ANY($1)', t) USING targets;
      ELSE
        RAISE EXCEPTION 'permission denied for table %%', tbl USING ERRCODE = 'insufficient_privilege';
      END IF;
      GET DIAGNOSTICS deleted = ROW_COUNT;
      RETURN deleted;
    END $body$
    $f$, s);
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_delete_rows(text, tid[]) FROM PUBLIC';
  EXECUTE 'GRANT EXECUTE ON FUNCTION wayfind_delete_rows(text, tid[]) TO wayfind_user';

  -- Bounds for every session on the database (a session may lower them, and
  -- the program sets the same values on its own): a statement, a wait for a
  -- lock, and a transaction left idle end with an error instead of holding
  -- others up.
  EXECUTE format('ALTER DATABASE %I SET statement_timeout = %L', current_database(), '30s');
  EXECUTE format('ALTER DATABASE %I SET lock_timeout = %L', current_database(), '5s');
  EXECUTE format('ALTER DATABASE %I SET idle_in_transaction_session_timeout = %L', current_database(), '15s');
END $$;
)SQL";

}  // namespace wayfind::erp::storage::server
