// wayfind db add-user USERID ROLE: the server role an ERP user connects as.
#include <ostream>

#include "app/db_init.h"
#include "erp/storage/database.h"
#include "erp/storage/user_roles.h"
#include "platform/automation/automation_error.h"

namespace wayfind::app {

int runDbAddUser(const std::optional<std::string>& location, const std::string& userId, const std::string& role,
                 std::ostream& out) {
  namespace storage = erp::storage;
  if (location) storage::CurrentDatabase::set(*location);
  const auto path = storage::CurrentDatabase::path();
  if (userId.empty() || userId.size() > 10 || userId.find_first_not_of("0123456789") != std::string::npos)
    throw platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind", "USERID must be a number, not " + userId + ".");
  const int64_t id = std::stoll(userId);
  if (id > INT32_MAX)
    throw platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind", "USERID " + userId + " is too large.");
  storage::addUserRole(path, static_cast<int32_t>(id), role);
  out << "User " << userId << " connects as role " << role << " (at most " << storage::kUserConnectionLimit
      << " connections at once) to " << storage::locationForDisplay(path)
      << ". Give the role a password with ALTER ROLE " << role << " PASSWORD '...', or let pg_hba.conf say how it logs in.\n";
  return 0;
}

}  // namespace wayfind::app
