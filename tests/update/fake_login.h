// A login for tests: a shared-properties component answering from a map.
#pragma once

#include <map>
#include <string>

#include "erp/api/progids.h"
#include "erp/api/share_props.h"
#include "platform/automation/registry.h"

namespace wayfind::fakes {

class FakeShareProps : public erp::api::IShareProps {
 public:
  std::map<std::string, platform::Variant> values;
  platform::Variant GetProperty(int32_t&, std::string& name) override {
    auto it = values.find(name);
    return it == values.end() ? platform::Variant() : it->second;
  }
  void SetProperty(int32_t, const std::string& name, const platform::Variant& value) override { values[name] = value; }
};

// Registers a FakeShareProps for the guard's lifetime with a user's login.
struct ScopedLogin {
  std::shared_ptr<FakeShareProps> props = std::make_shared<FakeShareProps>();
  platform::ScopedRegistration reg{erp::progid::kShareProps, platform::sharedFactory(props)};
  explicit ScopedLogin(const std::string& propsString = "UserID=16394;UserName=王芳;T8Version=9.0") {
    props->values["PropsString"] = platform::Variant(propsString);
    props->values["UserName"] = platform::Variant("王芳");
    props->values["SetupType"] = platform::Variant("Industry");
    props->values["UUID"] = platform::Variant("demo");
  }
};

}  // namespace wayfind::fakes
