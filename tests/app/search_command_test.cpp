// wayfind search on the demo company, each step in its own process, as a user
// would run it: the help-code lookup, the ranked search, the user's own names,
// --json and --limit, and refused input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class SearchCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("wayfind-search-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  Outcome wayfind(const std::string& args) {
    const fs::path out = dir / "out.txt", err = dir / "err.txt";
    const std::string cmd = "WAYFIND_DB='" + (dir / "erp.db").string() + "' WAYFIND_CACHE_DIR='" +
                            (dir / "cache").string() + "' WAYFIND_LANGUAGE= '" WAYFIND_EXE "' " + args + " >'" +
                            out.string() + "' 2>'" + err.string() + "' </dev/null";
    Outcome r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream o(out), e(err);
    r.out.assign(std::istreambuf_iterator<char>(o), {});
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    return r;
  }

  fs::path dir;
};

TEST_F(SearchCommand, FindsByHelpCodeAndNameRankedAndByTheUsersOwnName) {
  Outcome code = wayfind("search pzlr");
  ASSERT_EQ(code.status, 0) << code.err;
  // The help-code lookup as before, then the search with the exact code first.
  EXPECT_NE(code.out.find("Help code pzlr:"), std::string::npos) << code.out;
  EXPECT_NE(code.out.find("(1 row)"), std::string::npos) << code.out;
  EXPECT_NE(code.out.find("1. Det 1010101  凭证录入  [PZLR"), std::string::npos) << code.out;

  Outcome english = wayfind("search 'VOUCHER q' --lang en");
  ASSERT_EQ(english.status, 0) << english.err;
  EXPECT_NE(english.out.find("No function has the help code VOUCHER q."), std::string::npos) << english.out;
  EXPECT_NE(english.out.find("1. Det 1010102  Voucher Query"), std::string::npos) << english.out;

  Outcome rename = wayfind("call DatasUpdate.UpdateDetailFuncAttr 1010101 "
                       "'dict:NewName=我的甲乙,HelpCode=WDJZ,Visible=1,Enable=1,Index=1'");
  ASSERT_EQ(rename.status, 0) << rename.err;
  Outcome mine = wayfind("search 甲乙 --json");
  ASSERT_EQ(mine.status, 0) << mine.err;
  EXPECT_EQ(mine.out.rfind("{\"helpCode\":[],\"results\":[{\"rank\":\"contains\",\"topClassId\":1,\"subSysId\":101,"
                           "\"subFuncId\":10101,\"detailFuncId\":1010101,\"name\":\"我的甲乙\",\"helpCode\":\"WDJZ\"",
                           0),
            0u)
      << mine.out;
  EXPECT_NE(mine.out.find("\"more\":false}"), std::string::npos);
  // The old code no longer names it.
  Outcome old = wayfind("search PZLR --json");
  EXPECT_EQ(old.out.find("\"detailFuncId\":1010101"), std::string::npos) << old.out;
}

TEST_F(SearchCommand, PinyinAndOtherScriptsFindFunctionsAndJsonSaysWhatMatched) {
  Outcome full = wayfind("search 'ping zheng' --json --limit 1");
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_NE(full.out.find("\"detailFuncId\":1010101,\"name\":\"凭证录入\""), std::string::npos) << full.out;
  EXPECT_NE(full.out.find("\"rank\":\"prefix\""), std::string::npos) << full.out;
  EXPECT_NE(full.out.find("\"enabled\":true,\"matchedBy\":\"pinyin\",\"matched\":\"凭证录入\","), std::string::npos)
      << full.out;
  // Each word says what it found, and the order is explained.
  EXPECT_NE(full.out.find("\"words\":[{\"word\":\"ping\",\"matchedBy\":\"pinyin\",\"matched\":\"凭证录入\","
                          "\"rank\":\"pinyinPrefix\"},{\"word\":\"zheng\""),
            std::string::npos)
      << full.out;
  EXPECT_NE(full.out.find("\"matchRank\":\"pinyinPrefix\",\"level\":\"detailFunc\",\"useScore\":0.000"),
            std::string::npos)
      << full.out;
  Outcome plain = wayfind("search 'ping zheng' --json --limit 1 --no-habits");
  EXPECT_EQ(plain.out, full.out) << plain.err;

  Outcome english = wayfind("search zflzcx --lang en");  // initials of 总分类账查询, shown in English
  ASSERT_EQ(english.status, 0) << english.err;
  EXPECT_NE(english.out.find("1. Det 1010201  General Ledger Book Query"), std::string::npos) << english.out;
  EXPECT_NE(english.out.find("(pinyinInitials: 总分类账查询)"), std::string::npos) << english.out;

  Outcome variant = wayfind("search 總分類帳 --json");
  ASSERT_EQ(variant.status, 0) << variant.err;
  EXPECT_NE(variant.out.find("\"detailFuncId\":1010201"), std::string::npos) << variant.out;

  // The user's own functions, and their folders' rows, by their names in the
  // other languages.
  for (const auto& [args, found] : {std::pair<const char*, const char*>{"search calculator", "1. Det 1000000000  计算器"},
                                    {"search 'monthly review'", "1. Det 1000000001  月度经营分析"},
                                    {"search 个人备忘 --lang en", "1. Det 1000000002  Personal Notes"}}) {
    Outcome own = wayfind(std::string(args) + " --user 16385");
    EXPECT_NE(own.out.find(found), std::string::npos) << args << "\n" << own.out << own.err;
  }

  Outcome typo = wayfind("search vouchre --json --limit 1");
  ASSERT_EQ(typo.status, 0) << typo.err;
  EXPECT_NE(typo.out.find("\"rank\":\"typo\""), std::string::npos) << typo.out;
}

// The levels' names in the other languages are read a page at a time: a
// sub-function far down the table is found by its English name in a Chinese session.
TEST_F(SearchCommand, LevelsAreFoundByTheirOtherNamesBeyondTheFirstPage) {
  Outcome made = wayfind("db synthetic --functions 25000 --db '" + (dir / "erp.db").string() + "'");
  ASSERT_EQ(made.status, 0) << made.err;
  const struct {
    const char* text;
    const char* first;
  } cases[] = {{"'function 1000'", "1. Sub 2000  功能1000"}, {"'Function 2400'", "1. Sub 3400  功能2400"}};
  for (const auto& c : cases) {
    Outcome found = wayfind(std::string("search ") + c.text + " --limit 1 --lang chs");
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_NE(found.out.find(c.first), std::string::npos) << c.text << "\n" << found.out;
  }
}

TEST_F(SearchCommand, LimitCutsTheListAndSaysThereIsMore) {
  Outcome all = wayfind("search 凭证");
  ASSERT_EQ(all.status, 0) << all.err;
  Outcome two = wayfind("search 凭证 --limit 2");
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_NE(two.out.find("2. Det"), std::string::npos) << two.out;
  EXPECT_EQ(two.out.find("3. Det"), std::string::npos) << two.out;
  EXPECT_NE(two.out.find("more than 2 found"), std::string::npos) << two.out;
  EXPECT_NE(all.out.find("3. Det"), std::string::npos) << all.out;
}

TEST_F(SearchCommand, BlankTextsAndBadLimitsAreRefusedBeforeAnythingStarts) {
  for (const char* args : {"search ''", "search '　 '", "search x --limit 0", "search x --limit two",
                           "search x --limit 1.5", "search", "search a b"}) {
    Outcome r = wayfind(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("wayfind"), std::string::npos) << args;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  EXPECT_FALSE(fs::exists(dir / "erp.db"));  // no company was created for a wrong line
}

}  // namespace
