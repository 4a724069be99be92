#include "erp/storage/pg_schema.h"

#include <string_view>

#include "erp/storage/schema.h"
#include "erp/storage/schema_sql.h"

namespace wayfind::erp::storage::server {

namespace {

// The rights the server keeps (docs/server-rights.md), with the names of tables
// and columns in @...@ filled in from the tables' description.
constexpr const char* kRightsTemplate = R"SQL(
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

@CREATE t_UserRole@
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
  tables text[] := ARRAY[@READABLE@];
  -- Tables only administrators change.
  company text[] := ARRAY[@COMPANY@];
  -- Tables of rows that belong to one user (FUserID): the user changes their own.
  own text[] := ARRAY[@OWN@];
BEGIN
  FOREACH t IN ARRAY tables LOOP
    EXECUTE format('REVOKE ALL ON %I FROM PUBLIC', t);
    EXECUTE format('GRANT SELECT ON %I TO wayfind_user, wayfind_reader', t);
  END LOOP;
  FOREACH t IN ARRAY company || own || ARRAY[@GROUP_ITEMS@] LOOP
    -- No table-wide UPDATE, DELETE or TRUNCATE: any of them lets its holder
    -- LOCK the table in every mode, ACCESS EXCLUSIVE included, and so stop every
    -- reader. UPDATE is granted column by column (which allows no LOCK beyond
    -- what SELECT allows); rows are deleted through wayfind_delete_rows.
    EXECUTE format('REVOKE INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER ON %I FROM wayfind_user', t);
    -- Not an identity column: a row moved ahead of the numbers it hands out
    -- would make somebody else's next new row fail.
    SELECT string_agg(quote_ident(attname), ', ' ORDER BY attnum) INTO cols
      FROM pg_attribute WHERE attrelid = t::regclass AND attnum > 0 AND NOT attisdropped AND attidentity = '';
    EXECUTE format('GRANT UPDATE (%s) ON %I TO wayfind_user', cols, t);
    -- Numbers of an identity column come from it only: a number taken ahead of
    -- it in a transaction left open would hold up other users' new rows.
    @GRANT INSERT@
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
@REVOKE SEQUENCES@END $$;

-- The middle tier's serialising locks are row locks on t_WayfindLock, a table
-- no ERP role may read or lock itself: (0, 0) is the database's write lock,
-- held shared by a change of one user's rows and exclusively by a change of the
-- whole database; (1, user) a user's rows; (2, level) the handing out of a
-- level's custom identifiers. A row lock held shared never makes a later
-- shared request wait, not even behind a waiting exclusive one, so a session
-- that keeps a change open holds up no other user's change of their own rows.
@CREATE t_WayfindLock@REVOKE ALL ON t_WayfindLock FROM PUBLIC;
INSERT INTO t_WayfindLock(FSpace, FID) VALUES (0, 0), (2, 1), (2, 2), (2, 3), (2, 4) ON CONFLICT DO NOTHING;
@CREATE t_WayfindIdClaim@REVOKE ALL ON t_WayfindIdClaim FROM PUBLIC;

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

