// The ProgIDs under which the ERP's components and the component's own public
// classes are registered.
#pragma once

namespace wayfind::erp::progid {
// Middle tier.
inline constexpr const char* kServerDataInfo = "ZelWayfind.clsDataInfo";
inline constexpr const char* kServerDatasInfo = "ZelWayfind.DatasInfo";
inline constexpr const char* kServerDatasUpdate = "ZelWayfind.DatasUpdate";
// Client services.
inline constexpr const char* kShareProps = "PropsMgr.ShareProps";
inline constexpr const char* kLangInfo = "T8LangInfo.LangInfo";
inline constexpr const char* kResLoader = "T8ResLoader.Loader";
inline constexpr const char* kFrmResLoader = "FrmRes.FrmResLoader";
inline constexpr const char* kLog = "QVLogMsg.Log";
inline constexpr const char* kHelp = "T8CHMResTool.ClsCHMHelp";
inline constexpr const char* kHelpPresenter = "T8CHMResTool.HelpPresenter";
inline constexpr const char* kSecurity = "ZelBase.SecurityInfo";
inline constexpr const char* kAcctMgr = "QvSvrMgr.AcctMgr";
inline constexpr const char* kBillUseInfo = "T8MSmsManager.clsBillUseInfo";
// The foundation library's template-filling object, known by its interface.
inline constexpr const char* kFormatter = "ZelBase.StringFormatter";
inline constexpr const char* kFormatterInterfaceId = "{09AFE6F2-5BDB-11D1-9C2A-127658000000}";
// The component's public classes.
inline constexpr const char* kDatasInfo = "WayfindInfo.DatasInfo";
inline constexpr const char* kDatasUpdate = "WayfindInfo.DatasUpdate";
inline constexpr const char* kApplication = "WayfindInfo.Application";
}  // namespace wayfind::erp::progid
