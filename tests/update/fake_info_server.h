// A stand-in for the middle tier's information component, answering the
// favourites groups from record sets the test fills.
#pragma once

#include <functional>

#include "erp/api/server_datas_info.h"
#include "platform/automation/automation_error.h"

namespace wayfind::fakes {

class FakeInfoServer : public erp::api::IServerDatasInfo {
 public:
  platform::Variant groups;
  std::function<platform::Variant(int32_t)> detailNormal;
  std::function<platform::DictionaryPtr()> exportUserData;
  int groupReads = 0;
  bool failGroups = false;

  std::string GetSubSysClass(const std::string&, int32_t&, int32_t&) override { return {}; }
  std::string GetSubSysName(const std::string&, int32_t&) override { return {}; }
  platform::RecordsetPtr GetHelpCodeInfo(const std::string&, std::string&) override { return nullptr; }
  platform::Variant GetNextIndex(const std::string&, int32_t&, int32_t&) override { return {}; }
  platform::Variant GetNextID(const std::string&, int32_t&, int32_t&) override { return {}; }
  platform::DictionaryPtr ExportUserData(const std::string&) override {
    if (!exportUserData) throw platform::AutomationError(5, "ZelWayfind.DatasInfo", "导出失败");
    return exportUserData();
  }
  platform::Variant GetNormalFuncGroup(const std::string&) override {
    ++groupReads;
    if (failGroups) throw platform::AutomationError(3704, "ZelWayfind.DatasInfo", "连接已关闭");
    return groups;
  }
  platform::Variant GetDetailNormalFunc(const std::string&, int32_t& group) override {
    return detailNormal ? detailNormal(group) : platform::Variant();
  }
};

// A group record set in the server's order.
inline platform::RecordsetPtr groupRows(std::initializer_list<std::pair<int32_t, const char*>> rows) {
  auto rs = std::make_shared<platform::Recordset>();
  rs->appendField("FFuncGroupID", platform::DataType::Integer);
  rs->appendField("FFuncGroupName", platform::DataType::VarWChar, 80);
  rs->open();
  for (auto& [id, name] : rows) {
    rs->AddNew();
    rs->setValue("FFuncGroupID", platform::Variant(id));
    rs->setValue("FFuncGroupName", platform::Variant(name));
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

}  // namespace wayfind::fakes
