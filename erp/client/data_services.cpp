#include "erp/client/data_services.h"

#include "erp/api/progids.h"
#include "erp/client/account_manager.h"
#include "erp/client/bill_use_info.h"
#include "erp/client/security_info.h"
#include "platform/automation/registry.h"

namespace wayfind::erp::client {

void registerDataServices() {
  auto& registry = platform::Registry::instance();
  registry.add(progid::kSecurity, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<SecurityInfo>()); });
  registry.add(progid::kAcctMgr, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<AcctMgr>()); });
  registry.add(progid::kBillUseInfo, [] { return std::static_pointer_cast<platform::Object>(std::make_shared<BillUseInfo>()); });
}

}  // namespace wayfind::erp::client
