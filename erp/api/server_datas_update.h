// "ZelWayfind.DatasUpdate": the middle tier's update component. Every method takes
// PropsString first and the caller's arguments after it, by reference: what the
// server leaves in them is what the caller sees. A null DictionaryPtr stands for an
// optional dictionary that was not passed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/object.h"
#include "platform/automation/registry.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"

namespace wayfind::erp::api {

// The key of the read list in the info item of ReplaceNormalList's vector.
inline constexpr const char* kReadListKey = "ReadList";

class IServerDatasUpdate : public platform::Object {
 public:
  using Dict = platform::DictionaryPtr;
  using Vect = platform::VectorPtr;
  using Props = std::string;

  virtual void RefreshSubFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll, bool& blnTemplate) = 0;
  virtual void RefreshDetailFunc(const Props& p, int32_t& lSubSystemID, Vect& oVect, bool& bDelAll, bool& blnTemplate) = 0;
  virtual platform::Variant CreateDetailFunc(const Props& p, int32_t& lSubFuncID, int32_t& lIndex, Dict& oDict, bool& blnTemplate) = 0;
  virtual platform::Variant CreateSubFunc(const Props& p, int32_t& lSubSystemID, int32_t& lIndex, Dict& oDict, bool& blnTemplate) = 0;
  virtual void ReFreshStatus(const Props& p, int32_t& lSubFuncID, int32_t& lStatus) = 0;
  virtual void ClearNormalList(const Props& p, int32_t& lFuncGroupID) = 0;
  virtual platform::Variant AddNormalFuncGroup(const Props& p, std::string& strFuncGroupName, std::string& strShowName) = 0;
  virtual platform::Variant DelNormalFuncGroup(const Props& p, int32_t& lngGroupID) = 0;
  virtual platform::Variant UpdateNormalFuncGroup(const Props& p, int32_t& lngGroupID, std::string& strName) = 0;
  virtual platform::Variant AppendNormalItem(const Props& p, int32_t& lngFuncID, std::string& strHelpCode,
                                             std::string& strShowName, std::string& strFuncName, int32_t& lngGroupID) = 0;
  // Replaces a group's whole list in one change: afterwards the group holds every
  // row of oVect in its order, or, when anything fails, the list it held before.
  // Each item of oVect is a dictionary with "FDetailFuncID", "FHelpCode",
  // "FShowName" and "FFuncName", taken as AppendNormalItem takes its arguments;
  // group -1 as there. Answers true; the group used comes back in lngGroupID.
  // A server that does not offer it raises 438, as a late-bound call of a missing
  // method does.
  // A window that read the list may add one more item: a dictionary holding,
  // under kReadListKey, the list as it read it (a vector of dictionaries with
  // "FDetailFuncID", "FHelpCode", "FShowName" in list order). The server then
  // stores only what the window changed against that list and leaves what
  // another user changed meanwhile; what both changed differently stays theirs
  // and is listed in that same dictionary (save_conflicts.h).
  virtual platform::Variant ReplaceNormalList(const Props& p, int32_t& lngGroupID, Vect& oVect);
  // The four node updates: the node's identifier, its field values keyed by field
  // name, a Boolean that is always false from the component, and the optional info.
  virtual void UpdateTopClass(const Props& p, int32_t& lngTopClassID, Dict& dict, bool blnTemplate, Dict& dctInfo) = 0;
  virtual void UpdateSystemFunc(const Props& p, int32_t& lngSystemID, Dict& dict, bool blnTemplate, Dict& dctInfo) = 0;
  virtual void UpdateSubSysFunc(const Props& p, int32_t& lngSubFuncID, Dict& dict, bool blnTemplate, Dict& dctInfo) = 0;
  virtual void UpdateDetailFuncAttr(const Props& p, int32_t& lngDetailID, Dict& dict, bool blnTemplate, Dict& dctInfo) = 0;
  virtual void SetProfileValue(const Props& p, std::string& strName, std::string& strValue) = 0;
  // Several settings in one change, all or none: values holds each setting by
  // name and, under "Read" (a dictionary), the values the window read for them
  // (as GetProfileValue answered). A setting someone else changed meanwhile, to
  // something other than the window's value, is left as stored and listed in
  // dctInfo (save_conflicts.h); one without a read value is written as sent.
  virtual void SetProfileValues(const Props& p, Dict& values, Dict& dctInfo);
  // The calling user's record of started functions (nav::FunctionUse's text,
  // the setting nav::kFunctionUseSetting), read from the database: it changes
  // without a new version of the user's data, so the loaded tables may hold an
  // older one.
  virtual std::string GetFunctionUse(const Props& p);
  // Counts one start of the function in that record, in one change that leaves
  // the user's version as it was (the tree did not change); answers the record.
  virtual std::string RecordFunctionUse(const Props& p, int32_t& lngDetailID);
  virtual void UpdateSysBaseData(const Props& p) = 0;
  virtual void SetUnInsSys(const Props& p) = 0;
  virtual void RefreshActivFunc(const Props& p) = 0;
  virtual platform::Variant CreateSubSys(const Props& p, int32_t& lTopClassID, int32_t& lIndex, Dict& oDict, bool& blnTemplate) = 0;
  virtual platform::Variant CreateTopClass(const Props& p, int32_t& lIndex, Dict& oDict, bool& blnTemplate) = 0;
  virtual void DeleteItem(const Props& p, int32_t& lBase, int32_t& lID, bool& blnTemplate) = 0;
  virtual void UpdateTopClassName(const Props& p, int32_t& lngTopClassID, std::string& sNewName) = 0;
  virtual void UpdateSystemFuncName(const Props& p, int32_t& lngSystemID, std::string& sNewName) = 0;
  virtual void UpdateSubSysFuncName(const Props& p, int32_t& lngSubFuncID, std::string& sNewName) = 0;
  virtual void UpdateAcctTypeName(const Props& p, int32_t& lngAcctID, std::string& sNewName) = 0;
  virtual void UpdateSystemHelpFile(const Props& p, int32_t& lngSystemID, std::string& sFileName) = 0;
  virtual void SetDefault(const Props& p) = 0;
  virtual platform::Variant IsReFreshBaseData(const Props& p, int32_t& lngSystemID) = 0;
  virtual void ImportUserData(const Props& p, Dict& dict) = 0;
  // Applies the customisation of the template user (dctInfo "TemplateUserID", or the
  // caller) to exactly the listed users. An empty vector means every user only
  // when dctInfo names no template user; with one, it means nobody. When dctInfo
  // holds the rows a save for the template user recorded (kAppliedRowsKey), the
  // users get those rows and nothing else; without them, the template user's whole
  // setup. oVect comes back as the users applied to.
  virtual void ApplyAllUser(const Props& p, Vect& oVect, Dict& dctInfo) = 0;
};

