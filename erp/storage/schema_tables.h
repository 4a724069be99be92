// The tables of the database, described once for both back ends: their columns
// with types, text sizes (field_sizes.h), keys and references, their indexes,
// the schema version that brought each, and who may change their rows on a
// server. schema_sql.h writes the DDL of either back end from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/navigation/levels.h"

namespace wayfind::erp::storage::schema {

// The tables of a level's rows: the company's template ("t_NavTopClass") and
// the users' own rows over it ("t_NavUserTopClass").
const char* templateTable(nav::Level level);
const char* userTable(nav::Level level);

enum class ColumnType {
  Integer,
  Revision,  // a counter: INTEGER on SQLite, BIGINT on PostgreSQL
  Text,
  Identity,  // a key that numbers new rows itself
};

struct Column {
  const char* name = "";
  ColumnType type = ColumnType::Integer;
  int32_t size = 0;  // most characters of a text, checked by the database; 0: any
  bool notNull = false;
  bool primaryKey = false;
  bool unique = false;
  const char* defaultValue = nullptr;  // an SQL literal
  const char* references = nullptr;    // "table(column)"
  bool cascade = false;                // ON DELETE CASCADE
  // The size until the schema version widenedIn gave the column its size.
  int widenedIn = 0;
  int32_t sizeBefore = 0;
  // The schema version that added the column to its table (one made earlier);
  // 0: the table had it from the start.
  int addedIn = 0;

  constexpr Column& notNullable() { return notNull = true, *this; }
  constexpr Column& key() { return primaryKey = true, *this; }
  constexpr Column& uniqueValues() { return unique = true, *this; }
  constexpr Column& byDefault(const char* literal) { return defaultValue = literal, *this; }
  constexpr Column& refers(const char* target, bool onDeleteCascade = false) {
    references = target;
    cascade = onDeleteCascade;
    return *this;
  }
  constexpr Column& widened(int version, int32_t earlierSize) {
    widenedIn = version;
    sizeBefore = earlierSize;
    return *this;
  }
  constexpr Column& added(int version) { return addedIn = version, *this; }
  // Whether the given schema version has the column.
  bool existsAt(int version) const { return addedIn <= version; }
  // The column's size as the given schema version has it.
  int32_t sizeAt(int version) const { return widenedIn > version ? sizeBefore : size; }
};

Column integer(const char* name);
Column revision(const char* name);
Column text(const char* name, int32_t size = 0);
Column identity(const char* name);

struct Index {
  const char* name;
  const char* columns;  // "FUserID, FTopClassID"
  int version = 1;      // the schema version that made it
};

// Who changes a table's rows on a server (docs/server-rights.md); everyone of
// the ERP reads every table but the private ones.
enum class Writers {
  Owner,           // only the database's owner (the program's setup and upkeep)
  Administrators,  // the company's tables
  RowOwner,        // rows that belong to one user (FUserID): the user changes their own
  GroupOwner,      // favourites items: the owner of their group
  Private,         // nobody of the ERP reads or changes it
};

struct Table {
  const char* name;
  int version;  // the schema version that made it
  Writers writers;
  std::vector<Column> columns;
  const char* primaryKey = nullptr;  // a key of several columns: "FUserID, FName"
  std::vector<Index> indexes = {};
  bool serverOnly = false;  // kept by the server's rights, not by a schema version
};

// Every table, in the order they are made.
const std::vector<Table>& tables();
const Table& table(const char* name);

// The name as PostgreSQL keeps it (unquoted names fold to lower case).
std::string folded(const char* name);

}  // namespace wayfind::erp::storage::schema
