#include "erp/client/text_formatter.h"

#include "platform/automation/conversions.h"

namespace wayfind::erp::client {

std::string TextFormatter::Format(const std::string& templ, const std::vector<platform::Variant>& values) {
  std::string out;
  out.reserve(templ.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    const char c = templ[i];
    if (c == '%' && i + 1 < templ.size() && templ[i + 1] >= '1' && templ[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(templ[i + 1] - '1');
      if (index < values.size()) {
        out += platform::textOrEmpty(values[index]);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace wayfind::erp::client
