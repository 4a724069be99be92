#include "update/datas_update.h"

#include "context/login_props.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/events/do_events.h"
#include "store/data_info.h"
#include "store/template_files.h"
#include "update/normal_func.h"
#include "update/server_call.h"

namespace wayfind::update {

using platform::Variant;

DatasUpdate::~DatasUpdate() { store::ReleaseTables(false); }

namespace {

// The refresh methods hand the server a copy of the caller's vector reference and
// give the caller whatever the server left in the copy.
template <class Method>
void refresh(Method method, int32_t& lSubSystemID, platform::VectorPtr& oVect, bool* bDelAll, bool blnTemplate) {
  platform::doEvents();
  discardFailure([&] {
    bool delAllLocal = true;
    bool& delAll = bDelAll ? *bDelAll : delAllLocal;
    auto copy = oVect;
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    ((*server).*method)(props, lSubSystemID, copy, delAll, blnTemplate);
    oVect = copy;
  });
}

// The four node updates: dict is replaced, dctInfo passed as a copy and never
// replaced, the Boolean is always false; failures are re-raised; the result is
// always Empty.
template <class Method>
Variant updateNode(Method method, int32_t id, platform::DictionaryPtr& dict, const platform::DictionaryPtr& dctInfo) {
  reraiseFailure([&] {
    auto copy = dict;
    auto info = dctInfo;
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    ((*server).*method)(props, id, copy, false, info);
    dict = copy;
  });
  return Variant();
}

template <class Method>
void updateName(Method method, int32_t id, std::string& text) {
  reraiseFailure([&] {
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    ((*server).*method)(props, id, text);
  });
}

template <class Method>
void noArgumentCall(Method method) {
  discardFailure([&] {
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    ((*server).*method)(props);
  });
}

template <class F>
int32_t createNode(F&& call, platform::DictionaryPtr& oDict) {
  int32_t result = 0;
  discardFailure([&] {
    auto copy = oDict;
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    Variant answer = call(*server, props, copy);
    int32_t converted = platform::CLng(answer);
    oDict = copy;
    result = converted;
  });
  return result;
}

}  // namespace

using Server = erp::api::IServerDatasUpdate;

void DatasUpdate::RefreshSubFunc(int32_t& lSubSystemID, Vect& oVect, bool* bDelAll, bool blnTemplate) {
  refresh(&Server::RefreshSubFunc, lSubSystemID, oVect, bDelAll, blnTemplate);
}

void DatasUpdate::RefreshDetailFunc(int32_t& lSubSystemID, Vect& oVect, bool* bDelAll, bool blnTemplate) {
  refresh(&Server::RefreshDetailFunc, lSubSystemID, oVect, bDelAll, blnTemplate);
}

void DatasUpdate::CreateDetailFunc(int32_t& lSubFuncID, int32_t& lIndex, Dict& oDict, bool blnTemplate) {
  platform::doEvents();
  discardFailure([&] {
    auto copy = oDict;
    const std::string props = context::PropsString();
    auto server = createUpdateServer();
    server->CreateDetailFunc(props, lSubFuncID, lIndex, copy, blnTemplate);
    oDict = copy;
  });
}

int32_t DatasUpdate::CreateSubFunc(int32_t& lSubSystemID, int32_t& lIndex, Dict& oDict, bool blnTemplate) {
  platform::doEvents();
  return createNode([&](Server& s, const std::string& p, Dict& d) {
    return s.CreateSubFunc(p, lSubSystemID, lIndex, d, blnTemplate);
  }, oDict);
}

void DatasUpdate::ReFreshStatus(int32_t& lSubFuncID, int32_t& lStatus) {
  discardFailure([&] {
    const std::string props = context::PropsString();
    createUpdateServer()->ReFreshStatus(props, lSubFuncID, lStatus);
  });
}

void DatasUpdate::ClearNormalList(int32_t lFuncGroupID) { update::ClearNormalList(lFuncGroupID); }

bool DatasUpdate::AddNormalFuncGroup(const std::string& strFuncGroupName, const std::string& strShowName) {
  return update::AddNormalFuncGroup(strFuncGroupName, strShowName);
}

Variant DatasUpdate::DelNormalFuncGroup(int32_t lngGroupID) { return update::DelNormalFuncGroup(lngGroupID); }

Variant DatasUpdate::UpdateNormalFuncGroup(int32_t lngGroupID, const std::string& strName) {
  return update::UpdateNormalFuncGroup(lngGroupID, strName);
}

void DatasUpdate::ReplaceNormalList(int32_t lngGroupID, const Vect& oVect) {
  update::ReplaceNormalList(lngGroupID, oVect);
}

bool DatasUpdate::AppendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                                   const std::string& strFuncName, const Variant& lngGroupID) {
  return update::AppendNormalItem(lngFuncID, strHelpCode, strShowName, strFuncName, lngGroupID);
}

