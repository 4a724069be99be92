// The SQL texts of the program are written once for both back ends, with SQLite's
// parameters ("?" numbered in order, or "?N"). PostgreSQL numbers its parameters
// "$N"; this turns one form into the other, leaving quoted texts, quoted names
// and comments alone. A bare "?" takes one more than the largest number used
// before it, as SQLite counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wayfind::erp::storage {

struct ServerSql {
  std::string text;
  // used[i]: whether parameter i + 1 appears. A parameter that a statement
  // binds but never uses has no type the server could infer.
  std::vector<bool> used;
};

ServerSql toServerParameters(std::string_view sql);

// "DELETE FROM <table> <rest>" taken apart: the table's name (a plain
// identifier) and what follows it (an alias and the WHERE clause). Nothing for
// any other statement, or for a DELETE with USING or RETURNING.
struct DeleteStatement {
  std::string table;
  std::string rest;
};
std::optional<DeleteStatement> parseDelete(std::string_view sql);

// The same deletion for a role that holds no DELETE right on the table: the
// rows are found and locked under the role's own rights (SELECT ... FOR
// UPDATE, so row-level security picks them as it would for DELETE) and handed
// to the server's wayfind_delete_rows, which answers the number deleted.
std::string deleteThroughServer(const DeleteStatement& d);

}  // namespace wayfind::erp::storage
