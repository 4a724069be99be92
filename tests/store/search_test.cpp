// Searching the user's navigation tree: what the user may see, the user's own
// names and items, ranks, folding of case and width, and when the index is built.
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "erp/api/data_access.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/containers/atomic_file.h"
#include "platform/containers/checksum.h"
#include "store/data_info.h"
#include "store/display_name.h"
#include "store/queries.h"
#include "store/search.h"
#include "store/pinyin_match.h"
#include "store/search_text.h"
#include "store_fixture.h"

namespace wayfind::storetest {
namespace {

using store::FunctionSearch;
using store::SearchFunctions;
using store::SearchRank;

// The functions the text finds by their own texts (not the levels, nor the
// functions found only by a level above them).
std::vector<int32_t> found(const std::string& text, size_t limit = 50) {
  std::vector<int32_t> out;
  for (const auto& row : SearchFunctions(text, limit).rows)
    if (row.depth == 4 && row.rank != SearchRank::Level) out.push_back(row.detailFuncId);
  return out;
}

class SearchTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    FunctionSearch::instance().reset();
    auto top = tableOf(templ(), "TopClass");
    addRow(top, {{"FTopClassID", 1}, {"FTopClassName", "财务会计"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(top, {{"FTopClassID", 2}, {"FTopClassName", "隐藏大类"}, {"FIndex", 2}, {"FVisible", 0}, {"FAcctType", ""}});
    addRow(top, {{"FTopClassID", 3}, {"FTopClassName", "医药"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ",12,"}});

    auto sys = tableOf(templ(), "SubSystem");
    addRow(sys, {{"FSubSysID", 101}, {"FTopClassID", 1}, {"FName", "总账"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(sys, {{"FSubSysID", 102}, {"FTopClassID", 1}, {"FName", "报表"}, {"FIndex", 2}, {"FVisible", 0}, {"FAcctType", ""}});
    addRow(sys, {{"FSubSysID", 201}, {"FTopClassID", 2}, {"FName", "系统"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(sys, {{"FSubSysID", 301}, {"FTopClassID", 3}, {"FName", "药品"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});

    auto sub = tableOf(templ(), "SubFunc");
    addRow(sub, {{"FSubFuncID", 5}, {"FSubSysID", 101}, {"FFuncName", "凭证"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(sub, {{"FSubFuncID", 6}, {"FSubSysID", 101}, {"FFuncName", "账簿"}, {"FIndex", 2}, {"FVisible", 0}, {"FAcctType", ""}});
    addRow(sub, {{"FSubFuncID", 7}, {"FSubSysID", 102}, {"FFuncName", "报表功能"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(sub, {{"FSubFuncID", 8}, {"FSubSysID", 201}, {"FFuncName", "功能"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(sub, {{"FSubFuncID", 9}, {"FSubSysID", 301}, {"FFuncName", "入库"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});

    // Sub-function 5. Without user rows the tree keeps the template's order, so 18
    // comes before 17 in the tree although 17 has the lower id.
    detail(11, 5, 3, "凭证录入", "Voucher Entry", "憑證錄入", "PZLR", "PZ");
    detail(12, 5, 4, "凭证查询", "Voucher Query", "憑證查詢", "PZCX");
    detail(13, 5, 5, "隐藏凭证", "Hidden Voucher", "隱藏憑證", "YCPZ", "", 0);
    detail(14, 5, 6, "医药凭证", "Medicine Voucher", "醫藥憑證", "YYPZ", "", 1, ",12,");
    detail(15, 5, 7, "批量录入", "Batch Entry", "批量錄入", "PLLR");
    detail(16, 5, 8, "流水录入", "Journal Entry", "流水錄入", "LR");
    detail(18, 5, 1, "利润表", "Income Statement", "利潤表", "LRB");
    detail(17, 5, 2, "LR 报表", "LR Report", "LR 報表", "BB");
    // Under hidden nodes or another account type's nodes.
    detail(21, 6, 1, "明细账", "Ledger", "明細賬", "MXZ");
    detail(31, 7, 1, "报表查询", "Report Query", "報表查詢", "BBCX");
    detail(41, 8, 1, "隐藏的明细", "Hidden Detail", "隱藏的明細", "YCMX");
    detail(51, 9, 1, "药品入库", "Drug Receipt", "藥品入庫", "YPRK");
  }

  void detail(int32_t id, int32_t sub, int32_t index, const char* name, const char* en, const char* cht,
              const char* help, const char* help1 = "", int32_t visible = 1, const char* acct = "") {
    addRow(tableOf(templ(), "DetailFunc"),
           {{"FDetailFuncID", id}, {"FSubFuncID", sub}, {"FFuncName", name}, {"FFuncName_en", en},
            {"FFuncName_cht", cht}, {"FShowName", name}, {"FHelpCode", help}, {"FHelpCode1", help1},
            {"FIndex", index}, {"FVisible", visible}, {"FEnable", 1}, {"FAcctType", acct},
            {"FClassName", "Gl.Func"}, {"FClassParam", std::to_string(id)}, {"FFuncType", 0}});
  }

  // The user's rows, as the next user version delivers them.
  void userDetail(std::map<std::string, Variant> row) { addRow(tableOf(user(), "DetailFunc"), row); }
};

TEST_F(SearchTest, OnlyWhatTheUserMaySeeIsFound) {
  // Hidden function, hidden sub-function, hidden subsystem, hidden top class: none
  // of them, however exactly their help codes are typed.
  for (const char* text : {"YCPZ", "隐藏凭证", "MXZ", "明细账", "BBCX", "报表查询", "YCMX", "隐藏的明细"})
    EXPECT_TRUE(found(text).empty()) << text;
  // Nodes of another account type: not for Industry (1), but for GMPHY (12).
  EXPECT_TRUE(found("YPRK").empty());
  EXPECT_TRUE(found("医药凭证").empty());
  setSetupType("GMPHY");
  EXPECT_EQ(found("YPRK"), (std::vector<int32_t>{51}));
  EXPECT_EQ(found("医药凭证"), (std::vector<int32_t>{14}));
  setSetupType("Industry");
  EXPECT_TRUE(found("YPRK").empty());
  // A query that ignores the account type sees them all, hidden ones still not.
  store::SetIsBOSQuery(true);
  EXPECT_EQ(found("YPRK"), (std::vector<int32_t>{51}));
  EXPECT_TRUE(found("YCPZ").empty());
}

TEST_F(SearchTest, RowsCarryTheFourLevelsNamesPathAndWhatRunsTheFunction) {
  auto result = SearchFunctions("pzlr", 10);
  ASSERT_EQ(result.rows.size(), 1u);
  const auto& row = result.rows[0];
  EXPECT_EQ(row.rank, SearchRank::HelpCode);
  EXPECT_EQ(row.topClassId, 1);
  EXPECT_EQ(row.subSysId, 101);
  EXPECT_EQ(row.subFuncId, 5);
  EXPECT_EQ(row.detailFuncId, 11);
  EXPECT_EQ(row.name, "凭证录入");
  EXPECT_EQ(row.helpCode, "PZLR");
  EXPECT_EQ(row.helpCode1, "PZ");
  EXPECT_EQ(row.path, "财务会计 > 总账 > 凭证");
  EXPECT_EQ(row.className, "Gl.Func");
  EXPECT_EQ(row.classParam, "11");
  EXPECT_TRUE(row.enabled);
  EXPECT_FALSE(result.more);
}

TEST_F(SearchTest, RanksExactHelpCodeThenPrefixThenTheRestEachInTreeOrder) {
  // "lr": 16's help code is LR; 18 (code LRB) and 17 (name "LR 报表") begin with
  // it, 18 first in the tree; 11 (PZLR) and 15 (PLLR) hold it.
  auto result = SearchFunctions("lr", 10);
  std::vector<std::pair<int32_t, SearchRank>> got;
  for (const auto& r : result.rows) got.emplace_back(r.detailFuncId, r.rank);
  EXPECT_EQ(got, (std::vector<std::pair<int32_t, SearchRank>>{{16, SearchRank::HelpCode},
                                                               {18, SearchRank::HelpCodePrefix},
                                                               {17, SearchRank::NamePrefix},
                                                               {11, SearchRank::Contains},
                                                               {15, SearchRank::Contains}}));
  auto limited = SearchFunctions("lr", 3);
  EXPECT_EQ(limited.rows.size(), 3u);
  EXPECT_TRUE(limited.more);
  EXPECT_FALSE(SearchFunctions("lr", 5).more);
  // The second help code counts as a help code; a name equal to the text is a
  // prefix match, not an exact code.
  EXPECT_EQ(SearchFunctions("PZ", 1).rows.at(0).detailFuncId, 11);
  EXPECT_EQ(SearchFunctions("PZ", 1).rows.at(0).rank, SearchRank::HelpCode);
  EXPECT_EQ(SearchFunctions("利润表", 1).rows.at(0).rank, SearchRank::NamePrefix);
}

TEST_F(SearchTest, RanksEveryKindOfMatchInItsOrderEachInTreeOrder) {
  // Sub-function 5 gains functions that "dan" finds in every way; 25 and 26 are
  // shown in the tree in the reverse order of their ids.
  detail(20, 5, 20, "审批流程", "Approval", "審批流程", "DAN");
  detail(21, 5, 21, "单据类型", "Bill Types", "單據類型", "DANJU");
  detail(22, 5, 22, "舞蹈报表", "Dance Report", "舞蹈報表", "WDBB");
  detail(23, 5, 23, "到岸年报", "Landed Annual", "到岸年報", "");
  detail(24, 5, 24, "单据打印", "Bill Printing", "單據打印", "");
  detail(26, 5, 25, "凭证单据", "Voucher Bills", "憑證單據", "");
  detail(25, 5, 26, "打印单据", "Print Bills", "打印單據", "");
  detail(27, 5, 27, "基础单价", "Base Price", "基礎單價", "DANJI");

  std::vector<std::tuple<int32_t, SearchRank, store::MatchedBy, std::string>> got;
  for (const auto& r : SearchFunctions("dan", 20).rows) got.emplace_back(r.detailFuncId, r.rank, r.matchedBy, r.matched);
  using store::MatchedBy;
  EXPECT_EQ(got, (decltype(got){{20, SearchRank::HelpCode, MatchedBy::HelpCode, "DAN"},
                                {21, SearchRank::HelpCodePrefix, MatchedBy::HelpCode, "DANJU"},
                                {27, SearchRank::HelpCodePrefix, MatchedBy::HelpCode, "DANJI"},
                                {22, SearchRank::NamePrefix, MatchedBy::Name, "Dance Report"},
                                {23, SearchRank::InitialsPrefix, MatchedBy::PinyinInitials, "到岸年报"},
                                {24, SearchRank::PinyinPrefix, MatchedBy::Pinyin, "单据打印"},
                                {26, SearchRank::Contains, MatchedBy::Pinyin, "凭证单据"},
                                {25, SearchRank::Contains, MatchedBy::Pinyin, "打印单据"}}));

  // One typing error in five letters or more still finds a function, after all
  // the others: DANJI for "danju", the full pinyin of 凭证 for "pingzehng".
  got.clear();
  for (const auto& r : SearchFunctions("danju", 20).rows) got.emplace_back(r.detailFuncId, r.rank, r.matchedBy, r.matched);
  EXPECT_EQ(got, (decltype(got){{21, SearchRank::HelpCode, MatchedBy::HelpCode, "DANJU"},
                                {24, SearchRank::PinyinPrefix, MatchedBy::Pinyin, "单据打印"},
                                {26, SearchRank::Contains, MatchedBy::Pinyin, "凭证单据"},
                                {25, SearchRank::Contains, MatchedBy::Pinyin, "打印单据"},
                                {27, SearchRank::Typo, MatchedBy::HelpCode, "DANJI"}}));
  EXPECT_EQ(found("pingzehng"), (std::vector<int32_t>{11, 12, 26}));
  EXPECT_EQ(SearchFunctions("pingzehng", 1).rows.at(0).rank, SearchRank::Typo);
  EXPECT_EQ(found("vouchre entry"), (std::vector<int32_t>{11}));
  // Four letters are too few to guess at, and two errors are too many.
  EXPECT_TRUE(found("dnaj").empty());
  EXPECT_TRUE(found("pnigzehng").empty());
}

TEST_F(SearchTest, PinyinInitialsFullPinyinAndEveryReadingOfACharacter) {
  // 银行 reads yin hang; 行 alone is also xing. 重 is zhong or chong.
  detail(30, 5, 30, "银行对账", "Bank Reconciliation", "銀行對賬", "");
  detail(31, 5, 31, "重新登记", "Register Again", "重新登記", "");
  detail(32, 5, 32, "绿色通道", "Green Channel", "綠色通道", "");
  struct Case {
    const char* typed;
    std::vector<int32_t> ids;
  };
  for (const Case& c : std::vector<Case>{
           {"yhdz", {30}},              // initials, any reading
           {"yxdz", {30}},
           {"yinhangduizhang", {30}},   // full pinyin without blanks
           {"yin hang dui", {30}},      // and with them between syllables
           {"yinxing", {30}},           // the other reading
           {"yinhangd", {30}},          // the last syllable begun
           {"YinHang", {30}},           // any case
           {"ｙｈｄｚ", {30}},            // full width
           {"yi nh", {}},               // a blank inside a syllable
           {"cxdj", {31}},
           {"zxdj", {31}},
           {"chongxin", {31}},
           {"zhongxin", {31}},
           {"lvse", {32}},              // ü typed v
           {"luse", {32}},              // or u
           {"duizhang", {30}},          // full pinyin from a later character
           {"dz", {30}},                // initials from a later character
           {"pzcx", {12}},              // a template name without ...
           {"pzlr", {11}},              // ... and with a help code of its own
           {"lsl", {16}},               // 流水录入's initials begin with it
       }) {
    EXPECT_EQ(found(c.typed), c.ids) << c.typed;
  }
  // The user's own name is found by its pinyin, and the template's name still is.
  userDetail({{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "我的查询"}, {"FIndex", 4},
              {"FVisible", 1}, {"FEnable", 1}});
  server->userVersion = "U2";
  user()->SetValue("TimeStamp", Variant("U2"));
  store::Initial();
  EXPECT_EQ(found("wdcx"), (std::vector<int32_t>{12}));
  EXPECT_EQ(found("wodechaxun"), (std::vector<int32_t>{12}));
}

TEST_F(SearchTest, SimplifiedTraditionalAndVariantFormsFindEachOther) {
  detail(33, 5, 33, "总账对账", "Ledger Check", "總賬對賬", "");
  detail(34, 5, 34, "帳簿設置", "Book Setup", "帳簿設置", "");  // the template wrote it traditional only
  struct Case {
    const char* typed;
    std::vector<int32_t> ids;
  };
  for (const Case& c : std::vector<Case>{
           {"总帐", {33}},    // 帐, a variant of 账
           {"總帳", {33}},
           {"總賬", {33}},
           {"账簿设置", {34}},  // simplified for a traditional name
           {"帐簿", {34}},
           {"憑證查詢", {12}},
           {"凭証", {11, 12}},  // 証 a variant of 證
       }) {
    EXPECT_EQ(found(c.typed), c.ids) << c.typed;
  }
  setLanguage("en");
  FunctionSearch::instance().reset();
  EXPECT_EQ(found("总帐"), (std::vector<int32_t>{33})) << "in any session";
  EXPECT_EQ(found("zzdz"), (std::vector<int32_t>{33}));
}

TEST_F(SearchTest, NamesInEveryLanguageAnyCaseAndWidth) {
  EXPECT_EQ(found("录入"), (std::vector<int32_t>{11, 15, 16}));  // simplified
  EXPECT_EQ(found("錄入"), (std::vector<int32_t>{11, 15, 16}));  // traditional
  EXPECT_EQ(found("entry"), (std::vector<int32_t>{11, 15, 16}));
  EXPECT_EQ(found("VOUCHER  entry"), (std::vector<int32_t>{11}));
  EXPECT_EQ(found("ｖｏｕｃｈｅｒ　ＥＮＴＲＹ"), (std::vector<int32_t>{11}));  // full width, ideographic space
  EXPECT_EQ(found("Pzlr"), (std::vector<int32_t>{11}));
  EXPECT_EQ(found("ＰＺＬＲ"), (std::vector<int32_t>{11}));
  EXPECT_EQ(found(" pzlr\t"), (std::vector<int32_t>{11}));
  EXPECT_TRUE(found("凭证录入X").empty());
  // Two words: each finds 11 on its own.
  EXPECT_EQ(found("pz lr"), (std::vector<int32_t>{11}));
}

TEST_F(SearchTest, BlankOrBrokenTextFindsNothingAndTouchesNothing) {
  for (const char* text : {"", " ", "\t\r\n", "　　"}) EXPECT_TRUE(SearchFunctions(text, 10).rows.empty());
  EXPECT_TRUE(SearchFunctions("pzlr", 0).rows.empty());
  EXPECT_EQ(server->dictionaryCalls(), 0);  // a blank box loads nothing
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 0);
  EXPECT_TRUE(found("\xff\xfe").empty());
  EXPECT_TRUE(found("pz\xe5").empty());
  EXPECT_EQ(store::FoldSearchText("A\xff" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(store::FoldSearchText("\xe5\x87"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // cut short
  EXPECT_EQ(store::FoldSearchText("\xc0\xaf"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong "/"
  EXPECT_EQ(store::FoldSearchText("ÄÖ Ωmega ПРИВЕТ"), "äö ωmega привет");
  EXPECT_EQ(store::FoldSearchText("  PZ\t\v LR\f\r\n"), "pz lr");            // blanks collapsed, ends dropped
  EXPECT_EQ(store::FoldSearchText("ＰＺ\xE3\x80\x80Lr\xC2\xA0 1"), "pz lr 1");  // full width, wide blanks
  // Pasted along: a byte-order mark, zero-width and typographic spaces.
  EXPECT_EQ(store::FoldSearchText("\xEF\xBB\xBFPZ\xE2\x80\x8B\xE2\x80\x89LR\xE2\x80\xAF" "1\xE2\x80\x8B"), "pz lr 1");
  ASSERT_FALSE(found("pzlr").empty());
  EXPECT_EQ(found("\xEF\xBB\xBFpzlr\xE2\x80\x8B"), found("pzlr"));
  // A blank after a word (the next word is coming) finds what the word finds.
  for (auto [text, ends] : {std::pair{"pz ", true}, {"pz\xE3\x80\x80", true}, {"pz lr\t", true}, {"pz", false},
                            {"  ", false}, {"", false}, {"pz\xE2\x80\x89\xE2\x80\x8B", true}})
    EXPECT_EQ(store::EndsAfterAWord(text), ends) << text;
  EXPECT_EQ(found("pz "), found("pz"));
}

// A shorter answer is the beginning of a longer one, levels and functions alike,
// for one word and several, whatever the words name.
TEST_F(SearchTest, AShorterAnswerIsTheBeginningOfALongerOne) {
  auto rows = [](const std::string& text, size_t limit) {
    std::vector<std::tuple<int, int32_t, int32_t, int32_t, SearchRank>> out;
    for (const auto& r : SearchFunctions(text, limit).rows) out.emplace_back(r.depth, r.subSysId, r.subFuncId, r.detailFuncId, r.rank);
    return out;
  };
  for (const char* text : {"凭证", "pz", "pingzheng", "lr", "财务 凭证", "cw pz", "总账 录入", "zongzhang lr", "财务会计 凭证 录入",
                           "zz", "功能", "gongneng", "财务 总账", "凭 证", "pz lr"}) {
    const auto all = rows(text, 50);
    for (size_t n = 1; n < all.size(); ++n)
      EXPECT_EQ(rows(text, n), decltype(all)(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n))) << text << " " << n;
  }
}

TEST_F(SearchTest, TheUsersNamesAndItemsAreWhatIsFoundAndShown) {
  // The user renamed 12 and gave it a help code of their own; created a custom
  // item; named 15 with a show name; renamed the sub-function.
  userDetail({{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "我的查询"}, {"FHelpCode", "WDCX"},
              {"FIndex", 4}, {"FVisible", 1}, {"FEnable", 1}});
  userDetail({{"FDetailFuncID", 1000000001}, {"FSubFuncID", 5}, {"FFuncName", "自定义报表"}, {"FHelpCode", "ZDY"},
              {"FIndex", 9}, {"FVisible", 1}, {"FEnable", 0}, {"FClassName", "My.Report"}, {"FClassParam", "r1"}});
  userDetail({{"FDetailFuncID", 15}, {"FSubFuncID", 5}, {"FFuncName", "批量录入"}, {"FShowName", "成批录入"},
              {"FHelpCode", "PLLR"}, {"FIndex", 7}, {"FVisible", 1}, {"FEnable", 1}});
  // And hid 16.
  userDetail({{"FDetailFuncID", 16}, {"FSubFuncID", 5}, {"FFuncName", "流水录入"}, {"FHelpCode", "LR"},
              {"FIndex", 8}, {"FVisible", 0}, {"FEnable", 1}});
  addRow(tableOf(user(), "SubFunc"), {{"FSubFuncID", 5}, {"FSubSysID", 101}, {"FFuncName", "记账凭证"}, {"FIndex", 1}, {"FVisible", 1}});

  auto mine = SearchFunctions("我的", 10).rows;
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].detailFuncId, 12);
  EXPECT_EQ(mine[0].name, "我的查询");
  EXPECT_EQ(mine[0].path, "财务会计 > 总账 > 记账凭证");
  EXPECT_EQ(found("WDCX"), (std::vector<int32_t>{12}));
  // The template's name and code no longer name it in the user's language...
  EXPECT_TRUE(found("凭证查询").empty());
  EXPECT_TRUE(found("PZCX").empty());
  for (const auto& row : SearchFunctions("凭证", 50).rows) EXPECT_NE(row.name, "凭证查询");
  // ...while its names in the other languages still find it, shown by the user's name.
  auto query = SearchFunctions("voucher query", 10).rows;
  ASSERT_EQ(query.size(), 1u);
  EXPECT_EQ(query[0].name, "我的查询");

  auto custom = SearchFunctions("zdy", 10).rows;
  ASSERT_EQ(custom.size(), 1u);
  EXPECT_EQ(custom[0].detailFuncId, 1000000001);
  EXPECT_EQ(custom[0].name, "自定义报表");
  EXPECT_EQ(custom[0].className, "My.Report");
  EXPECT_EQ(custom[0].classParam, "r1");
  EXPECT_FALSE(custom[0].enabled);
  EXPECT_EQ(found("自定义"), (std::vector<int32_t>{1000000001}));

  EXPECT_EQ(SearchFunctions("PLLR", 1).rows.at(0).name, "成批录入");
  EXPECT_EQ(found("成批"), (std::vector<int32_t>{15}));
  EXPECT_TRUE(found("流水").empty());  // hidden by the user
}

// The ERP's data access, answering the template's simplified names and counting
// the questions.
class SimplifiedNames : public erp::api::IBillUseInfo {
 public:
  platform::RecordsetPtr GetData(const std::string&, const std::string& sql) override {
    if (fail) throw platform::AutomationError(5, "T8MSmsManager.clsBillUseInfo", "refused");
    auto rs = makeDetailFunc();
    if (sql.find("t_NavDetailFunc") == std::string::npos) return rs;  // the levels' names: none here
    ++calls;
    // Out of order, and one id twice: the name read last counts.
    addRow(rs, {{"FDetailFuncID", 21}, {"FSubFuncID", 6}, {"FFuncName", "明细分类账"}});  // under a hidden node
    addRow(rs, {{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "记账凭证"}});
    addRow(rs, {{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "记账凭证查阅"}});
    return rs;
  }
  int calls = 0;
  bool fail = false;
};

TEST_F(SearchTest, OtherLanguagesFindFunctionsByTheirSimplifiedNamesToo) {
  auto access = std::make_shared<SimplifiedNames>();
  platform::ScopedRegistration registered(erp::progid::kBillUseInfo, platform::sharedFactory(access));

  // In simplified Chinese the tree's names are the simplified ones: nothing is asked.
  EXPECT_TRUE(found("查阅").empty());
  EXPECT_EQ(access->calls, 0);

  setLanguage("en");
  FunctionSearch::instance().reset();
  auto rows = SearchFunctions("查阅", 5).rows;
  ASSERT_EQ(rows.size(), 1u) << "asked " << access->calls;
  EXPECT_EQ(rows[0].detailFuncId, 12);
  EXPECT_TRUE(found("分类账").empty()) << "a hidden function stays hidden";
  for (const char* typed : {"记", "记账", "记账凭"}) SearchFunctions(typed, 5);
  EXPECT_EQ(access->calls, 1) << "asked once per index, not per keystroke";

  // A refusing service costs the simplified names, not the search (a start
  // without the index saved by the one before).
  access->fail = true;
  FunctionSearch::instance().reset();
  std::filesystem::remove(store::SearchIndexFilePath());
  EXPECT_TRUE(found("查阅").empty());
  EXPECT_EQ(found("voucher query"), (std::vector<int32_t>{12}));
  // What it made is not saved for the next start to take as the whole: with the
  // service back, the next start reads the names again.
  FunctionSearch::instance().reset();
  EXPECT_FALSE(std::filesystem::exists(store::SearchIndexFilePath()));
  access->fail = false;
  EXPECT_EQ(found("查阅"), (std::vector<int32_t>{12}));
}

TEST_F(SearchTest, AUserOwnedFolderIsSearchedByTheUsersRowsInTheUsersLanguage) {
  addRow(tableOf(templ(), "SubFunc"), {{"FSubFuncID", 705}, {"FSubSysID", 101}, {"FFuncName", "我的报表"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ""}});
  // A template row in the folder is not shown there: the folder is the user's.
  detail(60, 705, 1, "模板报表", "Template Report", "模板報表", "MBBB");
  userDetail({{"FDetailFuncID", 1000000005}, {"FSubFuncID", 705}, {"FFuncName", "费用分析"},
              {"FFuncName_en", "Expense Analysis"}, {"FFuncName_cht", "費用分析"}, {"FHelpCode", "FYFX"},
              {"FIndex", 1}, {"FVisible", 1}, {"FEnable", 1}, {"FClassName", "Rpt.View"}, {"FClassParam", "fy"}});
  setLanguage("en");
  auto rows = SearchFunctions("fyfx", 5).rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "Expense Analysis");
  EXPECT_EQ(rows[0].subFuncId, 705);
  EXPECT_EQ(rows[0].className, "Rpt.View");
  EXPECT_EQ(found("expense"), (std::vector<int32_t>{1000000005}));
  EXPECT_TRUE(found("MBBB").empty());
}

TEST_F(SearchTest, TheIndexIsRebuiltWhenANewVersionIsLoadedAndOnlyThen) {
  EXPECT_EQ(found("凭证查询"), (std::vector<int32_t>{12}));
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);
  for (const char* typed : {"凭", "凭证", "凭证查", "PZ", "pzc"}) SearchFunctions(typed, 20);
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);

  // The server's data changes but its version does not: nothing is loaded, the
  // index stays.
  userDetail({{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "我的查询"}, {"FHelpCode", "WDCX"},
              {"FIndex", 4}, {"FVisible", 1}, {"FEnable", 1}});
  store::Initial();
  EXPECT_EQ(found("凭证查询"), (std::vector<int32_t>{12}));
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);

  // A new user version: the next search sees the new name, from a new index.
  server->userVersion = "U2";
  user()->SetValue("TimeStamp", Variant("U2"));
  store::Initial();
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);  // not before a search asks
  EXPECT_TRUE(found("凭证查询").empty());
  EXPECT_EQ(found("我的查询"), (std::vector<int32_t>{12}));
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 2);
  store::Initial();
  found("我的");
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 2);

  // ClearCache empties the slots: the next search loads them again, and with them
  // the index saved for the same versions beside the cache files.
  store::ClearCache();
  EXPECT_EQ(found("我的查询"), (std::vector<int32_t>{12}));
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 2);
  EXPECT_EQ(FunctionSearch::instance().loadCount(), 1);

  // So does a new process reading the same cache files: nothing is built.
  newProcess();
  FunctionSearch::instance().reset();
  EXPECT_EQ(found("我的查询"), (std::vector<int32_t>{12}));
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 0);
  EXPECT_EQ(FunctionSearch::instance().loadCount(), 1);

  // A saved index that is damaged, cut short or made for other versions is made
  // again (and saved again).
  const std::string file = store::SearchIndexFilePath();
  std::string bytes;
  ASSERT_TRUE(platform::readWholeFile(file, bytes));
  const std::string good = bytes;
  for (const auto& spoil : std::vector<std::function<void(std::string&)>>{
           [](std::string& b) { b[b.size() / 2] ^= 0x20; },  // one byte of the lists
           [](std::string& b) { b.resize(b.size() - 9); },
           [](std::string& b) { b.resize(20); },
           [](std::string& b) { b.replace(b.find("user=U2"), 7, "user=U3"); },
           [](std::string& b) {  // whole and sound, but of an earlier form of the index
             uint32_t keyLength = 0;
             std::memcpy(&keyLength, b.data() + 12, 4);
             const size_t index = (32 + keyLength + 7) / 8 * 8;
             const uint32_t earlier = 4;
             std::memcpy(b.data() + index + 4, &earlier, 4);
             const uint32_t crc = platform::crc32(std::string_view(b).substr(index));
             std::memcpy(b.data() + 24, &crc, 4);
           }}) {
    bytes = good;
    spoil(bytes);
    FunctionSearch::instance().reset();  // the index made last is saved first
    platform::writeFileAtomically(file, bytes);
    newProcess();
    FunctionSearch::instance().reset();
    EXPECT_EQ(found("我的查询"), (std::vector<int32_t>{12}));
    EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);
    EXPECT_EQ(FunctionSearch::instance().loadCount(), 0);
  }
  FunctionSearch::instance().reset();
  ASSERT_TRUE(platform::readWholeFile(file, bytes));
  EXPECT_EQ(bytes, good);

  // Another account type makes the index again. The file keeps one index per
  // user, the last one made, so coming back to the first type makes it again too.
  setSetupType("GMPHY");
  found("我的");
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 1);
  setSetupType("Industry");
  found("我的");
  EXPECT_EQ(FunctionSearch::instance().buildCount(), 2);
}

TEST_F(SearchTest, TheConsoleGetsTheIndexReadyInStepsAndTheFirstKeystrokeFindsItWaiting) {
  auto& search = FunctionSearch::instance();
  int steps = 0;
  // A budget of nothing still makes progress: one query per step.
  while (!search.prepareStep(std::chrono::microseconds(0))) {
    ASSERT_LT(++steps, 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(steps, 3);  // the tree was read a piece at a time
  EXPECT_EQ(search.buildCount(), 1);
  EXPECT_EQ(found("pzcx"), (std::vector<int32_t>{12}));
  EXPECT_EQ(search.buildCount(), 1);
  EXPECT_TRUE(search.prepareStep(std::chrono::microseconds(0)));

  // A keystroke while the tree is still being read finishes the work at once;
  // tables replaced halfway through start the reading again, the reading given
  // up while its names are still being read. (The index is saved after it is
  // handed over; reset waits for the saving.)
  newProcess();
  search.reset();
  std::filesystem::remove(store::SearchIndexFilePath());
  EXPECT_FALSE(search.prepareStep(std::chrono::microseconds(0)));
  EXPECT_FALSE(search.prepareStep(std::chrono::microseconds(0)));
  server->userVersion = "U2";
  user()->SetValue("TimeStamp", Variant("U2"));
  userDetail({{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "我的查询"}, {"FHelpCode", "WDCX"},
              {"FIndex", 4}, {"FVisible", 1}, {"FEnable", 1}});
  store::Initial();
  EXPECT_FALSE(search.prepareStep(std::chrono::microseconds(0)));
  EXPECT_EQ(found("wdcx"), (std::vector<int32_t>{12}));
  EXPECT_EQ(search.buildCount(), 1);
}

TEST_F(SearchTest, AFunctionAtTwoPlacesIsNamedAtEachByTheUsersRowThere) {
  // The user renamed 11 in its sub-function and also put it, unnamed, in a folder
  // of their own; 12 keeps the template's names.
  addRow(tableOf(templ(), "SubFunc"), {{"FSubFuncID", 705}, {"FSubSysID", 101}, {"FFuncName", "常用凭证"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ""}});
  userDetail({{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FFuncName", "记账凭证录入"}, {"FHelpCode", "JZPZ"},
              {"FIndex", 3}, {"FVisible", 1}, {"FEnable", 1}});
  // The folder's row comes with the function's names filled in, and no show name.
  userDetail({{"FDetailFuncID", 11}, {"FSubFuncID", 705}, {"FFuncName", "凭证录入"}, {"FFuncName_en", "Voucher Entry"},
              {"FIndex", 1}, {"FVisible", 1}, {"FEnable", 1}});
  setLanguage("en");

  // The names the search gives, by place. The merged rows of both places still
  // carry "凭证录入" as their show name, which names the function at neither.
  std::map<int32_t, std::string> searched;
  for (const auto& row : SearchFunctions("voucher entry", 10).rows) {
    if (row.detailFuncId == 11) searched[row.subFuncId] = row.name;
  }
  ASSERT_EQ(searched.size(), 2u);
  EXPECT_EQ(searched[5], "记账凭证录入");
  EXPECT_EQ(searched[705], "Voucher Entry");

  // The names a tree gives the merged rows of each place agree with them, and
  // reading the user's rows leaves the shared table's filter as the query set it.
  for (int32_t sub : {5, 705}) {
    auto rows = store::GetDetailFunc(sub);
    const std::string filterBefore = store::DataInfo::instance().user.DetailFunc->filter();
    const auto names = store::UserDetailNames::read();
    EXPECT_EQ(store::DataInfo::instance().user.DetailFunc->filter(), filterBefore);
    bool seen = false;
    for (rows->MoveFirst(); !rows->isEOF(); rows->MoveNext()) {
      const int32_t id = platform::CLng(rows->value("FDetailFuncID"));
      const std::string name = names.nameOf(sub, *rows);
      EXPECT_EQ(name, store::DetailFuncDisplayName(sub, *rows)) << sub << " " << id;
      if (id == 11) {
        EXPECT_EQ(name, searched[sub]) << sub;
        EXPECT_EQ(platform::CStr(rows->value("FShowName")), "凭证录入") << sub;
        seen = true;
      }
      if (id == 12) {
        EXPECT_EQ(name, "凭证查询");
      }
    }
    EXPECT_TRUE(seen) << sub;
  }
  EXPECT_EQ(store::UserDetailNames::read().showName(5, 12), nullptr);
  ASSERT_NE(store::UserDetailNames::read().showName(705, 11), nullptr);
}

TEST_F(SearchTest, AFailedLoadReachesTheCallerAndTheNextSearchRecovers) {
  EXPECT_EQ(found("PZLR"), (std::vector<int32_t>{11}));
  store::ClearCache();
  FunctionSearch::instance().waitForSaving();  // the index is saved into the folder by a thread of its own
  std::filesystem::remove_all(cacheDir);
  auto good = templ();
  templ() = nullptr;  // the server hands back nothing
  server->templateVersion = "T2";
  EXPECT_THROW(SearchFunctions("PZLR", 10), platform::AutomationError);
  templ() = good;
  EXPECT_EQ(found("PZLR"), (std::vector<int32_t>{11}));
}

// A large tree is made by two threads, the template's rows and the rows the
// user's rows changed each shared between them: every function still lands at
// its place with its own texts.
TEST_F(SearchTest, ALargeTreeMadeByTwoThreadsKeepsEveryFunctionAtItsPlace) {
  constexpr int32_t kRows = 20000, kFirst = 1000;
  for (int32_t i = 0; i < kRows; ++i) {
    const std::string n = std::to_string(kFirst + i);
    detail(kFirst + i, 5, 10 + i, ("功能" + n).c_str(), ("Function " + n).c_str(), ("功能" + n).c_str(), ("F" + n).c_str());
    // The user's own code for most of them, so that they are merged rows.
    if (i % 8 != 0)
      userDetail({{"FDetailFuncID", kFirst + i}, {"FSubFuncID", 5}, {"FHelpCode", "U" + n}, {"FIndex", 10 + i},
                  {"FVisible", 1}, {"FEnable", 1}});
  }
  const store::SearchTree tree = store::ReadSearchTree();
  std::vector<const store::SearchFunction*> large;
  for (const auto& fn : tree.functions)
    if (fn.detailFuncId >= kFirst) large.push_back(&fn);
  ASSERT_EQ(large.size(), static_cast<size_t>(kRows));
  for (int32_t i = 0; i < kRows; ++i) {
    const std::string n = std::to_string(kFirst + i);
    ASSERT_EQ(large[i]->detailFuncId, kFirst + i);
    ASSERT_EQ(large[i]->helpCode, (i % 8 != 0 ? "U" : "F") + n) << i;
    ASSERT_EQ(large[i]->name, "功能" + n);
    ASSERT_EQ(large[i]->className, "Gl.Func");
    ASSERT_EQ(large[i]->classParam, n);
  }
}
}  // namespace
}  // namespace wayfind::storetest