Variant DatasUpdate::UpdateTopClass(int32_t id, Dict& dict, const Dict& dctInfo) {
  return updateNode(&Server::UpdateTopClass, id, dict, dctInfo);
}
Variant DatasUpdate::UpdateSystemFunc(int32_t id, Dict& dict, const Dict& dctInfo) {
  return updateNode(&Server::UpdateSystemFunc, id, dict, dctInfo);
}
Variant DatasUpdate::UpdateSubSysFunc(int32_t id, Dict& dict, const Dict& dctInfo) {
  return updateNode(&Server::UpdateSubSysFunc, id, dict, dctInfo);
}
Variant DatasUpdate::UpdateDetailFuncAttr(int32_t id, Dict& dict, const Dict& dctInfo) {
  return updateNode(&Server::UpdateDetailFuncAttr, id, dict, dctInfo);
}

void DatasUpdate::SetProfileValue(const std::string& strName, const std::string& strValue) {
  reraiseFailure([&] {
    std::string name = strName, value = strValue;
    const std::string props = context::PropsString();
    createUpdateServer()->SetProfileValue(props, name, value);
  });
}

void DatasUpdate::SetProfileValues(const Dict& values, const Dict& dctInfo) {
  reraiseFailure([&] {
    auto sent = values;
    auto info = dctInfo;
    const std::string props = context::PropsString();
    createUpdateServer()->SetProfileValues(props, sent, info);
  });
}

void DatasUpdate::UpdateSysBaseData() { noArgumentCall(&Server::UpdateSysBaseData); }
Variant DatasUpdate::SetUnInsSys() {
  noArgumentCall(&Server::SetUnInsSys);
  return Variant();
}
void DatasUpdate::RefreshActivFunc() { noArgumentCall(&Server::RefreshActivFunc); }
void DatasUpdate::SetDefault() { noArgumentCall(&Server::SetDefault); }

int32_t DatasUpdate::CreateSubSys(int32_t& lTopClassID, int32_t& lIndex, Dict& oDict, bool blnTemplate) {
  return createNode([&](Server& s, const std::string& p, Dict& d) {
    return s.CreateSubSys(p, lTopClassID, lIndex, d, blnTemplate);
  }, oDict);
}

int32_t DatasUpdate::CreateTopClass(int32_t& lIndex, Dict& oDict, bool blnTemplate) {
  return createNode([&](Server& s, const std::string& p, Dict& d) {
    return s.CreateTopClass(p, lIndex, d, blnTemplate);
  }, oDict);
}

void DatasUpdate::DeleteItem(int32_t& lBase, int32_t& lID, bool blnTemplate) {
  discardFailure([&] {
    const std::string props = context::PropsString();
    createUpdateServer()->DeleteItem(props, lBase, lID, blnTemplate);
  });
}

void DatasUpdate::UpdateTopClassName(int32_t id, std::string& s) { updateName(&Server::UpdateTopClassName, id, s); }
void DatasUpdate::UpdateSystemFuncName(int32_t id, std::string& s) { updateName(&Server::UpdateSystemFuncName, id, s); }
void DatasUpdate::UpdateSubSysFuncName(int32_t id, std::string& s) { updateName(&Server::UpdateSubSysFuncName, id, s); }
void DatasUpdate::UpdateAcctTypeName(int32_t id, std::string& s) { updateName(&Server::UpdateAcctTypeName, id, s); }
void DatasUpdate::UpdateSystemHelpFile(int32_t id, std::string& s) { updateName(&Server::UpdateSystemHelpFile, id, s); }

void DatasUpdate::Import(const Variant& sFile) { store::Import(platform::CStr(sFile)); }

void registerDatasUpdate() {
  platform::Registry::instance().add(
      DatasUpdate::kProgId, [] { return std::make_shared<DatasUpdate>(); }, DatasUpdate::kClassId);
}

std::shared_ptr<DatasUpdate> newDatasUpdate() {
  return platform::Registry::instance().createAs<DatasUpdate>(DatasUpdate::kProgId);
}

}  // namespace wayfind::update
