// The role an ERP user connects to the server as: made by the database's owner,
// a member of wayfind_user and wayfind_reader, mapped to the user in
// t_UserRole, and allowed only so many connections at once. The limit is the
// one bound a role cannot lift for itself: without it one user's idle sessions
// could take every connection the server has, the administrator's included.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

// How many connections a user's role may hold at once unless told otherwise:
// a console, its editors and a few command-line calls, on two machines.
inline constexpr int kUserConnectionLimit = 10;

// Makes role (or, when it exists, changes it) a login role for ERP user userId
// with at most connectionLimit connections, in one transaction on the owner's
// connection conn. Refuses (number 5) on SQLite, a role name that is not a plain
// lower-case identifier, a user who is not in t_User, a limit outside 1..1000,
// and a role that already belongs to another user.
void addUserRole(Connection& conn, int32_t userId, const std::string& role, int connectionLimit = kUserConnectionLimit);
// The same on the database at database, opened as its owner; a database file is
// refused before anything is opened or made there.
void addUserRole(const std::filesystem::path& database, int32_t userId, const std::string& role,
                 int connectionLimit = kUserConnectionLimit);

}  // namespace wayfind::erp::storage
