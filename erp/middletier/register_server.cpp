#include "erp/middletier/register_server.h"

#include "erp/api/progids.h"
#include "erp/demo/demo_company.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/server_data_info.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/database.h"
#include "platform/automation/registry.h"

namespace wayfind::erp::middletier {

void registerServerComponents() {
  auto& registry = platform::Registry::instance();
  registry.add(progid::kServerDataInfo, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<ServerDataInfo>()); });
  registry.add(progid::kServerDatasInfo, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<ServerDatasInfo>()); });
  registry.add(progid::kServerDatasUpdate, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<ServerDatasUpdate>()); });
  storage::CurrentDatabase::setDemoSeeder(&demo::loadDemoCompany);
}

}  // namespace wayfind::erp::middletier
