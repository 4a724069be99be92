// The store on the embedded ERP: a change written into the database reaches the
// tables at the next RegetDataInfo and not before, also when another process
// wrote it, and another process sees it too.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e_env.h"
#include "erp/demo/demo_company.h"
#include "erp/storage/database.h"
#include "platform/automation/conversions.h"
#include "store/call_log.h"
#include "store/data_info.h"
#include "store/queries.h"

namespace wayfind::storee2e {
namespace {

namespace fs = std::filesystem;
constexpr int32_t kUser = erp::demo::ids::kZhangWei;

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "popen failed";
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (status != 0) out += "\nexit status " + std::to_string(status);
  return out;
}

class StoreE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wayfind-store-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    database = root / "wayfind.db";
    cache = root / "cache";
    store::DataInfo::instance().reset();
    store::CallLogState::instance().reset();
    startErp(database, cache, kUser);
  }
  void TearDown() override {
    store::DataInfo::instance().reset();
    erp::storage::releaseThreadConnections();
    erp::storage::CurrentDatabase::reset();
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // A subsystem with at least one visible sub-function, and that sub-function.
  void pickSubFunc(int32_t& subSys, int32_t& subFunc, std::string& name) {
    for (auto top = store::GetTopClass(); !top->isEOF(); top->MoveNext()) {
      const int32_t topId = platform::CLng(top->value("FTopClassID"));
      for (auto sys = store::GetSubSystem(topId); !sys->isEOF(); sys->MoveNext()) {
        const int32_t sysId = platform::CLng(sys->value("FSubSysID"));
        auto sub = store::GetSubFunc(sysId);
        if (!sub->isEOF()) {
          subSys = sysId;
          subFunc = platform::CLng(sub->value("FSubFuncID"));
          name = platform::CStr(sub->value("FFuncName"));
          return;
        }
      }
    }
    FAIL() << "the demo company has no visible sub-function";
  }

  std::string nameOf(int32_t subSys, int32_t subFunc) {
    auto rs = store::GetSubFunc(subSys);
    if (!rs->Find("FSubFuncID=" + std::to_string(subFunc))) return "<missing>";
    return platform::CStr(rs->value("FFuncName"));
  }

  std::string probe(const std::string& args) {
    return run(std::string(STORE_E2E_PROBE) + " " + database.string() + " " + cache.string() + " " +
               std::to_string(kUser) + " " + args + " 2>&1");
  }

  fs::path root, database, cache;
};

TEST_F(StoreE2ETest, ChangeShowsAfterRegetDataInfoAndNotBefore) {
  store::Initial();
  int32_t sys = 0, sub = 0;
  std::string original;
  pickSubFunc(sys, sub, original);
  ASSERT_FALSE(original.empty());

  renameSubFuncInDatabase(database, kUser, sub, sys, "改过的名字");
  EXPECT_EQ(nameOf(sys, sub), original) << "the loaded tables stay until they are loaded again";
  store::Initial();  // RegetDataInfo
  EXPECT_EQ(nameOf(sys, sub), "改过的名字");

  // Another process, starting from the cache files this one wrote, sees it too.
  const std::string seen = probe("read " + std::to_string(sys));
  EXPECT_NE(seen.find(std::to_string(sub) + "\t改过的名字"), std::string::npos) << seen;
}

TEST_F(StoreE2ETest, ChangeWrittenByAnotherProcessShowsAfterRegetDataInfo) {
  store::Initial();
  int32_t sys = 0, sub = 0;
  std::string original;
  pickSubFunc(sys, sub, original);

  const std::string out = probe("rename " + std::to_string(sys) + " " + std::to_string(sub) + " 别的进程改的");
  ASSERT_TRUE(out.empty()) << out;
  EXPECT_EQ(nameOf(sys, sub), original);
  store::Initial();
  EXPECT_EQ(nameOf(sys, sub), "别的进程改的");

  // Unchanged versions: the next RegetDataInfo keeps the same tables.
  const auto tables = store::DataInfo::instance().user.SubFunc;
  store::Initial();
  EXPECT_EQ(store::DataInfo::instance().user.SubFunc, tables);
}

TEST_F(StoreE2ETest, CacheFilesAreWrittenAndReusedAcrossProcesses) {
  store::Initial();
  ASSERT_TRUE(fs::exists(cache / "Templatechse2e.dat"));
  ASSERT_TRUE(fs::exists(cache / ("UserTemplatechse2e" + std::to_string(kUser) + ".dat")));
  const auto stamp = fs::last_write_time(cache / "Templatechse2e.dat");
  int32_t sys = 0, sub = 0;
  std::string original;
  pickSubFunc(sys, sub, original);
  const std::string seen = probe("read " + std::to_string(sys));
  EXPECT_NE(seen.find(std::to_string(sub) + "\t" + original), std::string::npos) << seen;
  EXPECT_EQ(fs::last_write_time(cache / "Templatechse2e.dat"), stamp) << "the file was reused";
}

}  // namespace
}  // namespace wayfind::storee2e
