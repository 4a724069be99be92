// A GoogleMock stand-in for the middle tier's update component.
#pragma once

#include <gmock/gmock.h>

#include "erp/api/server_datas_update.h"

namespace wayfind::fakes {

using platform::Variant;
using Dict = platform::DictionaryPtr;
using Vect = platform::VectorPtr;
using Props = std::string;

class MockUpdateServer : public erp::api::IServerDatasUpdate {
 public:
  MOCK_METHOD(void, RefreshSubFunc, (const Props&, int32_t&, Vect&, bool&, bool&), (override));
  MOCK_METHOD(void, RefreshDetailFunc, (const Props&, int32_t&, Vect&, bool&, bool&), (override));
  MOCK_METHOD(Variant, CreateDetailFunc, (const Props&, int32_t&, int32_t&, Dict&, bool&), (override));
  MOCK_METHOD(Variant, CreateSubFunc, (const Props&, int32_t&, int32_t&, Dict&, bool&), (override));
  MOCK_METHOD(void, ReFreshStatus, (const Props&, int32_t&, int32_t&), (override));
  MOCK_METHOD(void, ClearNormalList, (const Props&, int32_t&), (override));
  MOCK_METHOD(Variant, AddNormalFuncGroup, (const Props&, std::string&, std::string&), (override));
  MOCK_METHOD(Variant, DelNormalFuncGroup, (const Props&, int32_t&), (override));
  MOCK_METHOD(Variant, UpdateNormalFuncGroup, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(Variant, AppendNormalItem,
              (const Props&, int32_t&, std::string&, std::string&, std::string&, int32_t&), (override));
  MOCK_METHOD(void, UpdateTopClass, (const Props&, int32_t&, Dict&, bool, Dict&), (override));
  MOCK_METHOD(void, UpdateSystemFunc, (const Props&, int32_t&, Dict&, bool, Dict&), (override));
  MOCK_METHOD(void, UpdateSubSysFunc, (const Props&, int32_t&, Dict&, bool, Dict&), (override));
  MOCK_METHOD(void, UpdateDetailFuncAttr, (const Props&, int32_t&, Dict&, bool, Dict&), (override));
  MOCK_METHOD(void, SetProfileValue, (const Props&, std::string&, std::string&), (override));
  MOCK_METHOD(void, SetProfileValues, (const Props&, Dict&, Dict&), (override));
  MOCK_METHOD(void, UpdateSysBaseData, (const Props&), (override));
  MOCK_METHOD(void, SetUnInsSys, (const Props&), (override));
  MOCK_METHOD(void, RefreshActivFunc, (const Props&), (override));
  MOCK_METHOD(Variant, CreateSubSys, (const Props&, int32_t&, int32_t&, Dict&, bool&), (override));
  MOCK_METHOD(Variant, CreateTopClass, (const Props&, int32_t&, Dict&, bool&), (override));
  MOCK_METHOD(void, DeleteItem, (const Props&, int32_t&, int32_t&, bool&), (override));
  MOCK_METHOD(void, UpdateTopClassName, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(void, UpdateSystemFuncName, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(void, UpdateSubSysFuncName, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(void, UpdateAcctTypeName, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(void, UpdateSystemHelpFile, (const Props&, int32_t&, std::string&), (override));
  MOCK_METHOD(void, SetDefault, (const Props&), (override));
  MOCK_METHOD(Variant, IsReFreshBaseData, (const Props&, int32_t&), (override));
  MOCK_METHOD(void, ImportUserData, (const Props&, Dict&), (override));
  MOCK_METHOD(void, ApplyAllUser, (const Props&, Vect&, Dict&), (override));
};

}  // namespace wayfind::fakes
