// Registers the client services that live on the ERP database under their
// ProgIDs: "ZelBase.SecurityInfo", "QvSvrMgr.AcctMgr" and
// "T8MSmsManager.clsBillUseInfo". Registering again replaces them.
#pragma once

namespace wayfind::erp::client {

void registerDataServices();

}  // namespace wayfind::erp::client
