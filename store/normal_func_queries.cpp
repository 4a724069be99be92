#include "store/normal_func_queries.h"

#include <exception>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_info.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"
#include "store/codes.h"
#include "store/data_info.h"

namespace wayfind::store {

using platform::Variant;

namespace {

std::shared_ptr<erp::api::IServerDatasInfo> createInfoServer() {
  return erp::api::newServerDatasInfo();
}

// ERP components raise AutomationError; anything else (a plain C++ failure) is
// given the same shape so callers see one kind of error.
platform::AutomationError asAutomationError(std::exception_ptr failure) {
  return platform::asAutomationError(failure, erp::progid::kServerDatasInfo);
}

}  // namespace

Variant GetNormalFuncGroup() {
  try {
    const std::string props = context::PropsString();
    auto server = createInfoServer();
    return server->GetNormalFuncGroup(props);
  } catch (...) {
    const auto failure = asAutomationError(std::current_exception());
    throw platform::AutomationError(
        platform::err::kInvalidProcedureCall, failure.source(),
        context::GetLangText("获取常用功能组失败。") + "\r\n" +
            context::FormatLangText("失败原因：%1", {Variant(failure.description())}));
  }
}

platform::RecordsetPtr GetDetailNormalFunc(int32_t lngGroupID) {
  try {
    auto& data = DataInfo::instance();
    data.acctTypeCode = GetAcctTypeCode();
    const std::string props = context::PropsString();
    auto server = createInfoServer();
    int32_t group = lngGroupID;
    Variant answer = server->GetDetailNormalFunc(props, group);
    if (answer.isEmpty() || (answer.isObject() && !answer.asObject())) return platform::RecordsetPtr();
    auto rs = answer.objectAs<platform::Recordset>();
    if (!rs) platform::raise(platform::err::kTypeMismatch, erp::progid::kServerDatasInfo);
    return rs;
  } catch (const platform::AutomationError&) {
    throw;
  } catch (...) {
    throw asAutomationError(std::current_exception());
  }
}

}  // namespace wayfind::store
