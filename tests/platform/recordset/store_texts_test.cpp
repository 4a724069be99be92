// Every filter, sort and find text the navigation store sets, written with its
// own spacing and letter case, against the trap tables.
#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::labels;

namespace {

using Labels = std::vector<std::string>;

struct Case {
  std::string text;
  Labels expected;
};

std::string n(int v) { return std::to_string(v); }

void expectFilters(Recordset& rs, const std::vector<Case>& cases) {
  for (bool indexed : {true, false}) {
    rs.setUseIndexes(indexed);
    for (const Case& c : cases) {
      rs.setFilter(c.text);
      EXPECT_EQ(labels(rs), c.expected) << '"' << c.text << '"' << (indexed ? " indexed" : " full");
      EXPECT_EQ(rs.RecordCount(), static_cast<int32_t>(c.expected.size())) << c.text;
    }
  }
}

const Labels kAnyParentCode1 = {"r1", "r2", "r5", "r6", "r7", "r8", "r10"};
const Labels kAnyParentCode12 = {"r1", "r4", "r6", "r8"};
const Labels kParent5Code1 = {"r1", "r2", "r5"};
const Labels kParent5Code3 = {"r1", "r5", "r9"};
const Labels kParent5Code11 = {"r1", "r3"};
const Labels kParent5Code12 = {"r1", "r4"};
const Labels kParent5 = {"r0", "r1", "r2", "r3", "r4", "r5", "r9"};

}  // namespace

TEST(StoreFilterTexts, TopClassAccountTypeFilters) {
  auto rs = wayfind::test::makeTreeTable();
  expectFilters(*rs, {
      {"(FAcctType='' ) Or ( FAcctType Like '%," + n(1) + ",%') ", kAnyParentCode1},
      {"(FAcctType='') or (FAcctType Like '%," + n(1) + ",%') ", kAnyParentCode1},
      {"(FAcctType='' ) Or ( FAcctType Like '%," + n(12) + ",%') ", kAnyParentCode12},
      {"(FAcctType='') or (FAcctType Like '%," + n(12) + ",%') ", kAnyParentCode12},
  });
}

TEST(StoreFilterTexts, SubSystemFilters) {
  auto rs = wayfind::test::makeTreeTable();
  expectFilters(*rs, {
      {"(FTopClassID = " + n(5) + " And FAccttype = '')  OR (FTopClassID = " + n(5) +
           " and FAccttype like '%," + n(1) + ",%')",
       kParent5Code1},
      {"(FTopClassID = " + n(5) + " And FAccttype = '')  OR (FTopClassID = " + n(5) +
           " and FAccttype like '%," + n(3) + ",%')",
       kParent5Code3},
      {"FTopClassID = " + n(5), kParent5},
      {"FTopClassID =" + n(5), kParent5},
      {"FTopClassID =" + n(50), {"r8"}},
      {"(FTopClassID=" + n(5) + " And FAccttype = '' ) or (FTopClassID=" + n(5) +
           " And FAccttype like '%," + n(11) + ",%')",
       kParent5Code11},
      {"(FTopClassID=" + n(4) + " And FAccttype = '' ) or (FTopClassID=" + n(4) +
           " And FAccttype like '%," + n(1) + ",%')",
       {"r6"}},
      {"FAcctType = '' OR FAccttype like '%," + n(1) + ",%'", kAnyParentCode1},
      {"FTopClassID=" + n(6), {"r7"}},
      {" FTopClassID = " + n(5), kParent5},
      {"FTopClassID = " + n(7), {}},
  });
}