// The key of a save's info dictionary under which a save for a template user
// records the rows it stored, for ApplyAllUser to give the others.
inline constexpr const char* kAppliedRowsKey = "AppliedRows";

inline void IServerDatasUpdate::SetProfileValues(const Props&, Dict&, Dict&) {
  platform::raise(platform::err::kNoSuchMethod, "ZelWayfind.DatasUpdate");
}

inline std::string IServerDatasUpdate::GetFunctionUse(const Props&) {
  platform::raise(platform::err::kNoSuchMethod, "ZelWayfind.DatasUpdate");
}

inline std::string IServerDatasUpdate::RecordFunctionUse(const Props&, int32_t&) {
  platform::raise(platform::err::kNoSuchMethod, "ZelWayfind.DatasUpdate");
}

inline platform::Variant IServerDatasUpdate::ReplaceNormalList(const Props&, int32_t&, Vect&) {
  platform::raise(platform::err::kNoSuchMethod, "ZelWayfind.DatasUpdate");
}

// A new "ZelWayfind.DatasUpdate" as the registry makes it (the ERP's middle tier registers it).
inline std::shared_ptr<IServerDatasUpdate> newServerDatasUpdate() {
  return platform::Registry::instance().createAs<IServerDatasUpdate>(progid::kServerDatasUpdate);
}

}  // namespace wayfind::erp::api
