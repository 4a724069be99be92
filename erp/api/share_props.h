// "PropsMgr.ShareProps": the host's published login properties, keyed by process
// identifier and property name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::erp::api {

class IShareProps : public platform::Object {
 public:
  // The property's value; Empty for a name the host did not publish.
  virtual platform::Variant GetProperty(int32_t& processId, std::string& name) = 0;
  // Publishing side, used by the host.
  virtual void SetProperty(int32_t processId, const std::string& name, const platform::Variant& value) = 0;
};

}  // namespace wayfind::erp::api
