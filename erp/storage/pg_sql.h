// The SQL texts of the program are written once for both back ends, with SQLite's
// parameters ("?" numbered in order, or "?N"). PostgreSQL numbers its parameters
// "$N"; this turns one form into the other, leaving quoted texts, quoted names
// and comments alone. A bare "?" takes one more than the largest number used
// before it, as SQLite counts.
#pragma once

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

}  // namespace wayfind::erp::storage
