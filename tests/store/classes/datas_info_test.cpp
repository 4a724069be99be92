// The public query class: one store shared by every object, the creation hook,
// call logging around the marked methods, and the late-bound face.
#include <gtest/gtest.h>

#include "../store_fixture.h"
#include "erp/api/logging.h"
#include "store/call_log.h"
#include "store/datas_info.h"

using namespace wayfind;
using namespace wayfind::storetest;
using platform::AutomationError;

namespace {

class RecordingLog : public erp::api::ILog {
 public:
  std::vector<std::string> entries;
  int32_t next = 100;
  Variant IsEnabled() override { return Variant(true); }
  Variant LogStart(std::string& name) override {
    entries.push_back("start " + name);
    return Variant(next++);
  }
  void LogEnd(int32_t& handle, int32_t& code) override {
    entries.push_back("end " + std::to_string(handle) + " " + std::to_string(code));
  }
};

class DatasInfoTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    templ() = emptyTemplate("T1");
    user() = emptyUserData("U1");
    addRow(tableOf(templ(), "TopClass"),
           {{"FTopClassID", Variant(1001)}, {"FTopClassName", Variant("财务会计")}, {"FAcctType", Variant("")},
            {"FIndex", Variant(1)}, {"FVisible", Variant(1)}});
    addRow(tableOf(templ(), "SubSystem"),
           {{"FSubSysID", Variant(100101)}, {"FTopClassID", Variant(1001)}, {"FName", Variant("总账")},
            {"FAcctType", Variant(",12,")}, {"FIndex", Variant(1)}, {"FVisible", Variant(1)}});
  }

  // Installs a recording logging component for the rest of the test.
  std::shared_ptr<RecordingLog> installLog() {
    auto log = std::make_shared<RecordingLog>();
    logReg = std::make_unique<platform::ScopedRegistration>(erp::progid::kLog, platform::sharedFactory(log));
    store::CallLogState::instance().reset();
    return log;
  }
  std::unique_ptr<platform::ScopedRegistration> logReg;
};

}  // namespace

TEST_F(DatasInfoTest, ObjectsShareOneStoreAndCreationLoadsOnlyWhenNeeded) {
  store::DatasInfo first;
  EXPECT_EQ(server->dictionaryCalls(), 2);
  {
    store::DatasInfo second;  // tables loaded: nothing fetched
    EXPECT_EQ(server->dictionaryCalls(), 2);
    EXPECT_EQ(server->templateVerCalls, 1);
  }
  EXPECT_FALSE(store::DataInfo::instance().anySlotEmpty());  // destroying keeps the tables

  store::DatasInfo other;
  other.SetIsBOSQuery(true);
  EXPECT_TRUE(first.IsBOSQuery());
  // With IsBOSQuery the subsystem reserved to code 12 is listed for code 1.
  EXPECT_EQ(ids(first.GetSubSystem(1001), "FSubSysID"), std::vector<int32_t>{100101});
  first.SetIsBOSQuery(false);
  EXPECT_TRUE(ids(other.GetSubSystem(1001), "FSubSysID").empty());
}

TEST_F(DatasInfoTest, ClearCacheOnOneObjectReloadsForAnother) {
  store::DatasInfo a, b;
  const int before = server->templateVerCalls;
  a.ClearCache();
  EXPECT_TRUE(store::DataInfo::instance().anySlotEmpty());
  EXPECT_EQ(ids(b.GetTopClass(), "FTopClassID"), std::vector<int32_t>{1001});
  EXPECT_EQ(server->templateVerCalls, before + 1);
}

TEST_F(DatasInfoTest, MarkedMethodsAreLoggedAndOthersAreNot) {
  store::DatasInfo info;
  auto log = installLog();
  info.GetTopClass();
  info.GetDetailFunc_All(5);
  info.GetProfileValue("RIGHT_ALIGN");
  ASSERT_EQ(log->entries.size(), 4u);
  EXPECT_EQ(log->entries[0], "start WayfindInfo.DatasInfo.GetTopClass");
  EXPECT_EQ(log->entries[1], "end 100 0");
  EXPECT_EQ(log->entries[2], "start WayfindInfo.DatasInfo.GetProfileValue");
  EXPECT_EQ(log->entries[3], "end 101 0");
}