TEST(StoreFilterTexts, SubFuncFilters) {
  auto rs = wayfind::test::makeTreeTable();
  expectFilters(*rs, {
      {"(FSubSysID = " + n(5) + " And Faccttype = '') Or (FSubSysID = " + n(5) +
           " And FAcctType Like '%," + n(1) + ",%')",
       kParent5Code1},
      {"(FSubSysID = " + n(5) + " And Faccttype = '') Or (FSubSysID = " + n(5) +
           " And FAcctType Like '%," + n(12) + ",%')",
       kParent5Code12},
      {"FSubSysID = " + n(5), kParent5},
      {"FSubSysID = " + n(15), {"r10"}},
      {"(FSubSysID = " + n(5) + " And Faccttype = '') or (FSubSysID = " + n(5) +
           " And Faccttype like '%," + n(3) + ",%')",
       kParent5Code3},
      {"(Faccttype = '') or (Faccttype like '%," + n(1) + ",%')", kAnyParentCode1},
      {" FSubSysID = " + n(5), kParent5},
      {" FVisible = 1 ", {"r0", "r1", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"}},
      {"FVisible = 1", {"r0", "r1", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"}},
  });
}

TEST(StoreFilterTexts, DetailFuncFilters) {
  auto rs = wayfind::test::makeTreeTable();
  expectFilters(*rs, {
      {"(FSubFuncID =" + n(5) + " And FAcctType ='') Or (FSubFuncID =" + n(5) +
           " And FAcctType Like '%," + n(1) + ",%')",
       kParent5Code1},
      {"(FSubFuncID =" + n(6) + " And FAcctType ='') Or (FSubFuncID =" + n(6) +
           " And FAcctType Like '%," + n(1) + ",%')",
       {"r7"}},
      {"FSubFuncID =" + n(5), kParent5},
      {"FSubFuncID = " + n(5), kParent5},
      {"(FSubFuncID = " + n(5) + " And FAcctType = '') Or (FSubFuncID = " + n(5) +
           " And FAcctType Like '%," + n(11) + ",%')",
       kParent5Code11},
      {"FDetailFuncID = " + n(1003), {"r3"}},
      {"FDetailFuncID = 0", {}},
      {"FDetailFuncID=" + n(1010), {"r10"}},
  });
}

TEST(StoreFilterTexts, NodeQuestionFilters) {
  auto rs = wayfind::test::makeTreeTable();
  expectFilters(*rs, {
      {"FSubSysID = " + n(50), {"r8"}},
      {"FSubFuncID = " + n(4), {"r6"}},
      {"FSubSysID =" + n(6), {"r7"}},
      {"FSubFuncID=" + n(15), {"r10"}},
      {"FTopClassID=" + n(4), {"r6"}},
      {"FSubSysID=" + n(50), {"r8"}},
      {"FSubFuncID=" + n(51), {}},
  });
}

TEST(StoreFilterTexts, AccountTypeTableFilters) {
  auto rs = wayfind::test::makeAcctTypeTable();
  expectFilters(*rs, {
      {"FAcctType = " + n(1) + " AND FDeleted = 0 ", {"a1"}},
      {"FAcctType = " + n(2) + " AND FDeleted = 0 ", {}},
      {" FDeleted = 0 ", {"a1", "a12"}},
      {"FNumber = '" + std::string("12") + "'", {"a12"}},
      {"FNumber = '" + std::string("1") + "'", {}},
  });
}

TEST(StoreFilterTexts, ProfileAndHelpCodeFilters) {
  auto profile = wayfind::test::makeProfileTable();
  profile->setFilter("FName='" + std::string("click_activate") + "'");
  ASSERT_EQ(profile->RecordCount(), 1);
  EXPECT_EQ(profile->value("FValue"), Variant("1"));
  profile->setFilter("FName='" + std::string("REFRESH_SYS") + "'");
  EXPECT_EQ(profile->RecordCount(), 0);

  auto help = wayfind::test::makeHelpCodeTable();
  const std::string code = "PZ";
  expectFilters(*help, {
      {"FHelpCode = '" + code + "' OR FHelpCode1 = '" + code + "'", {"h1", "h2"}},
      {"FHelpCode = '" + std::string("zz") + "' OR FHelpCode1 = '" + std::string("zz") + "'", {"h3"}},
  });
  // A help code holding a quote breaks the text, as the store expects.
  const std::string quoted = "P'Z";
  EXPECT_THROW(help->setFilter("FHelpCode = '" + quoted + "' OR FHelpCode1 = '" + quoted + "'"),
               AutomationError);
}

TEST(StoreSortTexts, MergeSortsOrderByIndexThenIdentifier) {
  auto rs = wayfind::test::makeTreeTable();
  rs->setFilter("FSubFuncID = " + n(5));
  rs->setSort("FIndex");
  // Null first, ties in storage order.
  EXPECT_EQ(labels(*rs), (Labels{"r4", "r9", "r3", "r5", "r1", "r2", "r0"}));
  for (const char* sort : {"FIndex,FSubSysID", "FIndex,FSubFuncID", "FIndex,FDetailFuncID"}) {
    rs->setSort(sort);
    EXPECT_EQ(labels(*rs), (Labels{"r4", "r9", "r3", "r5", "r1", "r2", "r0"})) << sort;
  }
  rs->setSort("FIndex DESC,FDetailFuncID DESC");
  EXPECT_EQ(labels(*rs), (Labels{"r0", "r2", "r1", "r5", "r3", "r9", "r4"}));
}

TEST(StoreFindTexts, FindByIdentifierFromTheFirstRow) {
  auto rs = wayfind::test::makeTreeTable();
  rs->setSort("FIndex,FDetailFuncID");
  for (bool indexed : {true, false}) {
    rs->setUseIndexes(indexed);
    rs->MoveFirst();
    ASSERT_TRUE(rs->Find("FDetailFuncID=" + n(1005)));
    EXPECT_EQ(rs->value("FName"), Variant("r5"));
    rs->MoveFirst();
    ASSERT_TRUE(rs->Find("FTopClassID=" + n(50)));
    EXPECT_EQ(rs->value("FName"), Variant("r8"));
    rs->MoveFirst();
    ASSERT_TRUE(rs->Find("FSubSysID=" + n(5)));
    EXPECT_EQ(rs->value("FName"), Variant("r4"));  // first in sort order
    rs->MoveFirst();
    ASSERT_TRUE(rs->Find("FSubFuncID=" + n(4)));
    EXPECT_EQ(rs->value("FName"), Variant("r6"));
    rs->MoveFirst();
    EXPECT_FALSE(rs->Find("FDetailFuncID=" + n(999)));
    EXPECT_TRUE(rs->isEOF());
  }
}
