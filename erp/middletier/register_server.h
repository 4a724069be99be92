// The middle tier's server components, registered under their ProgIDs:
// "ZelWayfind.clsDataInfo" and "ZelWayfind.DatasInfo" (and "ZelWayfind.DatasUpdate"
// once its write side is built). Also makes the demo company the content of a new
// database. Registering again replaces the earlier registrations.
//
// The client services on the same database ("ZelBase.SecurityInfo",
// "QvSvrMgr.AcctMgr", "T8MSmsManager.clsBillUseInfo") are registered by
// erp::client::registerDataServices() (erp/client/data_services.h).
#pragma once

namespace wayfind::erp::middletier {

void registerServerComponents();

}  // namespace wayfind::erp::middletier
