#include "store/call_log.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "context/language.h"
#include "erp/api/progids.h"
#include "erp/client/register_client.h"
#include "fakes.h"

namespace wayfind::store {
namespace {

using platform::ScopedRegistration;
using platform::ScopedUnregistration;
using testing::countingFactory;
using testing::FakeLog;

class CallLogTest : public ::testing::Test {
 protected:
  void SetUp() override { CallLogState::instance().reset(); }
  void TearDown() override { CallLogState::instance().reset(); }

  std::shared_ptr<FakeLog> log = std::make_shared<FakeLog>();
  int created = 0;
  ScopedRegistration logReg{erp::progid::kLog, countingFactory(log, created)};
};

TEST_F(CallLogTest, StartAndEndReachTheLoggingComponent) {
  const int32_t handle = LogStart("WayfindInfo.DatasInfo.GetTopClass");
  EXPECT_EQ(handle, 101);
  LogEnd(handle, 0);
  LogStart("WayfindInfo.DataInfo.Initial");
  EXPECT_EQ(created, 1);  // created once for the process
  EXPECT_EQ(log->names, (std::vector<std::string>{"WayfindInfo.DatasInfo.GetTopClass", "WayfindInfo.DataInfo.Initial"}));
  EXPECT_EQ(log->ends, (std::vector<std::pair<int32_t, int32_t>>{{101, 0}}));
}

TEST_F(CallLogTest, WithoutTheComponentNothingIsLoggedAndCreationIsNotRetried) {
  {
    ScopedUnregistration none(erp::progid::kLog);
    EXPECT_EQ(LogStart("WayfindInfo.DatasInfo.GetTopClass"), 0);
    EXPECT_FALSE(IsLogEnabled());
    EXPECT_NO_THROW(LogEnd(0, 0));
  }
  EXPECT_EQ(LogStart("WayfindInfo.DatasInfo.GetTopClass"), 0);
  EXPECT_EQ(created, 0);
}

TEST_F(CallLogTest, AComponentThatOnceSaysDisabledIsNeverAskedAgain) {
  log->enabled = false;
  EXPECT_EQ(LogStart("a"), 0);
  EXPECT_EQ(log->isEnabledCalls, 1);
  log->enabled = true;  // would answer true now
  EXPECT_EQ(LogStart("b"), 0);
  LogEnd(5, 0);
  EXPECT_FALSE(IsLogEnabled());
  EXPECT_EQ(log->isEnabledCalls, 1);
  EXPECT_EQ(log->startCalls, 0);
  EXPECT_EQ(log->endCalls, 0);
  EXPECT_EQ(created, 1);
}

TEST_F(CallLogTest, AFailingStartGivesZero) {
  log->failStart = true;
  int32_t handle = -1;
  EXPECT_NO_THROW(handle = LogStart("a"));
  EXPECT_EQ(handle, 0);
}

// A caller holding its own error may write its end entry and look up a message
// text; the error it rethrows is the one it caught.
TEST_F(CallLogTest, TheCallersErrorArrivesUnchanged) {
  context::LanguageState::instance().reset();
  auto langInfo = std::make_shared<testing::FakeLangInfo>();
  langInfo->code = "en";
  ScopedRegistration langReg(erp::progid::kLangInfo, platform::sharedFactory(langInfo));
  auto loader = std::make_shared<testing::FakeResLoader>();  // translates nothing: every lookup fails
  ScopedRegistration loaderReg(erp::progid::kResLoader, platform::sharedFactory(loader));

  const int32_t handle = LogStart("WayfindInfo.DatasInfo.GetSubFunc");
  try {
    try {
      throw platform::AutomationError(5, "WayfindInfo.DataInfo.GetSubFunc", "获取助记码信息失败。", "help.chm", 12);
    } catch (const platform::AutomationError&) {
      LogEnd(handle, 0);
      EXPECT_EQ(context::GetLangText("失败原因：%1"), "失败原因：%1");
      throw;
    }
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.source(), "WayfindInfo.DataInfo.GetSubFunc");
    EXPECT_EQ(e.description(), "获取助记码信息失败。");
    EXPECT_EQ(e.helpFile(), "help.chm");
    EXPECT_EQ(e.helpContext(), 12);
  }
  EXPECT_EQ(log->endCalls, 1);
  EXPECT_EQ(loader->lookups.size(), 1u);
  context::LanguageState::instance().reset();
}

// The component's call logging on the real logging service.
TEST(CallLogOnTheErpService, TheComponentsCallsAreLogged) {
  namespace fs = std::filesystem;
  using namespace erp::client;
  const fs::path file = fs::temp_directory_path() / ("wayfind-component-calls-" + std::to_string(::getpid()) + ".log");
  fs::remove(file);
  const char* env = std::getenv("WAYFIND_CALL_LOG");
  const std::string savedEnv = env ? env : "";
  registerClientComponents();
  CallLogState::instance().reset();
  enableCallLog(file.string());
  const int32_t handle = LogStart("WayfindInfo.DatasInfo.GetTopClass");
  EXPECT_NE(handle, 0);
  LogEnd(handle, 0);
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\tWayfindInfo.DatasInfo.GetTopClass\t"), std::string::npos);

  // Logging turned off: the component releases the log for the rest of the process.
  disableCallLog();
  ::unsetenv("WAYFIND_CALL_LOG");
  EXPECT_EQ(LogStart("x"), 0);
  enableCallLog(file.string());
  EXPECT_EQ(LogStart("x"), 0);
  CallLogState::instance().reset();
  disableCallLog();
  if (env) ::setenv("WAYFIND_CALL_LOG", savedEnv.c_str(), 1);
  fs::remove(file);
}

}  // namespace
}  // namespace wayfind::store
