// DatasUpdate: the public class through which the host and the editors change the
// navigation tree, the favourites groups and the user's settings. It validates and
// computes nothing: every method creates the middle tier's update component, calls
// the method of the same name with PropsString in front of the caller's arguments,
// and hands back what the server answered. Each method follows one of three
// failure policies that callers rely on:
//   discarded  - the failure is dropped: success, result 0 or empty, replaced
//                objects keep what the caller passed;
//   reported   - the server's error reaches the caller as it was raised;
//   re-raised  - the same number, source and description, without help file and
//                help context.
// None of these touches the in-memory navigation tables; a change shows once the
// tables are loaded again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "erp/api/progids.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"

namespace wayfind::update {

class DatasUpdate : public platform::Object, public platform::Dispatchable {
 public:
  static constexpr const char* kProgId = erp::progid::kDatasUpdate;
  static constexpr const char* kClassId = "{2CC24DDF-0533-46B5-A809-C22F5EFC97C4}";
  static constexpr const char* kInterfaceId = "{C7619856-A3BA-4FA5-A25F-97482B995004}";
  static constexpr const char* kTypeLibraryId = "{861750A3-D732-486B-AC83-1E29204D1671}";
  static constexpr int kTypeLibraryMajor = 9;
  static constexpr int kTypeLibraryMinor = 0;

  using Dict = platform::DictionaryPtr;
  using Vect = platform::VectorPtr;

  DatasUpdate() = default;
  ~DatasUpdate() override;  // leaves the navigation tables in memory

  // An omitted optional by-reference argument is a null pointer.
  void RefreshSubFunc(int32_t& lSubSystemID, Vect& oVect, bool* bDelAll = nullptr, bool blnTemplate = true);
  void RefreshDetailFunc(int32_t& lSubSystemID, Vect& oVect, bool* bDelAll = nullptr, bool blnTemplate = true);
  void CreateDetailFunc(int32_t& lSubFuncID, int32_t& lIndex, Dict& oDict, bool blnTemplate = false);
  int32_t CreateSubFunc(int32_t& lSubSystemID, int32_t& lIndex, Dict& oDict, bool blnTemplate = false);
  void ReFreshStatus(int32_t& lSubFuncID, int32_t& lStatus);
  void ClearNormalList(int32_t lFuncGroupID = -1);
  bool AddNormalFuncGroup(const std::string& strFuncGroupName, const std::string& strShowName = {});
  platform::Variant DelNormalFuncGroup(int32_t lngGroupID);
  platform::Variant UpdateNormalFuncGroup(int32_t lngGroupID, const std::string& strName);
  bool AppendNormalItem(int32_t lngFuncID, const std::string& strHelpCode, const std::string& strShowName,
                        const std::string& strFuncName, const platform::Variant& lngGroupID);
  platform::Variant UpdateTopClass(int32_t lngTopClassID, Dict& dict, const Dict& dctInfo = nullptr);
  platform::Variant UpdateSystemFunc(int32_t lngSystemID, Dict& dict, const Dict& dctInfo = nullptr);
  platform::Variant UpdateSubSysFunc(int32_t lngSubFuncID, Dict& dict, const Dict& dctInfo = nullptr);
  platform::Variant UpdateDetailFuncAttr(int32_t lngDetailID, Dict& dict, const Dict& dctInfo = nullptr);
  void SetProfileValue(const std::string& strName, const std::string& strValue);
  void UpdateSysBaseData();
  platform::Variant SetUnInsSys();
  void RefreshActivFunc();
  int32_t CreateSubSys(int32_t& lTopClassID, int32_t& lIndex, Dict& oDict, bool blnTemplate = false);
  int32_t CreateTopClass(int32_t& lIndex, Dict& oDict, bool blnTemplate = false);
  void DeleteItem(int32_t& lBase, int32_t& lID, bool blnTemplate = false);
  void UpdateTopClassName(int32_t lngTopClassID, std::string& sNewName);
  void UpdateSystemFuncName(int32_t lngSystemID, std::string& sNewName);
  void UpdateSubSysFuncName(int32_t lngSubFuncID, std::string& sNewName);
  void UpdateAcctTypeName(int32_t lngAcctID, std::string& sNewName);
  void UpdateSystemHelpFile(int32_t lngSystemID, std::string& sFileName);
  void SetDefault();
  void Import(const platform::Variant& sFile);
  // Replaces a group's list in one change (the favourites editor's save); failures
  // are reported. Kept after Import so the earlier slots keep their places.
  void ReplaceNormalList(int32_t lngGroupID, const Vect& oVect);
  // Writes several of the user's settings in one change against the values the
  // window read ("Read" in values); settings another user changed meanwhile come
  // back in dctInfo (erp/api/save_conflicts.h). Failures are re-raised. Kept
  // last so the earlier slots keep their places.
  void SetProfileValues(const Dict& values, const Dict& dctInfo);

  // Late-bound face: every method above by name, in slot order.
  platform::Variant invoke(std::string_view name, platform::Args& args) override;
  std::vector<std::string> methodNames() const override;
};

// Registers DatasUpdate under its ProgID and class identifier.
void registerDatasUpdate();
// A new "WayfindInfo.DatasUpdate" as the registry makes it.
std::shared_ptr<DatasUpdate> newDatasUpdate();

}  // namespace wayfind::update
