#include "platform/containers/vector.h"

#include "platform/automation/automation_error.h"

namespace wayfind::platform {

const Variant& Vector::Item(int32_t position) const {
  if (position < 1 || position > Count()) raise(err::kSubscriptOutOfRange, "WayfindInfo.Vector");
  return items_[static_cast<size_t>(position - 1)];
}

void Vector::SetItem(int32_t position, const Variant& v) {
  if (position < 1 || position > Count()) raise(err::kSubscriptOutOfRange, "WayfindInfo.Vector");
  items_[static_cast<size_t>(position - 1)] = v;
}

}  // namespace wayfind::platform
