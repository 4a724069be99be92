// Account-type code, help-code lookup, next index and id, and child test.
#include "store/codes.h"

#include <array>
#include <utility>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_info.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/levels.h"
#include "store/data_info.h"
#include "store/store_errors.h"

namespace wayfind::store {

namespace {

using erp::api::IServerDatasInfo;

std::shared_ptr<IServerDatasInfo> serverDatasInfo() {
  return erp::api::newServerDatasInfo();
}

// Setup types in upper case and their codes, in the order they are tried.
constexpr std::array<std::pair<const char*, int32_t>, 17> kSetupTypes = {{
    {"INDUSTRY", 1}, {"COMMERCE", 2}, {"GYWL", 3},   {"SYWL", 4},   {"QYKJ", 5},   {"GRCW", 6},
    {"ZFKJ", 7},     {"TGZT", 8},     {"RLZY", 9},   {"DZHY", 10},  {"YYHY", 11},  {"GMPHY", 12},
    {"FDCHY", 13},   {"YHHY", 14},    {"ZQHY", 15},  {"WMHY", 16},  {"XTHY", 17},
}};

// True when the user table has a row under filter.
bool anyRow(const platform::RecordsetPtr& table, const char* slotName, const std::string& filter) {
  if (!table) raiseNotSet(slotName);
  table->setFilter(filter);
  return !table->isEOF();
}

}  // namespace

int32_t AcctTypeCodeOf(const std::string& setupType) {
  const std::string upper = platform::toUpperAscii(setupType);
  for (const auto& [name, code] : kSetupTypes) {
    if (upper == name) return code;
  }
  return 1;
}

int32_t GetAcctTypeCode() {
  auto& store = DataInfo::instance();
  const std::string setupType = context::SetupType();
  if (store.acctTypeComputed && setupType == store.setupTypeText) return store.acctTypeCode;
  store.setupTypeText = setupType;
  store.acctTypeCode = AcctTypeCodeOf(setupType);
  store.acctTypeComputed = true;
  return store.acctTypeCode;
}

std::string QuoteFilterText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

platform::RecordsetPtr GetHelpCodeInfo(const std::string& sHelpCode) {
  try {
    std::string code = sHelpCode;
    platform::RecordsetPtr rs = serverDatasInfo()->GetHelpCodeInfo(context::PropsString(), code);
    if (!rs) raiseNotSet("help code rows");
    const std::string quoted = QuoteFilterText(sHelpCode);
    rs->setFilter("FHelpCode = '" + quoted + "' OR FHelpCode1 = '" + quoted + "'");
    return rs;
  } catch (const std::exception& e) {
    const auto* ae = dynamic_cast<const platform::AutomationError*>(&e);
    const std::string reason = ae ? ae->description() : std::string(e.what());
    platform::raise(platform::err::kInvalidProcedureCall, kStoreSource,
                    context::GetLangText("获取助记码信息失败。") + "\r\n" +
                        context::FormatLangText("失败原因：%1", {platform::Variant(reason)}));
  }
}

int32_t GetNextIndex(int32_t lType, int32_t lID) {
  try {
    return platform::CLng(serverDatasInfo()->GetNextIndex(context::PropsString(), lType, lID));
  } catch (...) {
    return 0;
  }
}

int32_t GetNextID(int32_t lType, int32_t lID) {
  try {
    return platform::CLng(serverDatasInfo()->GetNextID(context::PropsString(), lType, lID));
  } catch (...) {
    return 0;
  }
}

bool IsHasChild(int32_t lBase, int32_t lID) {
  EnsureLoaded();
  auto& user = DataInfo::instance().user;
  const std::string id = std::to_string(lID);
  switch (lBase) {
    case nav::kTopClassBase: return anyRow(user.SubSystem, "user SubSystem", "FTopClassID=" + id);
    case nav::kSubSystemBase: return anyRow(user.SubFunc, "user SubFunc", "FSubSysID=" + id);
    case nav::kSubFuncBase: return anyRow(user.DetailFunc, "user DetailFunc", "FSubFuncID=" + id);
    case nav::kDetailFuncBase: return false;
    default:
      platform::raise(platform::err::kInvalidProcedureCall, kStoreSource,
                      "Unknown level base " + std::to_string(lBase));
  }
}

}  // namespace wayfind::store
