// "ZelBase.SecurityInfo": rights checks of the calling user.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::erp::api {

class ISecurityInfo : public platform::Object {
 public:
  // False when the user may not use the function named by the arguments.
  virtual platform::Variant AccessCheck(const std::string& propsString, int16_t objectType, int16_t objectId,
                                        int16_t accessType, bool showMessage, const std::string& caller) = 0;
  virtual bool IsAdministrator(const std::string& propsString) = 0;
};

}  // namespace wayfind::erp::api
