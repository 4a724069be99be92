// "QvSvrMgr.AcctMgr": the account manager's company switches.
#pragma once

#include <string>

#include "platform/automation/object.h"

namespace wayfind::erp::api {

class IAcctMgr : public platform::Object {
 public:
  virtual std::string GetProfile(const std::string& name) = 0;  // empty text when unset
  virtual void SetProfile(const std::string& name, const std::string& value) = 0;
};

}  // namespace wayfind::erp::api
