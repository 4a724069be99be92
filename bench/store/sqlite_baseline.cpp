// The SQLite baseline of the store's benchmarks: the same tables in SQLite in
// memory, with indexes on the parent ids, and the store's two queries as one
// statement each (filter and merge: LEFT JOIN plus UNION ALL, ORDER BY),
// prepared once and checked to give the store's rows for every parent.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_world.h"
#include "platform/automation/conversions.h"
#include "store/codes.h"
#include "store/queries.h"
#include "synthetic_tree.h"

namespace wayfind::storebench {

using platform::RecordsetPtr;
using platform::Variant;

namespace {

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
    std::abort();
  }
}

// The record set's rows as a table; FPos keeps each row's place in storage, the
// order in which the store lists a parent's rows when the user has none there.
void copyTable(sqlite3* db, const std::string& name, const RecordsetPtr& rs, const std::string& key) {
  std::string create = "CREATE TABLE " + name + " (", insert = "INSERT INTO " + name + " VALUES (";
  for (int c = 0; c < rs->fieldCount(); ++c) {
    const auto& f = rs->fieldInfo(c);
    create += (c ? ", " : "") + f.name + (platform::isTextType(f.type) ? " TEXT" : " INTEGER") +
              (f.name == key ? " PRIMARY KEY" : "");
    insert += c ? ", ?" : "?";
  }
  exec(db, create + ", FPos INTEGER)");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, (insert + ", ?)").c_str(), -1, &st, nullptr);
  exec(db, "BEGIN");
  for (size_t r = 0; r < rs->storedRowCount(); ++r) {
    for (int c = 0; c < rs->fieldCount(); ++c) {
      const Variant v = rs->storedValue(r, c);
      if (v.isNull() || v.isEmpty()) sqlite3_bind_null(st, c + 1);
      else if (v.isString()) sqlite3_bind_text(st, c + 1, v.asString().c_str(), -1, SQLITE_TRANSIENT);
      else sqlite3_bind_int64(st, c + 1, v.asLong());
    }
    sqlite3_bind_int64(st, rs->fieldCount() + 1, static_cast<sqlite3_int64>(r));
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  exec(db, "COMMIT");
  sqlite3_finalize(st);
}

}  // namespace

void buildSqlite() {
  auto& w = world();
  sqlite3_open(":memory:", &w.db);
  const auto& s = w.large;
  copyTable(w.db, "tdet", s.templ.DetailFunc, "FDetailFuncID");
  copyTable(w.db, "udet", s.user.DetailFunc, "");
  copyTable(w.db, "tsub", s.templ.SubFunc, "FSubFuncID");
  copyTable(w.db, "usub", s.user.SubFunc, "");
  // The parent ids lead each index; the user tables' indexes also carry the row
  // id, so the join to the template finds a user row from the index alone.
  exec(w.db, "CREATE INDEX tdet_parent ON tdet(FSubFuncID); CREATE INDEX udet_parent ON udet(FSubFuncID, FDetailFuncID);"
             "CREATE INDEX tsub_parent ON tsub(FSubSysID); CREATE INDEX usub_parent ON usub(FSubSysID, FSubFuncID);"
             "ANALYZE;");
}

