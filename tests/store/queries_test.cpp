// The host's queries over a small navigation tree: account-type filters, BOS
// queries, node questions, lookups, and the small server services.
#include <random>

#include "platform/automation/conversions.h"
#include "platform/navigation/levels.h"
#include "store/codes.h"
#include "store/display_name.h"
#include "store/queries.h"
#include "store_fixture.h"

namespace wayfind::storetest {
namespace {

using store::DataInfo;

class QueriesTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    auto top = tableOf(templ(), "TopClass");
    addRow(top, {{"FTopClassID", 1}, {"FTopClassName", "财务会计"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(top, {{"FTopClassID", 2}, {"FTopClassName", "医药"}, {"FIndex", 2}, {"FVisible", 1}, {"FAcctType", ",12,"}});
    addRow(top, {{"FTopClassID", 3}, {"FTopClassName", "医院"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ",11,"}});
    addRow(top, {{"FTopClassID", 4}, {"FTopClassName", "隐藏"}, {"FIndex", 4}, {"FVisible", 0}, {"FAcctType", ""}});

    auto sys = tableOf(templ(), "SubSystem");
    addRow(sys, {{"FSubSysID", 101}, {"FTopClassID", 1}, {"FName", "总账"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}, {"FRefresh", 1}});
    addRow(sys, {{"FSubSysID", 102}, {"FTopClassID", 1}, {"FName", "报表"}, {"FIndex", 2}, {"FVisible", 1}, {"FAcctType", ",1,3,"}});
    addRow(sys, {{"FSubSysID", 103}, {"FTopClassID", 1}, {"FName", "GMP"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ",12,"}});
    addRow(sys, {{"FSubSysID", 201}, {"FTopClassID", 2}, {"FName", "药品"}, {"FIndex", 1}, {"FVisible", 0}, {"FAcctType", ""}});

    auto sub = tableOf(templ(), "SubFunc");
    addRow(sub, {{"FSubFuncID", 5}, {"FSubSysID", 101}, {"FFuncName", "凭证"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}, {"FSetEnable", 1}, {"FRefresh", 0}});
    addRow(sub, {{"FSubFuncID", 6}, {"FSubSysID", 101}, {"FFuncName", "账簿"}, {"FIndex", 2}, {"FVisible", 0}, {"FAcctType", ""}});
    addRow(sub, {{"FSubFuncID", 705}, {"FSubSysID", 101}, {"FFuncName", "我的报表"}, {"FIndex", 3}, {"FVisible", 1}, {"FAcctType", ""}, {"FRefresh", 0}});

    auto det = tableOf(templ(), "DetailFunc");
    addRow(det, {{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FFuncName", "凭证录入"}, {"FShowName", "录入"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}, {"FHelpCode", "PZLR"}, {"FFuncType", 0}});
    addRow(det, {{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "GMP 凭证"}, {"FShowName", "GMP"}, {"FIndex", 2}, {"FVisible", 1}, {"FAcctType", " ,12, "}, {"FFuncType", 0}});
    addRow(det, {{"FDetailFuncID", 13}, {"FSubFuncID", 5}, {"FFuncName", "隐藏"}, {"FShowName", "隐"}, {"FIndex", 3}, {"FVisible", 0}, {"FAcctType", ""}, {"FFuncType", 0}});

    auto acct = tableOf(templ(), "AcctType");
    addRow(acct, {{"FAcctType", 1}, {"FNumber", "Industry"}, {"FShowName", "工业"}, {"FDeleted", 0}});
    addRow(acct, {{"FAcctType", 12}, {"FNumber", "O'Neil"}, {"FShowName", "医药"}, {"FDeleted", 0}});
    addRow(acct, {{"FAcctType", 2}, {"FNumber", "Commerce"}, {"FShowName", "商业"}, {"FDeleted", 1}});

    auto usys = tableOf(user(), "SubSystem");
    addRow(usys, {{"FSubSysID", 150000}, {"FTopClassID", 1}, {"FName", "我的系统"}, {"FIndex", 9}, {"FVisible", 1}, {"FAcctType", ""}});
    addRow(usys, {{"FSubSysID", 101}, {"FTopClassID", 1}, {"FName", "我的总账"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
    auto usub = tableOf(user(), "SubFunc");
    addRow(usub, {{"FSubFuncID", 705}, {"FSubSysID", 101}, {"FFuncName", "用户报表"}, {"FIndex", 3}, {"FVisible", 1}});
    auto prof = tableOf(user(), "Profile");
    addRow(prof, {{"FName", "CLICK_ACTIVATE"}, {"FValue", "1"}});
    addRow(prof, {{"FName", "it's"}, {"FValue", "quoted"}});
    addRow(prof, {{"FName", "EMPTY"}});
  }
};

TEST_F(QueriesTest, AccountTypeFiltersMatchWholeCodesOnly) {
  setSetupType("Industry");  // 1
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), (std::vector<int32_t>{1}));
  EXPECT_EQ(ids(store::GetTopClass_All(), "FTopClassID"), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(DataInfo::instance().acctTypeCode, 1);

  setSetupType("YYHY");  // 11: ",1," must not match, ",12," neither
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(ids(store::GetSubSystem(1), "FSubSysID"), (std::vector<int32_t>{101, 150000}));
  EXPECT_EQ(DataInfo::instance().acctTypeCode, 11);

  setSetupType("gmphy");  // 12
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(ids(store::GetSubSystem(1), "FSubSysID"), (std::vector<int32_t>{101, 103, 150000}));
  EXPECT_EQ(ids(store::GetDetailFunc(5), "FDetailFuncID"), (std::vector<int32_t>{11, 12}));
}

TEST_F(QueriesTest, TreeLevelsMergeTheUsersRowsAndKeepVisibleOnes) {
  auto sys = store::GetSubSystem(1);
  EXPECT_EQ(ids(sys, "FSubSysID"), (std::vector<int32_t>{101, 102, 150000}));
  EXPECT_EQ(sys->value("FName"), Variant("我的总账"));
  EXPECT_EQ(ids(store::GetSubFunc(101), "FSubFuncID"), (std::vector<int32_t>{5, 705}));
  EXPECT_EQ(ids(store::GetSubFunc_All(101), "FSubFuncID"), (std::vector<int32_t>{5, 6, 705}));
  EXPECT_EQ(ids(store::GetSubFunc_All(-1), "FSubFuncID"), (std::vector<int32_t>{5, 6, 705}));
  EXPECT_EQ(ids(store::GetSubSystem_All(-1), "FSubSysID"), (std::vector<int32_t>{101, 201, 102, 150000}));
  EXPECT_EQ(ids(store::GetDetailFunc_All(5), "FDetailFuncID"), (std::vector<int32_t>{11, 13}));
  EXPECT_TRUE(store::GetDetailFunc(6)->isEOF());
}

TEST_F(QueriesTest, BOSQueryIgnoresTheAccountTypeAndInAllSubsystemsTheUsersRows) {
  store::SetIsBOSQuery(true);
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(ids(store::GetSubSystem_All(-1), "FSubSysID"), (std::vector<int32_t>{101, 102, 103, 201}));
  auto all = store::GetSubSystem_All(1);
  EXPECT_EQ(ids(all, "FSubSysID"), (std::vector<int32_t>{101, 102, 103}));
  EXPECT_EQ(all->value("FName"), Variant("总账")) << "not renamed by the user";
  // The other levels still merge.
  EXPECT_EQ(ids(store::GetSubSystem(1), "FSubSysID"), (std::vector<int32_t>{101, 102, 103, 150000}));
  EXPECT_EQ(ids(store::GetDetailFunc(5), "FDetailFuncID"), (std::vector<int32_t>{11, 12}));
}

// The criteria texts are the system's own and other readers of the shared tables
// see them: each query leaves exactly its texts, spaces included.
TEST_F(QueriesTest, EveryQueryLeavesItsOwnCriteriaOnTheSharedTables) {
  auto& s = DataInfo::instance();
  auto expectFilters = [](const char* query, const RecordsetPtr& templ, const std::string& templText,
                          const RecordsetPtr& userTable, const std::string& userText) {
    EXPECT_EQ(templ->filter(), templText) << query << ": template";
    if (userTable) {
      EXPECT_EQ(userTable->filter(), userText) << query << ": user";
    }
  };
  setSetupType("YYHY");  // 11
  EXPECT_EQ(store::GetTopClass()->filter(), "FVisible = 1");
  expectFilters("GetTopClass", s.templ.TopClass, "(FAcctType='' ) Or ( FAcctType Like '%,11,%') ",
                s.user.TopClass, "");
  EXPECT_EQ(store::GetTopClass_All()->filter(), "");
  expectFilters("GetTopClass_All", s.templ.TopClass, "(FAcctType='') or (FAcctType Like '%,11,%') ",
                s.user.TopClass, "");
  EXPECT_EQ(store::GetSubSystem(1)->filter(), "FVisible = 1");
  expectFilters("GetSubSystem", s.templ.SubSystem,
                "(FTopClassID = 1 And FAccttype = '')  OR (FTopClassID = 1 and FAccttype like '%,11,%')",
                s.user.SubSystem, "FTopClassID =1");
  store::GetSubSystem_All(1);
  expectFilters("GetSubSystem_All", s.templ.SubSystem,
                "(FTopClassID=1 And FAccttype = '' ) or (FTopClassID=1 And FAccttype like '%,11,%')",
                s.user.SubSystem, " FTopClassID = 1");
  store::GetSubSystem_All(-1);
  expectFilters("GetSubSystem_All(-1)", s.templ.SubSystem, "FAcctType = '' OR FAccttype like '%,11,%'",
                s.user.SubSystem, "");
  EXPECT_EQ(store::GetSubFunc(101)->filter(), " FVisible = 1 ");
  expectFilters("GetSubFunc", s.templ.SubFunc,
                "(FSubSysID = 101 And Faccttype = '') Or (FSubSysID = 101 And FAcctType Like '%,11,%')",
                s.user.SubFunc, "FSubSysID = 101");
  store::GetSubFunc_All(101);
  expectFilters("GetSubFunc_All", s.templ.SubFunc,
                "(FSubSysID = 101 And Faccttype = '') or (FSubSysID = 101 And Faccttype like '%,11,%')",
                s.user.SubFunc, " FSubSysID = 101");
  store::GetSubFunc_All(-1);
  expectFilters("GetSubFunc_All(-1)", s.templ.SubFunc, "(Faccttype = '') or (Faccttype like '%,11,%')",
                s.user.SubFunc, "");
  EXPECT_EQ(store::GetDetailFunc(5)->filter(), "FVisible = 1");
  expectFilters("GetDetailFunc", s.templ.DetailFunc,
                "(FSubFuncID =5 And FAcctType ='') Or (FSubFuncID =5 And FAcctType Like '%,11,%')",
                s.user.DetailFunc, "FSubFuncID = 5");
  EXPECT_EQ(store::GetDetailFunc_All(5)->filter(), "");
  expectFilters("GetDetailFunc_All", s.templ.DetailFunc,
                "(FSubFuncID = 5 And FAcctType = '') Or (FSubFuncID = 5 And FAcctType Like '%,11,%')",
                s.user.DetailFunc, "FSubFuncID = 5");
  store::GetDetailFuncInfo(11);
  expectFilters("GetDetailFuncInfo", s.templ.DetailFunc, "FDetailFuncID = 11", s.user.DetailFunc,
                "FDetailFuncID = 11");
  store::GetDetailFuncInfo(12);
  expectFilters("GetDetailFuncInfo(reserved)", s.templ.DetailFunc, "FDetailFuncID = 0", s.user.DetailFunc,
                "FDetailFuncID = 12");

  store::SetIsBOSQuery(true);
  store::GetTopClass();
  expectFilters("BOS GetTopClass", s.templ.TopClass, "", s.user.TopClass, "");
  store::GetSubSystem(1);
  expectFilters("BOS GetSubSystem", s.templ.SubSystem, "FTopClassID = 1", s.user.SubSystem, "FTopClassID =1");
  store::GetSubSystem_All(1);
  expectFilters("BOS GetSubSystem_All", s.templ.SubSystem, "FTopClassID=1", nullptr, "");
  store::GetSubSystem_All(-1);
  expectFilters("BOS GetSubSystem_All(-1)", s.templ.SubSystem, "", nullptr, "");
  store::GetSubFunc(101);
  expectFilters("BOS GetSubFunc", s.templ.SubFunc, "FSubSysID = 101", s.user.SubFunc, "FSubSysID = 101");
  store::GetSubFunc_All(101);
  expectFilters("BOS GetSubFunc_All", s.templ.SubFunc, "FSubSysID = 101", s.user.SubFunc, " FSubSysID = 101");
  store::GetSubFunc_All(-1);
  expectFilters("BOS GetSubFunc_All(-1)", s.templ.SubFunc, "", s.user.SubFunc, "");
  store::GetDetailFunc(5);
  expectFilters("BOS GetDetailFunc", s.templ.DetailFunc, "FSubFuncID =5", s.user.DetailFunc, "FSubFuncID = 5");
  store::GetDetailFunc_All(5);
  expectFilters("BOS GetDetailFunc_All", s.templ.DetailFunc, "FSubFuncID = 5", s.user.DetailFunc,
                "FSubFuncID = 5");
  store::SetIsBOSQuery(false);

  DictionaryPtr dict;
  store::IsRefresh(101, 2, dict);
  EXPECT_EQ(s.templ.SubSystem->filter(), "FSubSysID = 101");
  store::IsRefresh(705, 3, dict);
  expectFilters("IsRefresh", s.templ.SubFunc, "FSubFuncID = 705", s.user.SubFunc, "FSubFuncID = 705");
  store::IsRefreshNode(101, 2);
  EXPECT_EQ(s.templ.SubSystem->filter(), "FSubSysID =101");
  store::IsRefreshNode(5, 3);
  EXPECT_EQ(s.templ.SubFunc->filter(), "FSubFuncID=5");
  store::IsSetEnable(6, dict);
  EXPECT_EQ(s.templ.SubFunc->filter(), "FSubFuncID = 6");
  store::GetSubSystemInfo(102, dict);
  expectFilters("GetSubSystemInfo", s.templ.SubSystem, "FSubSysID = 102", s.user.SubSystem, "FSubSysID = 102");
  store::GetAcctInfo(12);
  EXPECT_EQ(s.templ.AcctType->filter(), "FAcctType = 12 AND FDeleted = 0 ");
  store::GetAcctInfo(0);
  EXPECT_EQ(s.templ.AcctType->filter(), " FDeleted = 0 ");
  store::GetAcctShowName("Industry");
  EXPECT_EQ(s.templ.AcctType->filter(), "FNumber = 'Industry'");
  store::GetProfileValue("CLICK_ACTIVATE");
  EXPECT_EQ(s.user.Profile->filter(), "FName='CLICK_ACTIVATE'");
  store::IsHasChild(nav::kTopClassBase, 2);
  EXPECT_EQ(s.user.SubSystem->filter(), "FTopClassID=2");
  store::IsHasChild(nav::kSubSystemBase, 102);
  EXPECT_EQ(s.user.SubFunc->filter(), "FSubSysID=102");
  store::IsHasChild(nav::kSubFuncBase, 6);
  EXPECT_EQ(s.user.DetailFunc->filter(), "FSubFuncID=6");
}

// Every tree query's texts over its cases: BOS query or not, an identifier below
// zero or not, two account types. {id} and {code} stand for the identifier and
// the account-type code; a user text of nullptr: the user's table is not touched.
TEST_F(QueriesTest, TreeQueryCriteriaOverEveryCase) {
  using Query = RecordsetPtr (*)(int32_t);
  struct Case {
    Query query;
    int level;  // 1 TopClass .. 4 DetailFunc
    bool bos;
    bool negative;
    const char* templ;
    const char* user;
    const char* result;
  };
  const Case cases[] = {
      {[](int32_t) { return store::GetTopClass(); }, 1, false, false, "(FAcctType='' ) Or ( FAcctType Like '%,{code},%') ", "", "FVisible = 1"},
      {[](int32_t) { return store::GetTopClass(); }, 1, true, false, "", "", "FVisible = 1"},
      {[](int32_t) { return store::GetTopClass_All(); }, 1, false, false, "(FAcctType='') or (FAcctType Like '%,{code},%') ", "", ""},
      {[](int32_t) { return store::GetTopClass_All(); }, 1, true, false, "", "", ""},
      {store::GetSubSystem, 2, false, false, "(FTopClassID = {id} And FAccttype = '')  OR (FTopClassID = {id} and FAccttype like '%,{code},%')", "FTopClassID ={id}", "FVisible = 1"},
      {store::GetSubSystem, 2, false, true, "(FTopClassID = {id} And FAccttype = '')  OR (FTopClassID = {id} and FAccttype like '%,{code},%')", "FTopClassID ={id}", "FVisible = 1"},
      {store::GetSubSystem, 2, true, false, "FTopClassID = {id}", "FTopClassID ={id}", "FVisible = 1"},
      {store::GetSubSystem, 2, true, true, "FTopClassID = {id}", "FTopClassID ={id}", "FVisible = 1"},
      {store::GetSubSystem_All, 2, false, false, "(FTopClassID={id} And FAccttype = '' ) or (FTopClassID={id} And FAccttype like '%,{code},%')", " FTopClassID = {id}", ""},
      {store::GetSubSystem_All, 2, false, true, "FAcctType = '' OR FAccttype like '%,{code},%'", "", ""},
      {store::GetSubSystem_All, 2, true, false, "FTopClassID={id}", nullptr, ""},
      {store::GetSubSystem_All, 2, true, true, "", nullptr, ""},
      {store::GetSubFunc, 3, false, false, "(FSubSysID = {id} And Faccttype = '') Or (FSubSysID = {id} And FAcctType Like '%,{code},%')", "FSubSysID = {id}", " FVisible = 1 "},
      {store::GetSubFunc, 3, false, true, "(FSubSysID = {id} And Faccttype = '') Or (FSubSysID = {id} And FAcctType Like '%,{code},%')", "FSubSysID = {id}", " FVisible = 1 "},
      {store::GetSubFunc, 3, true, true, "FSubSysID = {id}", "FSubSysID = {id}", " FVisible = 1 "},
      {store::GetSubFunc_All, 3, false, false, "(FSubSysID = {id} And Faccttype = '') or (FSubSysID = {id} And Faccttype like '%,{code},%')", " FSubSysID = {id}", ""},
      {store::GetSubFunc_All, 3, false, true, "(Faccttype = '') or (Faccttype like '%,{code},%')", "", ""},
      {store::GetSubFunc_All, 3, true, false, "FSubSysID = {id}", " FSubSysID = {id}", ""},
      {store::GetSubFunc_All, 3, true, true, "", "", ""},
      {store::GetDetailFunc, 4, false, false, "(FSubFuncID ={id} And FAcctType ='') Or (FSubFuncID ={id} And FAcctType Like '%,{code},%')", "FSubFuncID = {id}", "FVisible = 1"},
      {store::GetDetailFunc, 4, false, true, "(FSubFuncID ={id} And FAcctType ='') Or (FSubFuncID ={id} And FAcctType Like '%,{code},%')", "FSubFuncID = {id}", "FVisible = 1"},
      {store::GetDetailFunc, 4, true, true, "FSubFuncID ={id}", "FSubFuncID = {id}", "FVisible = 1"},
      {store::GetDetailFunc_All, 4, false, false, "(FSubFuncID = {id} And FAcctType = '') Or (FSubFuncID = {id} And FAcctType Like '%,{code},%')", "FSubFuncID = {id}", ""},
      {store::GetDetailFunc_All, 4, false, true, "(FSubFuncID = {id} And FAcctType = '') Or (FSubFuncID = {id} And FAcctType Like '%,{code},%')", "FSubFuncID = {id}", ""},
      {store::GetDetailFunc_All, 4, true, true, "FSubFuncID = {id}", "FSubFuncID = {id}", ""},
  };
  auto& s = DataInfo::instance();
  auto tables = [&s](int level) -> std::pair<RecordsetPtr, RecordsetPtr> {
    switch (level) {
      case 1: return {s.templ.TopClass, s.user.TopClass};
      case 2: return {s.templ.SubSystem, s.user.SubSystem};
      case 3: return {s.templ.SubFunc, s.user.SubFunc};
      default: return {s.templ.DetailFunc, s.user.DetailFunc};
    }
  };
  for (const auto& [setupType, code] : {std::pair{"gmphy", "12"}, std::pair{"Industry", "1"}}) {
    setSetupType(setupType);
    for (size_t i = 0; i < std::size(cases); ++i) {
      const Case& c = cases[i];
      const int32_t id = c.negative ? -3 : 107;
      auto text = [&](std::string t) {
        for (auto [key, value] : {std::pair{std::string("{id}"), std::to_string(id)}, std::pair{std::string("{code}"), std::string(code)}})
          for (size_t at; (at = t.find(key)) != std::string::npos;) t.replace(at, key.size(), value);
        return t;
      };
      store::SetIsBOSQuery(c.bos);
      store::EnsureLoaded();
      auto [templ, userTable] = tables(c.level);
      userTable->setFilter("FVisible = 7");
      const std::string result = c.query(id)->filter();
      const std::string where = "case " + std::to_string(i) + ": level " + std::to_string(c.level) + (c.bos ? " BOS" : "") + " id " +
                                std::to_string(id) + " code " + code;
      EXPECT_EQ(templ->filter(), text(c.templ)) << where;
      EXPECT_EQ(userTable->filter(), c.user ? text(c.user) : "FVisible = 7") << where;
      EXPECT_EQ(result, c.result) << where;
    }
  }
  store::SetIsBOSQuery(false);
}

TEST_F(QueriesTest, DetailFuncInfoOfAnotherAccountTypeIsEmptyWithTheTablesColumns) {
  auto rs = store::GetDetailFuncInfo(12);
  EXPECT_TRUE(rs->isEOF() && rs->isBOF());
  EXPECT_EQ(rs->fieldCount(), tableOf(templ(), "DetailFunc")->fieldCount());
  EXPECT_EQ(ids(store::GetDetailFuncInfo(13), "FDetailFuncID"), std::vector<int32_t>{13});
  setSetupType("GMPHY");
  EXPECT_EQ(ids(store::GetDetailFuncInfo(12), "FDetailFuncID"), std::vector<int32_t>{12});
}

TEST_F(QueriesTest, NodeQuestions) {
  DictionaryPtr dict;
  EXPECT_TRUE(store::IsRefresh(101, 2, dict));
  ASSERT_TRUE(dict);
  EXPECT_EQ(dict->GetValue("FName"), Variant("总账"));

  // A user-owned folder: always refreshed, described by the user's row.
  dict.reset();
  EXPECT_TRUE(store::IsRefresh(705, 3, dict));
  EXPECT_EQ(dict->GetValue("FFuncName"), Variant("用户报表"));
  EXPECT_EQ(dict->GetValue("FClassName"), Variant::null()) << "the user table has the field";

  auto untouched = std::make_shared<Dictionary>();
  dict = untouched;
  EXPECT_FALSE(store::IsRefresh(999, 3, dict));
  EXPECT_EQ(dict, untouched);
  EXPECT_FALSE(store::IsRefresh(5, 3, dict));
  EXPECT_NE(dict, untouched);

  EXPECT_TRUE(store::IsRefreshNode(101, 2));
  EXPECT_FALSE(store::IsRefreshNode(102, 2)) << "Null counts as false";
  EXPECT_FALSE(store::IsRefreshNode(999, 3));

  EXPECT_TRUE(store::IsSetEnable(5, dict));
  EXPECT_FALSE(store::IsSetEnable(6, dict));
  EXPECT_EQ(platform::CLng(dict->GetValue("FSubFuncID")), 6);

  EXPECT_TRUE(store::GetSubSystemInfo(101, dict));
  EXPECT_EQ(dict->GetValue("FName"), Variant("我的总账"));
  EXPECT_TRUE(store::GetSubSystemInfo(150000, dict));
  EXPECT_FALSE(store::GetSubSystemInfo(999, dict));
}

TEST_F(QueriesTest, UserOwnedFolderWithoutAClassGetsTheLedgerView) {
  auto usub = makeSubFunc();
  usub = std::make_shared<Recordset>();
  usub->appendField("FSubFuncID", DataType::Integer);
  usub->appendField("FFuncName", DataType::VarWChar, 80);
  usub->open();
  addRow(usub, {{"FSubFuncID", 705}, {"FFuncName", "无类"}});
  user()->SetValue("SubFunc", Variant(usub));
  DictionaryPtr dict;
  EXPECT_TRUE(store::IsRefresh(705, 3, dict));
  EXPECT_EQ(dict->GetValue("FClassName"), Variant("ZecglView.GLData"));
}

TEST_F(QueriesTest, AccountInfoAndLookups) {
  auto acct = store::GetAcctInfo(0);
  EXPECT_EQ(acct, DataInfo::instance().templ.AcctType) << "the table itself";
  EXPECT_EQ(acct->RecordCount(), 2);
  EXPECT_EQ(store::GetAcctInfo(12)->RecordCount(), 1);
  EXPECT_EQ(store::GetAcctInfo(2)->RecordCount(), 0);

  EXPECT_EQ(store::GetAcctShowName("Industry"), "工业");
  EXPECT_EQ(store::GetAcctShowName("nothing"), "");
  EXPECT_EQ(store::GetProfileValue("CLICK_ACTIVATE"), "1");
  EXPECT_EQ(store::GetProfileValue("MISSING"), "");
  EXPECT_EQ(store::GetProfileValue("EMPTY"), "");
}

TEST_F(QueriesTest, QuotesInLookupTextsFindWhatTheyName) {
  EXPECT_EQ(store::GetAcctShowName("O'Neil"), "医药");
  EXPECT_EQ(store::GetProfileValue("it's"), "quoted");
  // A quote cannot widen the filter.
  EXPECT_EQ(store::GetProfileValue("x' Or FName <> '"), "");
  EXPECT_EQ(store::GetAcctShowName("x' Or FNumber <> '"), "");
}

TEST_F(QueriesTest, FailureFreeLookupsAnswerEmptyText) {
  platform::ScopedUnregistration gone(erp::progid::kServerDataInfo);
  store::ClearCache();
  EXPECT_EQ(store::GetProfileValue("CLICK_ACTIVATE"), "");
  EXPECT_EQ(store::GetAcctShowName("Industry"), "");
  EXPECT_EQ(store::GetSubSysClass(1, 2), "Class1_2");
  datas->fail = true;
  EXPECT_EQ(store::GetSubSysClass(1, 2), "");
  EXPECT_EQ(store::GetSubSysName(11), "");
  platform::ScopedUnregistration noDatas(erp::progid::kServerDatasInfo);
  EXPECT_EQ(store::GetSubSysName(11), "");
}

// ---- help codes, next index and id, children, account-type code ----

TEST_F(QueriesTest, HelpCodeFindsEitherCodeAndQuotesAreSafe) {
  auto rows = makeDetailFunc();
  addRow(rows, {{"FDetailFuncID", 11}, {"FHelpCode", "PZ"}, {"FHelpCode1", "LR"}});
  addRow(rows, {{"FDetailFuncID", 12}, {"FHelpCode", "O'K"}});
  addRow(rows, {{"FDetailFuncID", 13}, {"FHelpCode", "ZZ"}});
  datas->helpRows = rows;
  auto found = store::GetHelpCodeInfo("LR");
  EXPECT_EQ(found->filter(), "FHelpCode = 'LR' OR FHelpCode1 = 'LR'");
  EXPECT_EQ(ids(found, "FDetailFuncID"), std::vector<int32_t>{11});
  EXPECT_EQ(ids(store::GetHelpCodeInfo("O'K"), "FDetailFuncID"), std::vector<int32_t>{12});
  EXPECT_EQ(datas->lastHelpCode, "O'K") << "the server gets the code as typed";
  EXPECT_TRUE(store::GetHelpCodeInfo("x' OR FHelpCode <> '")->isEOF());
}

TEST_F(QueriesTest, HelpCodeFailureIsErrorFiveWithItsReason) {
  datas->fail = true;
  try {
    store::GetHelpCodeInfo("PZ");
    FAIL();
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), "获取助记码信息失败。\r\n失败原因：server down");
  }
}

TEST_F(QueriesTest, NextIndexAndIdAreZeroOnAnyFailure) {
  EXPECT_EQ(store::GetNextIndex(3, 5), 7);
  EXPECT_EQ(store::GetNextID(3, 5), 10000042);
  datas->nextId = Variant("not a number");
  EXPECT_EQ(store::GetNextID(3, 5), 0);
  platform::ScopedUnregistration gone(erp::progid::kServerDatasInfo);
  EXPECT_EQ(store::GetNextIndex(3, 5), 0);
  EXPECT_EQ(store::GetNextID(3, 5), 0);
}

TEST_F(QueriesTest, IsHasChildLooksAtTheUsersRowsOnly) {
  EXPECT_TRUE(store::IsHasChild(nav::kTopClassBase, 1));
  EXPECT_FALSE(store::IsHasChild(nav::kTopClassBase, 2)) << "template subsystems are not children";
  EXPECT_TRUE(store::IsHasChild(nav::kSubSystemBase, 101));
  EXPECT_FALSE(store::IsHasChild(nav::kSubFuncBase, 5));
  EXPECT_FALSE(store::IsHasChild(nav::kDetailFuncBase, 11));
  EXPECT_THROW(store::IsHasChild(500, 1), platform::AutomationError);
}

// The detail functions of many sub-functions read at once are the rows, values
// and order GetDetailFunc gives each: over template rows of several account
// types, hidden ones, equal orders, a show name to fill, names in three
// languages, and user rows that rename, hide, show, move, add, and fill a
// user's own folder; a sub-function with an id twice among its template rows
// (merged the literal way); in either language, for two account types and a
// BOS query, with a sub-function asked twice and one that has no rows.
TEST_F(QueriesTest, DetailFunctionsReadAtOnceAreWhatEachSubFunctionsQueryGives) {
  const std::vector<int32_t> subFuncs{5, 6, 7, 705, 750102001, 8, 5, 99};
  auto det = tableOf(templ(), "DetailFunc");
  auto udet = tableOf(user(), "DetailFunc");
  std::mt19937 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* const accts[] = {"", "", ",1,", ",12,", " ,1, ", ",3,"};
  for (int32_t id = 100; id < 220; ++id) {
    std::map<std::string, Variant> row{
        {"FDetailFuncID", id}, {"FSubFuncID", subFuncs[static_cast<size_t>(pick(6))]}, {"FFuncName", "明细" + std::to_string(id)},
        {"FFuncName_en", "Detail " + std::to_string(id)}, {"FFuncName_cht", "明細" + std::to_string(id)},
        {"FHelpCode", "MX" + std::to_string(id)}, {"FVisible", pick(4) == 0 ? 0 : 1}, {"FEnable", pick(5) == 0 ? 0 : 1},
        {"FAcctType", accts[pick(6)]}, {"FClassName", "Gl.Func"}, {"FClassParam", std::to_string(id)}, {"FFuncType", 0}};
    if (pick(6)) row["FIndex"] = pick(4);
    if (pick(3)) row["FShowName"] = "示" + std::to_string(id % 10);
    addRow(det, row);
  }
  addRow(det, {{"FDetailFuncID", 150}, {"FSubFuncID", 8}, {"FFuncName", "重复"}, {"FIndex", 1}, {"FVisible", 1}, {"FAcctType", ""}});
  std::map<std::pair<int32_t, int32_t>, std::string> userShow;  // a later row of a place replaces an earlier one
  for (int k = 0; k < 60; ++k) {
    const int32_t id = pick(5) == 0 ? 1000000000 + k : 100 + pick(125);
    std::map<std::string, Variant> row{
        {"FDetailFuncID", id}, {"FSubFuncID", subFuncs[static_cast<size_t>(pick(6))]}, {"FFuncName", "我的" + std::to_string(id)},
        {"FFuncName_en", "Mine " + std::to_string(id)}, {"FFuncName_cht", "我的" + std::to_string(id)},
        {"FHelpCode", "U" + std::to_string(k)}, {"FVisible", pick(3) == 0 ? 0 : 1}, {"FEnable", 1},
        {"FClassName", "My.Class"}, {"FClassParam", "p" + std::to_string(k)}};
    if (pick(5)) row["FIndex"] = pick(4);
    if (pick(2)) row["FShowName"] = "我的" + std::to_string(k);
    userShow[{platform::CLng(row["FSubFuncID"]), id}] = row.count("FShowName") ? platform::CStr(row["FShowName"]) : "";
    addRow(udet, row);
  }

  auto text = [](const Variant& v) { return v.isNull() ? std::string("<null>") : platform::textOrEmpty(v); };
  for (const char* language : {"chs", "en"}) {
    for (int setup = 0; setup < 3; ++setup) {
      setLanguage(language);
      setSetupType(setup == 1 ? "gmphy" : "Industry");
      store::SetIsBOSQuery(setup == 2);
      store::DetailFuncReader reader(subFuncs);
      while (!reader.step()) {
      }
      for (size_t i = 0; i < subFuncs.size(); ++i) {
        auto rs = store::GetDetailFunc(subFuncs[i]);
        std::vector<std::string> want, got;
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
          for (int f = 0; f < rs->fieldCount(); ++f) want.push_back(rs->fieldInfo(f).name + "=" + text(rs->value(f)));
        }
        for (const store::StoredRow& row : reader.rows(i)) {
          for (int f = 0; f < rs->fieldCount(); ++f) {
            const int at = row.rs->requireField(rs->fieldInfo(f).name);
            got.push_back(rs->fieldInfo(f).name + "=" + text(row.rs->storedValue(row.row, at)));
          }
        }
        EXPECT_EQ(got, want) << language << " setup " << setup << " sub-function " << subFuncs[i];
        if (subFuncs[i] != 99 && subFuncs[i] != 750102001) {
          EXPECT_FALSE(want.empty()) << subFuncs[i];
        }
      }
    }
  }

  // The user's show names by place, as the tree and the search name functions.
  const auto names = store::UserDetailNames::read();
  for (const auto& [place, show] : userShow) {
    const std::string* got = names.showName(place.first, place.second);
    ASSERT_NE(got, nullptr) << place.first << " " << place.second;
    EXPECT_EQ(*got, show) << place.first << " " << place.second;
  }
  EXPECT_EQ(names.showName(5, 99999), nullptr);
  EXPECT_EQ(names.showName(99, 100), nullptr);
}

TEST_F(QueriesTest, AccountTypeCodeFollowsTheSetupType) {
  EXPECT_EQ(store::AcctTypeCodeOf("industry"), 1);
  EXPECT_EQ(store::AcctTypeCodeOf("Commerce"), 2);
  EXPECT_EQ(store::AcctTypeCodeOf("xthy"), 17);
  EXPECT_EQ(store::AcctTypeCodeOf("ZQHY"), 15);
  EXPECT_EQ(store::AcctTypeCodeOf("Unknown"), 1);
  EXPECT_EQ(store::AcctTypeCodeOf(" GYWL"), 1);

  setSetupType("");
  EXPECT_EQ(store::GetAcctTypeCode(), 1) << "an empty setup type on the first call";
  setSetupType("WMHY");
  EXPECT_EQ(store::GetAcctTypeCode(), 16);
  EXPECT_EQ(DataInfo::instance().setupTypeText, "WMHY");
}

}  // namespace
}  // namespace wayfind::storetest
