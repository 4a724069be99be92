#include "favourites/ports.h"

#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"

namespace wayfind::favourites {

std::shared_ptr<store::DatasInfo> newDatasInfo() {
  return platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
}

std::shared_ptr<update::DatasUpdate> newDatasUpdate() {
  return platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
}

std::string fieldText(const platform::Recordset& rs, const char* field) {
  const platform::Variant& v = rs.value(field);
  return v.isNull() || v.isEmpty() ? std::string() : platform::CStr(v);
}

bool hasRecord(const platform::RecordsetPtr& rs) { return rs && rs->RecordCount() > 0 && !rs->isEOF(); }

size_t characterCount(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;  // every byte that starts a character
  return n;
}

}  // namespace wayfind::favourites
