// The ERP client services, registered under their ProgIDs, and the host's side of
// them: what a host calls to set up a login before it uses the component.
//
//   registerClientComponents();
//   publishLogin(makeLogin(16394, "王芳", "1", "demo-uuid"));   // share_props.h
//   setLoginLanguage("en");                                  // lang_info.h
//   enableCallLog("/tmp/wayfind-calls.log");                 // file_call_log.h
//   setResourceFolder("/opt/wayfind/resources");             // resource_folder.h
#pragma once

#include "erp/client/file_call_log.h"
#include "erp/client/help_viewer.h"
#include "erp/client/lang_info.h"
#include "erp/text/resource_folder.h"
#include "erp/client/share_props.h"

namespace wayfind::erp::client {

// Registers "PropsMgr.ShareProps", "T8LangInfo.LangInfo", "T8ResLoader.Loader",
// the formatting object (by ProgID and interface identifier), "QVLogMsg.Log" and
// "T8CHMResTool.ClsCHMHelp". Registering again replaces the earlier registrations.
void registerClientComponents();

}  // namespace wayfind::erp::client
