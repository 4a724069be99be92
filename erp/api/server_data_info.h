// "ZelWayfind.clsDataInfo": the middle tier's source of the navigation template and
// of a user's own rows, each a dictionary of record sets with a TimeStamp text equal
// to the matching version text.
#pragma once

#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "platform/automation/object.h"
#include "platform/automation/registry.h"
#include "platform/containers/dictionary.h"

namespace wayfind::erp::api {

class IServerDataInfo : public platform::Object {
 public:
  virtual std::string GetTemplateVer(const std::string& propsString) = 0;
  // Keys TopClass, SubSystem, SubFunc, DetailFunc, Profile, AcctType, TimeStamp.
  virtual platform::DictionaryPtr GetTemplate(const std::string& propsString) = 0;
  virtual std::string GetUserTemplateVer(const std::string& propsString) = 0;
  // Keys TopClass, SubSystem, SubFunc, DetailFunc, Profile, TimeStamp.
  virtual platform::DictionaryPtr GetUserData(const std::string& propsString) = 0;
};

// A new "ZelWayfind.clsDataInfo" as the registry makes it (the ERP's middle tier registers it).
inline std::shared_ptr<IServerDataInfo> newServerDataInfo() {
  return platform::Registry::instance().createAs<IServerDataInfo>(progid::kServerDataInfo);
}

}  // namespace wayfind::erp::api
