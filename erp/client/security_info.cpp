#include "erp/client/security_info.h"

#include "erp/middletier/caller.h"
#include "erp/storage/database.h"

namespace wayfind::erp::client {

namespace {

// The caller when it is a live (known, not forbidden) user.
std::optional<int32_t> liveUser(storage::Connection& conn, const std::string& props) {
  const auto id = middletier::userIdFromProps(props);
  if (!id) return std::nullopt;
  auto st = conn.prepare("SELECT FForbidden FROM t_User WHERE FUserID = ?");
  st.bind(1, *id);
  if (!st.step() || st.int64(0) != 0) return std::nullopt;
  return id;
}

bool isAdministrator(storage::Connection& conn, int32_t userId) {
  auto st = conn.prepare("SELECT 1 FROM t_Group WHERE FGroupID = ? AND FUserID = ?");
  st.bindAll(kAdministratorsGroupId, userId);
  return st.step();
}

}  // namespace

SecurityInfo::SecurityInfo(std::filesystem::path database) : database_(std::move(database)) {}

platform::Variant SecurityInfo::AccessCheck(const std::string& propsString, int16_t objectType, int16_t objectId,
                                            int16_t accessType, bool /*showMessage*/, const std::string& /*caller*/) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const auto user = liveUser(*conn, propsString);
  if (!user) return platform::Variant(false);
  if (isAdministrator(*conn, *user)) return platform::Variant(true);
  // A right of the user itself or of any group it belongs to.
  auto st = conn->prepare(
      "SELECT 1 FROM t_AccessRight r WHERE r.FObjectType = ?1 AND r.FObjectID = ?2 AND (r.FRights & ?3) = ?3 "
      "AND (r.FSubjectID = ?4 OR r.FSubjectID IN (SELECT FGroupID FROM t_Group WHERE FUserID = ?4)) LIMIT 1");
  st.bindAll(static_cast<int32_t>(objectType), static_cast<int32_t>(objectId), static_cast<int32_t>(accessType),
             *user);
  return platform::Variant(st.step());
}

bool SecurityInfo::IsAdministrator(const std::string& propsString) {
  auto conn = storage::connectionFor(database_);
  storage::ReadTransaction rt(*conn);
  const auto user = liveUser(*conn, propsString);
  return user && isAdministrator(*conn, *user);
}

}  // namespace wayfind::erp::client
