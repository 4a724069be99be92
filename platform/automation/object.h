// The base of every object that travels inside a Variant: record sets, dictionaries,
// vectors, and the components created through the ProgID registry. An automation
// object reference is a std::shared_ptr<Object>; the object dies with its last
// reference, as a COM object does on its last Release.
#pragma once

#include <memory>

namespace wayfind::platform {

class Object {
 public:
  virtual ~Object() = default;
};

using ObjectPtr = std::shared_ptr<Object>;

}  // namespace wayfind::platform