  -- Claims custom identifiers of a level (1 to 4) for the calling transaction,
  -- all or none: false when another change stores one of them, or claimed it
  -- and does not let go within a moment. A claim holds nothing but its own
  -- identifiers, so a session that keeps its transaction open holds up nobody:
  -- the others pass over what it claimed. The program gives its claims up just
  -- before it commits (wayfind_release_claims); a rolled-back change drops them.
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_claim_ids(level integer, ids integer[]) RETURNS boolean
      LANGUAGE plpgsql SECURITY DEFINER SET search_path = %s, pg_temp SET lock_timeout = '100ms' AS $body$
    DECLARE
      who record;
    BEGIN
      SELECT * INTO who FROM wayfind_session_rights();
      IF NOT who.trusted AND who.user_id IS NULL THEN
        RAISE EXCEPTION 'role %% is no ERP user', session_user USING ERRCODE = 'insufficient_privilege';
      END IF;
      IF level IS NULL OR level NOT BETWEEN 1 AND 4 THEN
        RAISE EXCEPTION 'no level %%', level USING ERRCODE = 'invalid_parameter_value';
      END IF;
      BEGIN
        -- A claim is for its transaction only: one whose transaction ended
        -- without giving it up (a role calling this itself and committing) is
        -- no claim, nor is one of a transaction this server never began (a
        -- copy of another server's database).
        DELETE FROM t_WayfindIdClaim WHERE FLevel = level AND FID = ANY (ids)
          AND CASE WHEN FTxn >= txid_current() THEN FTxn <> txid_current()
                   ELSE txid_status(FTxn) IS DISTINCT FROM 'in progress' END;
        INSERT INTO t_WayfindIdClaim(FLevel, FID, FTxn) SELECT DISTINCT level, i, txid_current() FROM unnest(ids) AS i;
      EXCEPTION WHEN unique_violation OR lock_not_available THEN
        RETURN false;
      END;
      RETURN true;
    END $body$
    $f$, s);
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_release_claims() RETURNS void
      LANGUAGE sql SECURITY DEFINER SET search_path = %s, pg_temp AS
      'DELETE FROM t_WayfindIdClaim WHERE FTxn = txid_current()'$f$, s);
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_claim_ids(integer, integer[]) FROM PUBLIC';
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_release_claims() FROM PUBLIC';
  EXECUTE 'GRANT EXECUTE ON FUNCTION wayfind_claim_ids(integer, integer[]) TO wayfind_user';
  EXECUTE 'GRANT EXECUTE ON FUNCTION wayfind_release_claims() TO wayfind_user';

  -- Keeps the custom identifier of a user's deleted row (the trigger on each
  -- users' table passes the level and the identifier's column): never handed
  -- out again. Only this function writes t_WayfindRetiredId, a number once;
  -- the table has no unique key, so no session ever waits on another's insert
  -- (a plain role could otherwise hold up the deletion of somebody else's item
  -- by inserting and deleting a row of its own with the same number, and
  -- keeping its transaction open).
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION wayfind_retire_id() RETURNS trigger
      LANGUAGE plpgsql SECURITY DEFINER SET search_path = %s, pg_temp AS $body$
    DECLARE
      lvl integer := TG_ARGV[0]::integer;
      gone integer := (to_jsonb(OLD) ->> TG_ARGV[1])::integer;
    BEGIN
      IF NOT EXISTS (SELECT 1 FROM t_WayfindRetiredId WHERE FLevel = lvl AND FID = gone) THEN
        INSERT INTO t_WayfindRetiredId(FLevel, FID) VALUES (lvl, gone);
      END IF;
      RETURN NULL;
    END $body$
    $f$, s);
  EXECUTE 'REVOKE ALL ON FUNCTION wayfind_retire_id() FROM PUBLIC';

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
      IF t IN (@OWN@) THEN
        EXECUTE format('DELETE FROM %%I WHERE ctid = ANY($1) AND ($2 OR FUserID = $3)', t)
          USING targets, who.trusted OR who.admin, who.user_id;
      ELSIF t = @GROUP_ITEMS@ THEN
        DELETE FROM t_NavFuncGroupItem i WHERE i.ctid = ANY(targets)
          AND (who.trusted OR who.admin OR EXISTS (SELECT 1 FROM t_NavFuncGroup g
                                                    WHERE g.FFuncGroupID = i.FFuncGroupID AND g.FUserID = who.user_id));
      ELSIF t IN (@COMPANY@) THEN
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
  -- A session left idle goes after an hour (the program connects again by
  -- itself), and a statement whose client has gone stops within 10 s, not when
  -- it ends.
  IF current_setting('server_version_num')::int >= 140000 THEN
    EXECUTE format('ALTER DATABASE %I SET idle_session_timeout = %L', current_database(), '1h');
    EXECUTE format('ALTER DATABASE %I SET client_connection_check_interval = %L', current_database(), '10s');
  END IF;
END $$;

-- The users' tables keep the custom identifiers of their deleted rows.
@RETIRING TRIGGERS@)SQL";

