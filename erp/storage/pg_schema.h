// The schema texts of the PostgreSQL back end: the tables of each schema
// version, and the roles, grants and row-level security policies by which the
// server keeps the rights (docs/server-rights.md).
#pragma once

namespace wayfind::erp::storage::server {

extern const char* const kSchemaV1;
extern const char* const kSchemaV2;
extern const char* const kRights;

}  // namespace wayfind::erp::storage::server
