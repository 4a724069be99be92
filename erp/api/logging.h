// "QVLogMsg.Log": the ERP's call logging.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::erp::api {

class ILog : public platform::Object {
 public:
  virtual platform::Variant IsEnabled() = 0;
  virtual platform::Variant LogStart(std::string& callName) = 0;
  virtual void LogEnd(int32_t& handle, int32_t& code) = 0;
};

}  // namespace wayfind::erp::api
