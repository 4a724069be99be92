// The foundation library's template-filling object (progid::kFormatter, known by
// the interface identifier progid::kFormatterInterfaceId): %1 to %9 become the
// text of the values in order.
#pragma once

#include <string>
#include <vector>

#include "erp/api/language.h"

namespace wayfind::erp::client {

class TextFormatter : public api::ITextFormatter {
 public:
  // Each %n (n from 1 to 9) becomes CStr of the n-th value (Null gives empty text);
  // a placeholder without a value stays as it is. Values are not scanned again, so
  // a value that itself contains "%2" is inserted as it is.
  std::string Format(const std::string& templ, const std::vector<platform::Variant>& values) override;
};

}  // namespace wayfind::erp::client
