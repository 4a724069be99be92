// "T8CHMResTool.ClsCHMHelp": the ERP's help viewer, keyed by help context.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/object.h"

namespace wayfind::erp::api {

class IHelp : public platform::Object {
 public:
  virtual void ShowHELP(int32_t& helpContext, int16_t zero, std::string& text1, int32_t& long2,
                        std::string& text3, int32_t& long4) = 0;
};

}  // namespace wayfind::erp::api