namespace {

// The merge as SQL: the template rows of the parent for the account type, each
// with the user's row of the same id (LEFT JOIN), plus the user's rows that match
// no such template row (UNION ALL), visible rows only, in the store's order: by
// FIndex and id when the user has rows under the parent, otherwise the
// template's storage order (the merge sorts only when it merged something). The
// two sort keys come last and are not part of the result.
//
// The account-type pattern is part of the text, not a bound parameter: a LIKE
// whose pattern is bound makes SQLite prepare the statement again at every new
// binding, and the statement is meant to be prepared once. The benchmark checks
// SQLITE_STMTSTATUS_REPREPARE.
std::string detailSql(int32_t acctCode, int32_t showNameSize) {
  const std::string acct = "(t.FAcctType = '' OR t.FAcctType LIKE '%," + std::to_string(acctCode) + ",%')";
  const std::string show = std::to_string(showNameSize);
  return R"(
SELECT t.FDetailFuncID,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FSubFuncID ELSE u.FSubFuncID END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END,
       t.FFuncName_en, t.FFuncName_cht,
       CASE WHEN t.FShowName IS NULL AND u.FDetailFuncID IS NOT NULL THEN substr(u.FFuncName, 1, )" + show + R"()
            ELSE t.FShowName END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FHelpCode ELSE u.FHelpCode END,
       t.FHelpCode1, t.FAcctType,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FIndex ELSE u.FIndex END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FVisible ELSE u.FVisible END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FEnable ELSE u.FEnable END,
       CASE WHEN u.FDetailFuncID IS NULL THEN t.FFuncType ELSE COALESCE(t.FFuncType, -1) END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassName ELSE t.FClassName END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassParam ELSE t.FClassParam END,
       CASE WHEN h.merged THEN CASE WHEN u.FDetailFuncID IS NULL THEN t.FIndex ELSE u.FIndex END END,
       CASE WHEN h.merged THEN t.FDetailFuncID ELSE t.FPos END
FROM (SELECT EXISTS (SELECT 1 FROM udet WHERE FSubFuncID = ?1) AS merged) h, tdet t LEFT JOIN udet u ON u.FSubFuncID = ?1 AND u.FDetailFuncID = t.FDetailFuncID
WHERE t.FSubFuncID = ?1 AND )" + acct + R"(
  AND CASE WHEN u.FDetailFuncID IS NULL THEN t.FVisible ELSE u.FVisible END = 1
UNION ALL
SELECT u.FDetailFuncID, u.FSubFuncID, u.FFuncName, NULL, NULL, substr(u.FFuncName, 1, )" + show + R"(),
       u.FHelpCode, NULL, NULL, u.FIndex, u.FVisible, u.FEnable, -1,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassName END,
       CASE WHEN u.FDetailFuncID >= 1000000000 THEN u.FClassParam END, u.FIndex, u.FDetailFuncID
FROM udet u
WHERE u.FSubFuncID = ?1 AND u.FVisible = 1
  AND NOT EXISTS (SELECT 1 FROM tdet t WHERE t.FDetailFuncID = u.FDetailFuncID AND t.FSubFuncID = ?1 AND )" +
         acct + R"()
ORDER BY 16, 17)";
}

std::string subFuncSql(int32_t acctCode) {
  const std::string acct = "(t.FAcctType = '' OR t.FAcctType LIKE '%," + std::to_string(acctCode) + ",%')";
  return R"(
SELECT t.FSubFuncID,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FSubSysID ELSE u.FSubSysID END,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FFuncName ELSE u.FFuncName END,
       t.FAcctType,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FIndex ELSE u.FIndex END,
       CASE WHEN u.FSubFuncID IS NULL THEN t.FVisible ELSE u.FVisible END,
       t.FRefresh, t.FSetEnable, t.FClassName, t.FClassParam,
       CASE WHEN h.merged THEN CASE WHEN u.FSubFuncID IS NULL THEN t.FIndex ELSE u.FIndex END END,
       CASE WHEN h.merged THEN t.FSubFuncID ELSE t.FPos END
FROM (SELECT EXISTS (SELECT 1 FROM usub WHERE FSubSysID = ?1) AS merged) h, tsub t LEFT JOIN usub u ON u.FSubSysID = ?1 AND u.FSubFuncID = t.FSubFuncID
WHERE t.FSubSysID = ?1 AND )" + acct + R"(
  AND CASE WHEN u.FSubFuncID IS NULL THEN t.FVisible ELSE u.FVisible END = 1
UNION ALL
SELECT u.FSubFuncID, u.FSubSysID, u.FFuncName, NULL, u.FIndex, u.FVisible, NULL, NULL, NULL, NULL,
       u.FIndex, u.FSubFuncID
FROM usub u
WHERE u.FSubSysID = ?1 AND u.FVisible = 1
  AND NOT EXISTS (SELECT 1 FROM tsub t WHERE t.FSubFuncID = u.FSubFuncID AND t.FSubSysID = ?1 AND )" + acct + R"()
ORDER BY 11, 12)";
}

}  // namespace

// The two statements, prepared once for the whole run.
Statements& statements() {
  static Statements s;
  return s;
}

namespace {

sqlite3_stmt* prepare(const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(world().db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(world().db));
    std::abort();
  }
  return st;
}

// The plan SQLite chose, printed so a reader can see the indexes at work.
void printPlan(const std::string& sql, const char* what) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(world().db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr) != SQLITE_OK) return;
  sqlite3_bind_int(st, 1, kFirstSubFunc);
  std::printf("SQLite's plan for %s:\n", what);
  while (sqlite3_step(st) == SQLITE_ROW)
    std::printf("  %s\n", reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
  sqlite3_finalize(st);
}

}  // namespace