// "'t_a', 't_b', ...", broken before a name that would reach past column 110 and
// carried on under the first name; start is the column the list starts in.
std::string quotedList(const std::vector<std::string>& names, size_t start) {
  std::string out;
  size_t column = start;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string item = "'" + names[i] + "'" + (i + 1 < names.size() ? "," : "");
    if (i > 0 && column + 1 + item.size() > 110) {
      out += '\n';
      out.append(start, ' ');
      column = start;
    } else if (i > 0) {
      out += " ";
      ++column;
    }
    out += item;
    column += item.size();
  }
  return out;
}

template <typename Wanted>
std::vector<std::string> tablesWhere(Wanted wanted) {
  std::vector<std::string> names;
  for (const schema::Table& t : schema::tables())
    if (wanted(t.writers)) names.push_back(schema::folded(t.name));
  return names;
}

std::vector<std::string> writtenBy(schema::Writers writers) {
  return tablesWhere([writers](schema::Writers w) { return w == writers; });
}

// INSERT is granted on the whole row, but where an identity column numbers the
// rows: there on the other columns. The identity's sequence is the server's to
// use (an insert needs no right on it); a right to use it would let a plain role
// call nextval until the sequence is spent and nobody could add a row, so it is
// taken back from databases made when it was granted.
void identityGrants(std::string& insert, std::string& sequences) {
  std::string branches;
  for (const schema::Table& t : schema::tables()) {
    for (const schema::Column& c : t.columns) {
      if (c.type != schema::ColumnType::Identity) continue;
      std::string others;
      for (const schema::Column& o : t.columns)
        if (&o != &c) others += (others.empty() ? "" : ", ") + std::string(o.name);
      branches += std::string(branches.empty() ? "IF" : "ELSIF") + " t = '" + schema::folded(t.name) +
                  "' THEN\n      GRANT INSERT (" + others + ") ON " + t.name + " TO wayfind_user;\n    ";
      sequences += "  REVOKE ALL ON SEQUENCE " + schema::folded(t.name) + "_" + schema::folded(c.name) +
                   "_seq FROM wayfind_user, wayfind_reader;\n";
    }
  }
  const std::string whole = "EXECUTE format('GRANT INSERT ON %I TO wayfind_user', t);";
  insert = branches.empty() ? whole : branches + "ELSE\n      " + whole + "\n    END IF;";
}

// Each @name@ of the text in turn, replaced by what fill gives for it.
template <typename Fill>
std::string filled(std::string_view text, Fill fill) {
  std::string out;
  size_t from = 0;
  for (size_t at; (at = text.find('@', from)) != std::string_view::npos;) {
    const size_t end = text.find('@', at + 1);
    const size_t lineStart = text.rfind('\n', at) + 1;
    out.append(text.substr(from, at - from));
    out += fill(text.substr(at + 1, end - at - 1), at - lineStart);
    from = end + 1;
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace

std::string rights() {
  using schema::Writers;
  std::string insertGrant, sequenceGrants;
  identityGrants(insertGrant, sequenceGrants);
  return filled(kRightsTemplate, [&](std::string_view name, size_t column) -> std::string {
    if (name == "READABLE") return quotedList(tablesWhere([](Writers w) { return w != Writers::Private; }), column);
    if (name == "COMPANY") return quotedList(writtenBy(Writers::Administrators), column);
    if (name == "OWN") return quotedList(writtenBy(Writers::RowOwner), column);
    if (name == "GROUP_ITEMS") return quotedList(writtenBy(Writers::GroupOwner), column);
    if (name == "GRANT INSERT") return insertGrant;
    if (name == "REVOKE SEQUENCES") return sequenceGrants;
    if (name == "RETIRING TRIGGERS") return schema::retiringTriggers(Backend::PostgreSQL);
    if (name.starts_with("CREATE ")) {
      const std::string table(name.substr(7));
      return schema::createTable(Backend::PostgreSQL, schema::table(table.c_str()), kSchemaVersion, true);
    }
    return std::string(name);
  });
}

}  // namespace wayfind::erp::storage::server
