// The SQL texts of the program are written once for both back ends, with SQLite's
// parameters ("?" numbered in order, or "?N"). PostgreSQL numbers its parameters
// "$N"; this turns one form into the other, leaving quoted texts, quoted names
// and comments alone. A bare "?" takes one more than the largest number used
// before it, as SQLite counts.
#pragma once

#include <string>
#include <string_view>

namespace wayfind::erp::storage {

std::string toServerParameters(std::string_view sql);

}  // namespace wayfind::erp::storage