TEST_F(DatasInfoTest, EveryMethodInSlotOrderIsLoggedOrNotAsMarked) {
  store::DatasInfo info;
  auto log = installLog();
  auto quietly = [](auto&& call) {
    try {
      call();
    } catch (const AutomationError&) {
      // Which entries a method writes is the point here, not its answer.
    }
  };
  DictionaryPtr dict;
  info.GetTopClass();
  info.GetTopClass_All();
  info.GetSubSystem(1001);
  info.GetSubSystem_All(1001);
  info.GetSubFunc(100101);
  info.GetSubFunc_All(100101);
  info.GetDetailFunc(5);
  info.GetDetailFunc_All(5);
  info.GetDetailFuncInfo(11);
  quietly([&] { info.GetHelpCodeInfo("PZ"); });
  quietly([&] { info.GetDetailNormalFunc(1); });
  info.IsRefresh(100101, 2, dict);
  info.GetSubSysClass(100101, 2);
  info.IsSetEnable(5, dict);
  info.GetSubSysName(11);
  info.GetProfileValue("RIGHT_ALIGN");
  info.GetAcctShowName("Industry");
  info.GetAcctInfo(0);
  info.GetSubSystemInfo(100101, dict);
  info.IsReFreshBaseData(100101);
  info.IsRefreshNode(100101, 2);
  info.GetNextIndex(3, 5);
  info.GetNextID(3, 5);
  info.IsHasChild(1000, 1001);
  quietly([&] { info.GetNormalFuncGroup(); });
  quietly([&] { info.Export((cacheDir.parent_path() / "export.dat").string()); });
  info.SetIsBOSQuery(info.IsBOSQuery());
  info.ClearCache();
  info.RegetDataInfo();
  info.Initial();

  std::vector<std::string> starts;
  for (const auto& entry : log->entries) {
    if (entry.rfind("start ", 0) == 0) starts.push_back(entry.substr(6));
  }
  const std::string c = "WayfindInfo.DatasInfo.";
  EXPECT_EQ(starts, (std::vector<std::string>{
                        c + "GetTopClass", c + "GetTopClass_All", c + "GetSubSystem", c + "GetSubSystem_All",
                        c + "GetSubFunc", c + "GetSubFunc_All", c + "GetDetailFunc", c + "GetSubSysClass",
                        c + "GetProfileValue", c + "GetAcctShowName", c + "GetSubSystemInfo",
                        "WayfindInfo.DataInfo.Initial", "WayfindInfo.DataInfo.Initial"}));
  EXPECT_EQ(log->entries.size(), 2 * starts.size()) << "every start has its end";
}

TEST_F(DatasInfoTest, AFailingQueryWritesNoEndEntryAndReturnsTheError) {
  auto log = installLog();
  platform::ScopedUnregistration noServer(erp::progid::kServerDataInfo);
  store::DatasInfo info;  // its creation hook fails quietly
  log->entries.clear();
  try {
    info.GetTopClass();
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kCantCreateObject);
  }
  ASSERT_FALSE(log->entries.empty());
  EXPECT_EQ(log->entries.front(), "start WayfindInfo.DatasInfo.GetTopClass");
  for (const auto& entry : log->entries) EXPECT_NE(entry.rfind("end ", 0), 0u) << entry;
}

TEST_F(DatasInfoTest, RefreshBaseDataIsTrueWhenTheServerFails) {
  platform::ScopedUnregistration noUpdate(erp::progid::kServerDatasUpdate);
  store::DatasInfo info;
  EXPECT_TRUE(info.IsReFreshBaseData(100101));
}

TEST_F(DatasInfoTest, LateBoundCallsByName) {
  store::DatasInfo info;
  platform::Args args{Variant("1001")};
  auto rs = info.invoke("getsubsystem_all", args).objectAs<Recordset>();
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->RecordCount(), 0);  // reserved to code 12; the setup type gives 1

  platform::Args set{Variant(true)}, get;
  info.invoke("IsBOSQuery", set);
  EXPECT_EQ(info.invoke("IsBOSQuery", get), Variant(true));
  info.SetIsBOSQuery(false);

  platform::Args out{Variant(100101), Variant()};
  EXPECT_EQ(info.invoke("GetSubSystemInfo", out), Variant(true));
  auto dict = out[1].objectAs<Dictionary>();
  ASSERT_TRUE(dict);
  EXPECT_EQ(dict->GetValue("FName"), Variant("总账"));
  platform::Args noDict{Variant(100101)};
  EXPECT_THROW(info.invoke("GetSubSystemInfo", noDict), AutomationError);  // the dictionary is not optional

  platform::Args none;
  EXPECT_THROW(info.invoke("Frobnicate", none), AutomationError);
  EXPECT_THROW(info.invoke("GetSubFunc", none), AutomationError);  // argument not optional
  const auto names = info.methodNames();
  EXPECT_EQ(names.size(), 30u);
  EXPECT_EQ(names.front(), "GetTopClass");
  EXPECT_EQ(names.back(), "RegetDataInfo");
}
