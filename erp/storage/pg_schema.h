// The rights and row-level security policies by which a PostgreSQL server keeps
// the rights (docs/server-rights.md), and the server's own tables they need.
// The tables themselves are those of schema_tables.h on both back ends.
#pragma once

#include <string>

namespace wayfind::erp::storage::server {

// Applied after the last migration step; every statement may run again.
std::string rights();

}  // namespace wayfind::erp::storage::server