// A run that made SQLite prepare a statement again would measure the preparing.
void requireNoReprepare(sqlite3_stmt* st, const char* what) {
  const int n = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (n != 0) {
    std::fprintf(stderr, "sqlite prepared the %s statement again %d times\n", what, n);
    std::abort();
  }
}

namespace {

using SqlRows = std::vector<std::vector<Variant>>;

// The rows of one run, materialised as Variants, as a record set holds values
// for its caller.
size_t runSql(sqlite3_stmt* st, int32_t parent, SqlRows* keep = nullptr) {
  sqlite3_bind_int(st, 1, parent);
  SqlRows rows;
  const int columns = sqlite3_column_count(st) - 2;  // the two sort keys stay out
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: row.emplace_back(static_cast<int32_t>(sqlite3_column_int(st, c))); break;
        case SQLITE_NULL: row.push_back(Variant::null()); break;
        default:
          row.emplace_back(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                            static_cast<size_t>(sqlite3_column_bytes(st, c))));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_reset(st);
  const size_t n = rows.size();
  if (keep) *keep = std::move(rows);
  return n;
}

bool sameValue(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isString() || b.isString()) return a.isString() && b.isString() && a.asString() == b.asString();
  return platform::CDbl(a) == platform::CDbl(b);
}

// Every parent's result from SQLite equals the store's, row by row and field
// by field, or the benchmark stops: a baseline that answers something else is
// no baseline.
void checkSameResults(sqlite3_stmt* st, const char* what, int32_t first, int count,
                      RecordsetPtr (*query)(int32_t)) {
  useStore(world().large);
  size_t rowsSeen = 0;
  for (int32_t id = first; id < first + count; ++id) {
    SqlRows sql;
    runSql(st, id, &sql);
    RecordsetPtr rs = query(id);
    bool same = static_cast<size_t>(rs->RecordCount()) == sql.size();
    size_t r = 0;
    for (rs->MoveFirst(); same && !rs->isEOF(); rs->MoveNext(), ++r) {
      if (static_cast<int>(sql[r].size()) != rs->fieldCount()) same = false;
      for (int c = 0; same && c < rs->fieldCount(); ++c) same = sameValue(rs->value(c), sql[r][static_cast<size_t>(c)]);
    }
    if (!same) {
      std::fprintf(stderr, "SQLite's %s for %d differs from the store's\nstore:\n", what, id);
      for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        for (int c = 0; c < rs->fieldCount(); ++c) std::fprintf(stderr, " %s", rs->value(c).debugString().c_str());
        std::fprintf(stderr, "\n");
      }
      std::fprintf(stderr, "SQLite:\n");
      for (const auto& row : sql) {
        for (const auto& v : row) std::fprintf(stderr, " %s", v.debugString().c_str());
        std::fprintf(stderr, "\n");
      }
      std::abort();
    }
    rowsSeen += sql.size();
  }
  requireNoReprepare(st, what);
  std::printf("SQLite's %s equals the store's for all %d parents (%zu rows)\n", what, count, rowsSeen);
}

}  // namespace

void prepareSqlite() {
  auto& st = statements();
  useStore(world().large);
  const int32_t acct = store::GetAcctTypeCode();
  const auto& det = *world().large.templ.DetailFunc;
  const std::string detail = detailSql(acct, det.fieldInfo(det.requireField("FShowName")).definedSize);
  printPlan(detail, "GetDetailFunc");
  st.detail = prepare(detail);
  st.subFunc = prepare(subFuncSql(acct));
  checkSameResults(st.detail, "GetDetailFunc", kFirstSubFunc, storebench::kLarge.subFuncs, store::GetDetailFunc);
  checkSameResults(st.subFunc, "GetSubFunc", 1, storebench::kLarge.subSystems, store::GetSubFunc);
}

// One run of a prepared statement with every value read as a caller would, at
// SQLite's best: integers and texts straight from the result row, no copy.
uint64_t readSql(sqlite3_stmt* st, int32_t parent) {
  sqlite3_bind_int(st, 1, parent);
  uint64_t sum = 0;
  const int columns = sqlite3_column_count(st) - 2;  // the two sort keys stay out
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: sum += static_cast<uint64_t>(sqlite3_column_int(st, c)); break;
        case SQLITE_NULL: break;
        default:
          sqlite3_column_text(st, c);
          sum += static_cast<uint64_t>(sqlite3_column_bytes(st, c));
      }
    }
    ++sum;
  }
  sqlite3_reset(st);
  return sum;
}

}  // namespace wayfind::storebench
