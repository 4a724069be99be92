// "ZelWayfind.DatasUpdate" on the ERP's database (SQLite or PostgreSQL): every change the navigation
// component sends — a user's own rows of the tree, custom items, the console
// profile, the favourites groups, template files, applying one user's
// customisation to others — and the upkeep of the company template and its
// refresh flags. docs/middle-tier.md ("ZelWayfind.DatasUpdate") says what each
// method does.
//
// Every method that changes something runs in one write transaction (a change of
// the caller's own rows serialises with that user's other changes and with the
// handing out of identifiers; one that may touch other users or the template
// holds the whole database: storage::WriteLock) and bumps the revision of what
// it changed: the caller's (or each target user's) when their navigation rows or
// profile changed, the template's when the template changed. A refused call
// (error 5, source "ZelWayfind.DatasUpdate") changes nothing.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "erp/api/server_datas_update.h"

namespace wayfind::erp::middletier {

class ServerDatasUpdate : public api::IServerDatasUpdate {
 public:
  explicit ServerDatasUpdate(std::filesystem::path database = {});

  void RefreshSubFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll, bool& blnTemplate) override;
  void RefreshDetailFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll, bool& blnTemplate) override;
  platform::Variant CreateDetailFunc(const Props& p, int32_t& lSubFuncID, int32_t& lIndex, Dict& oDict,
                                     bool& blnTemplate) override;
  platform::Variant CreateSubFunc(const Props& p, int32_t& lSubSystemID, int32_t& lIndex, Dict& oDict,
                                  bool& blnTemplate) override;
  void ReFreshStatus(const Props& p, int32_t& lSubFuncID, int32_t& lStatus) override;
  void ClearNormalList(const Props& p, int32_t& lFuncGroupID) override;
  platform::Variant AddNormalFuncGroup(const Props& p, std::string& strFuncGroupName, std::string& strShowName) override;
  platform::Variant DelNormalFuncGroup(const Props& p, int32_t& lngGroupID) override;
  platform::Variant UpdateNormalFuncGroup(const Props& p, int32_t& lngGroupID, std::string& strName) override;
  platform::Variant AppendNormalItem(const Props& p, int32_t& lngFuncID, std::string& strHelpCode,
                                     std::string& strShowName, std::string& strFuncName, int32_t& lngGroupID) override;
  platform::Variant ReplaceNormalList(const Props& p, int32_t& lngGroupID, Vect& oVect) override;
  void UpdateTopClass(const Props& p, int32_t& lngTopClassID, Dict& dict, bool blnTemplate, Dict& dctInfo) override;
  void UpdateSystemFunc(const Props& p, int32_t& lngSystemID, Dict& dict, bool blnTemplate, Dict& dctInfo) override;
  void UpdateSubSysFunc(const Props& p, int32_t& lngSubFuncID, Dict& dict, bool blnTemplate, Dict& dctInfo) override;
  void UpdateDetailFuncAttr(const Props& p, int32_t& lngDetailID, Dict& dict, bool blnTemplate, Dict& dctInfo) override;
  void SetProfileValue(const Props& p, std::string& strName, std::string& strValue) override;
  void SetProfileValues(const Props& p, Dict& values, Dict& dctInfo) override;
  std::string GetFunctionUse(const Props& p) override;                           // datas_update_use.cpp
  std::string RecordFunctionUse(const Props& p, int32_t& lngDetailID) override;
  void UpdateSysBaseData(const Props& p) override;
  void SetUnInsSys(const Props& p) override;
  void RefreshActivFunc(const Props& p) override;
  platform::Variant CreateSubSys(const Props& p, int32_t& lTopClassID, int32_t& lIndex, Dict& oDict,
                                 bool& blnTemplate) override;
  platform::Variant CreateTopClass(const Props& p, int32_t& lIndex, Dict& oDict, bool& blnTemplate) override;
  void DeleteItem(const Props& p, int32_t& lBase, int32_t& lID, bool& blnTemplate) override;
  void UpdateTopClassName(const Props& p, int32_t& lngTopClassID, std::string& sNewName) override;
  void UpdateSystemFuncName(const Props& p, int32_t& lngSystemID, std::string& sNewName) override;
  void UpdateSubSysFuncName(const Props& p, int32_t& lngSubFuncID, std::string& sNewName) override;
  void UpdateAcctTypeName(const Props& p, int32_t& lngAcctID, std::string& sNewName) override;
  void UpdateSystemHelpFile(const Props& p, int32_t& lngSystemID, std::string& sFileName) override;
  void SetDefault(const Props& p) override;
  platform::Variant IsReFreshBaseData(const Props& p, int32_t& lngSystemID) override;
  void ImportUserData(const Props& p, Dict& dict) override;
  void ApplyAllUser(const Props& p, Vect& oVect, Dict& dctInfo) override;

  static constexpr const char* kSource = "ZelWayfind.DatasUpdate";

 private:
  void updateNode(int level, const Props& p, int32_t id, const Dict& dict, bool blnTemplate, const char* method,
                  const Dict& dctInfo = nullptr);
  platform::Variant createNode(int level, const Props& p, int32_t parentId, int32_t lIndex, Dict& oDict,
                               bool blnTemplate, const char* method);
  void refreshChildren(int level, const Props& p, int32_t subSystemId, Vect& oVect, bool bDelAll, bool blnTemplate,
                       const char* method);
  std::filesystem::path database_;
};

// Marks a template subsystem as installed or not (the ERP's installation tool
// sets it; SetUnInsSys and RefreshActivFunc act on it). Bumps nothing by itself.
void setSubSystemInstalled(const std::filesystem::path& database, int32_t subSysId, bool installed);

// Tests only: called at the checkpoints of every change, inside its transaction,
// with the method's name and the checkpoint's name ("write", "commit", ...). An
// exception thrown here aborts the change as any failure would. The last,
// "committed", comes once the change is stored and its locks are given back
// (an exception there reaches the caller; the change stays). Empty: none.
using ChangeFaultHook = std::function<void(std::string_view method, std::string_view point)>;
void setChangeFaultHookForTesting(ChangeFaultHook hook);

}  // namespace wayfind::erp::middletier
