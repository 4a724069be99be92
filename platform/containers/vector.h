// Vector: an ordered list of Variants addressed from 1, as the ERP's vector object.
#pragma once

#include <memory>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::platform {

class Vector : public Object {
 public:
  void Append(const Variant& v) { items_.push_back(v); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Value at 1..Count; 9 "Subscript out of range" otherwise.
  const Variant& Item(int32_t position) const;
  void SetItem(int32_t position, const Variant& v);
  void Clear() { items_.clear(); }
  const std::vector<Variant>& items() const { return items_; }

 private:
  std::vector<Variant> items_;
};

using VectorPtr = std::shared_ptr<Vector>;

}  // namespace wayfind::platform
