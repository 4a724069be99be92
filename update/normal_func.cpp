#include "update/normal_func.h"

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "store/normal_func_queries.h"
#include "update/group_chooser.h"
#include "update/server_call.h"

namespace wayfind::update {

using platform::Variant;

namespace {

// Appending through the server: every argument by reference, the answer as a
// Boolean; a failing call answers false, or with raising, reaches the caller.
bool appendThroughServer(int32_t funcId, const std::string& helpCode, const std::string& showName,
                         const std::string& funcName, int32_t groupId, bool raising) {
  bool result = false;
  auto call = [&] {
    int32_t id = funcId, group = groupId;
    std::string code = helpCode, show = showName, name = funcName;
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    result = platform::CBool(server->AppendNormalItem(props, id, code, show, name, group));
  };
  if (raising) {
    reportFailure(call);
  } else {
    discardFailure(call);
  }
  return result;
}

bool appendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                      const std::string& strFuncName, const Variant& lngGroupID, bool raising) {
  // Creating the query object loads the navigation tables when a slot is empty.
  store::DatasInfo info;
  const bool noGroup = !lngGroupID.isEmpty() && !lngGroupID.isNull() && platform::CLng(lngGroupID) == -1;
  if (!noGroup)
    return appendThroughServer(lngFuncID, strHelpCode, strShowName, strFuncName, platform::CLng(lngGroupID),
                               raising);

  Variant groups = store::GetNormalFuncGroup();
  auto rs = groups.objectAs<platform::Recordset>();
  if (rs && rs->RecordCount() > 1) {
    std::vector<GroupChoice> choices;
    for (; !rs->isEOF(); rs->MoveNext()) {
      // A group without a name lists as empty text.
      choices.push_back({platform::CLng(rs->value("FFuncGroupID")), platform::fieldText(*rs, "FFuncGroupName")});
    }
    auto chooser = groupChooser();
    const int32_t chosen = chooser ? chooser->choose(choices) : -1;
    if (chosen == -1) return false;
    return appendThroughServer(lngFuncID, strHelpCode, strShowName, strFuncName, chosen, raising);
  }
  return appendThroughServer(lngFuncID, strHelpCode, strShowName, strFuncName, -1, raising);
}

}  // namespace

void ClearNormalList(int32_t lFuncGroupID) {
  reportFailure([&] {
    int32_t group = lFuncGroupID;
    const std::string props = context::PropsString();
    createUpdateServer()->ClearNormalList(props, group);
  });
}

void ReplaceNormalList(int32_t lngGroupID, const platform::VectorPtr& rows) {
  reportFailure([&] {
    int32_t group = lngGroupID;
    platform::VectorPtr list = rows ? rows : std::make_shared<platform::Vector>();
    const std::string props = context::PropsString();
    createUpdateServer()->ReplaceNormalList(props, group, list);
  });
}

bool AddNormalFuncGroup(const std::string& strFuncGroupName, const std::string& strShowName) {
  return reportFailure([&] {
    std::string name = strFuncGroupName, show = strShowName;
    const std::string props = context::PropsString();
    return platform::CBool(createUpdateServer()->AddNormalFuncGroup(props, name, show));
  });
}

Variant DelNormalFuncGroup(int32_t lngGroupID) {
  return reportFailure([&] {
    int32_t group = lngGroupID;
    const std::string props = context::PropsString();
    return Variant(platform::CBool(createUpdateServer()->DelNormalFuncGroup(props, group)));
  });
}

Variant UpdateNormalFuncGroup(int32_t lngGroupID, const std::string& strName) {
  return reportFailure([&] {
    int32_t group = lngGroupID;
    std::string name = strName;
    const std::string props = context::PropsString();
    return createUpdateServer()->UpdateNormalFuncGroup(props, group, name);
  });
}

bool AppendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                      const std::string& strFuncName, const Variant& lngGroupID) {
  return appendNormalItem(lngFuncID, strHelpCode, strShowName, strFuncName, lngGroupID, false);
}

bool AppendNormalItemTellingWhy(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                                const std::string& strFuncName, const Variant& lngGroupID) {
  return appendNormalItem(lngFuncID, strHelpCode, strShowName, strFuncName, lngGroupID, true);
}

}  // namespace wayfind::update
