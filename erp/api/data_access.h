// "T8MSmsManager.clsBillUseInfo": read-only SQL access to the account database.
#pragma once

#include <string>

#include "platform/automation/object.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::api {

class IBillUseInfo : public platform::Object {
 public:
  // Runs one read-only SELECT and answers its rows; anything that would change
  // data, or more than one statement, is refused with an error.
  virtual platform::RecordsetPtr GetData(const std::string& propsString, const std::string& sql) = 0;
};

}  // namespace wayfind::erp::api
