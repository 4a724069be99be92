// The store on the embedded ERP: a change written into the database reaches the
// tables at the next RegetDataInfo and not before, also when another process
// wrote it, and another process sees it too.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "context/language.h"
#include "e2e_env.h"
#include "erp/client/lang_info.h"
#include "erp/client/share_props.h"
#include "erp/demo/demo_company.h"
#include "erp/storage/database.h"
#include "platform/automation/conversions.h"
#include "store/call_log.h"
#include "store/data_info.h"
#include "store/queries.h"
#include "store/search.h"
#include "store/search_habits.h"

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
    erp::client::resetLoginLanguage();
    context::LanguageState::instance().reset();
    store::SearchHabits::instance().reset();
    store::FunctionSearch::instance().reset();
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

// What people type in a launcher, against the demo company's tree as its
// administrator sees it, in each session language: several words in any order
// (and a run of Chinese read as words), a level's own name, pinyin with full
// syllables and initials mixed, the beginnings of English words.
TEST_F(StoreE2ETest, WhatPeopleTypeFindsFirstTheFunctionOrLevelTheyMean) {
  erp::client::publishLogin(erp::client::makeLogin(erp::demo::ids::kWangFang, "王芳", "Industry", "e2e"));
  struct Case {
    const char* language;
    const char* typed;
    int depth;  // of the first result: 1 top class, 2 subsystem, 3 sub-function, 4 function
    const char* first;
  };
  const Case cases[] = {
      {"chs", "凭证 录入", 4, "凭证录入"},
      {"chs", "录入 凭证", 4, "凭证录入"},
      {"chs", "憑證 錄入", 4, "凭证录入"},
      {"chs", "总账 凭证", 3, "凭证处理"},
      {"chs", "总账凭证", 3, "凭证处理"},
      {"chs", "entry voucher", 4, "凭证录入"},
      {"chs", "gl voucher", 3, "凭证处理"},
      {"chs", "zz pzlr", 4, "凭证录入"},
      {"chs", "网上银行", 2, "网上银行"},
      {"chs", "網上銀行", 2, "网上银行"},
      {"chs", "财务", 1, "财务会计"},
      {"chs", "pingzlr", 4, "凭证录入"},
      {"chs", "pzluru", 4, "凭证录入"},
      {"chs", "pingzhenglr", 4, "凭证录入"},
      {"chs", "vou ent", 4, "凭证录入"},
      {"chs", "fcve", 4, "外币凭证录入"},
      {"en", "entry voucher", 4, "Voucher Entry"},
      {"en", "凭证 录入", 4, "Voucher Entry"},
      {"en", "gl voucher", 3, "Vouchers"},
      {"en", "pingzlr", 4, "Voucher Entry"},
      {"en", "pzluru", 4, "Voucher Entry"},
      {"en", "网上银行", 2, "Online Banking"},
      {"en", "vou ent", 4, "Voucher Entry"},
      {"en", "fcve", 4, "Foreign Currency Voucher Entry"},
      {"en", "sainv", 4, "Sales Invoice Entry"},
      {"cht", "凭证 录入", 4, "憑證錄入"},
      {"cht", "pingzlr", 4, "憑證錄入"},
      {"cht", "pzluru", 4, "憑證錄入"},
      {"cht", "总账 凭证", 3, "憑證處理"},
      {"cht", "網上銀行", 2, "網上銀行"},
  };
  std::string language;
  for (const Case& c : cases) {
    if (c.language != language) {
      language = c.language;
      erp::client::setLoginLanguage(language);
      context::LanguageState::instance().reset();
      store::DataInfo::instance().reset();
      store::FunctionSearch::instance().reset();
    }
    const auto rows = store::SearchFunctions(c.typed, 5).rows;
    ASSERT_FALSE(rows.empty()) << c.language << " " << c.typed;
    EXPECT_EQ(rows[0].name, c.first) << c.language << " " << c.typed;
    EXPECT_EQ(rows[0].depth, c.depth) << c.language << " " << c.typed;
    // Each word says what it found; a word found only above the function names
    // the level.
    ASSERT_FALSE(rows[0].words.empty()) << c.typed;
    if (std::string(c.typed) == "zz pzlr" || std::string(c.typed) == "总账凭证") {
      ASSERT_EQ(rows[0].words.size(), 2u) << c.typed;
      EXPECT_EQ(rows[0].words[0].by, store::MatchedBy::Level) << c.typed;
    }
  }
}

// Three starts of 凭证审核 put it before 凭证录入 (in a folder of the user's that
// comes first), an equal match earlier in the tree, for this process and the next (the record is in the database), without
// a new version of the user's data; switched off, the tree's order is back.
TEST_F(StoreE2ETest, StartingAFunctionThreeTimesLiftsItAboveAnEqualMatch) {
  auto firstFunction = [] {
    for (const auto& row : store::SearchFunctions("凭证", 20).rows)
      if (row.depth == 4) return std::make_pair(row.name, row.useScore);
    return std::make_pair(std::string(), 0.0);
  };
  EXPECT_EQ(firstFunction().first, "凭证录入") << "a new user's order is the tree's";
  const int builds = store::FunctionSearch::instance().buildCount();
  for (int i = 0; i < 3; ++i) store::SearchHabits::instance().recordStart(1010103);
  EXPECT_EQ(firstFunction(), std::make_pair(std::string("凭证审核"), 3.0));
  store::Initial();
  EXPECT_EQ(firstFunction().first, "凭证审核");
  EXPECT_EQ(store::FunctionSearch::instance().buildCount(), builds) << "the user's data did not change";

  store::DataInfo::instance().reset();
  store::SearchHabits::instance().reset();
  EXPECT_EQ(firstFunction().first, "凭证审核") << "read back from the database";
  store::SearchHabits::instance().switchOff(true);
  EXPECT_EQ(firstFunction(), std::make_pair(std::string("凭证录入"), 0.0));
}

}  // namespace
}  // namespace wayfind::storee2e
