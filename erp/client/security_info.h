// "ZelBase.SecurityInfo" on the ERP database: whether the calling user holds a
// right, and whether the user is an administrator. Administrators are the members
// of group 1; a forbidden, unknown or unnamed user holds no right.
#pragma once

#include <filesystem>

#include "erp/api/security.h"

namespace wayfind::erp::client {

inline constexpr int32_t kAdministratorsGroupId = 1;

class SecurityInfo : public api::ISecurityInfo {
 public:
  explicit SecurityInfo(std::filesystem::path database = {});

  // True when the caller may use the object: an administrator, or a right row of
  // the user or of one of its groups for (objectType, objectId) whose rights hold
  // every bit of accessType. showMessage and caller do not change the answer.
  platform::Variant AccessCheck(const std::string& propsString, int16_t objectType, int16_t objectId,
                                int16_t accessType, bool showMessage, const std::string& caller) override;
  bool IsAdministrator(const std::string& propsString) override;

 private:
  std::filesystem::path database_;
};

}  // namespace wayfind::erp::client
