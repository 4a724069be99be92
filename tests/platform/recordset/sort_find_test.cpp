// Sort and Find on the visible view, and how they combine with filters and with
// rows added after the view was built.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::errorOf;
using wayfind::test::labels;
using Labels = std::vector<std::string>;

namespace {

RecordsetPtr people() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->appendField("FGroup", DataType::Integer);
  rs->appendField("FTitle", DataType::VarWChar, 20);
  rs->open();
  rs->appendStoredRow({"p0", 2, "beta"});
  rs->appendStoredRow({"p1", 1, "Alpha"});
  rs->appendStoredRow({"p2", Variant::null(), "alpha"});
  rs->appendStoredRow({"p3", 2, Variant::null()});
  rs->appendStoredRow({"p4", 1, "Gamma"});
  return rs;
}

}  // namespace

TEST(RecordsetSort, StableWithNullFirstAscendingAndLastDescending) {
  auto rs = people();
  rs->setSort("FGroup");
  EXPECT_EQ(labels(*rs), (Labels{"p2", "p1", "p4", "p0", "p3"}));
  rs->setSort("FGroup DESC");
  EXPECT_EQ(labels(*rs), (Labels{"p0", "p3", "p1", "p4", "p2"}));
  rs->setSort("FTitle ASC");  // letter case ignored, equal texts keep storage order
  EXPECT_EQ(labels(*rs), (Labels{"p3", "p1", "p2", "p0", "p4"}));
  rs->setSort(" [FGroup] desc , FTitle ");
  EXPECT_EQ(labels(*rs), (Labels{"p3", "p0", "p1", "p4", "p2"}));
  EXPECT_EQ(rs->sort(), " [FGroup] desc , FTitle ");
  rs->setSort("");
  EXPECT_EQ(labels(*rs), (Labels{"p0", "p1", "p2", "p3", "p4"}));
}

// A sort needs one order: NaN goes after every number, and in a field holding
// numbers and texts the numbers come first (a numeric text is still a text).
TEST(RecordsetSort, NotANumberAndMixedValuesSortInOneOrder) {
  struct Case {
    DataType type;
    std::vector<Variant> values;
    Labels sorted;
  };
  const Case cases[] = {
      {DataType::Double, {3.0, std::nan(""), 1.0, 2.0}, {"r2", "r3", "r0", "r1"}},
      {DataType::Variant, {"10", 10, "9", 5}, {"r3", "r1", "r0", "r2"}},
  };
  for (const Case& c : cases) {
    auto rs = std::make_shared<Recordset>();
    rs->appendField("FName", DataType::VarWChar, 10);
    rs->appendField("FV", c.type);
    rs->open();
    for (size_t i = 0; i < c.values.size(); ++i) rs->appendStoredRow({"r" + std::to_string(i), c.values[i]});
    rs->setSort("FV");
    EXPECT_EQ(labels(*rs), c.sorted);
  }
  // Nor does a filter take NaN for any number: only "<>" holds for it.
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->appendField("FV", DataType::Double);
  rs->open();
  for (const auto& [name, v] : {std::pair{"r0", 3.0}, {"r1", std::nan("")}, {"r2", 1.0}}) rs->appendStoredRow({name, v});
  const std::pair<const char*, Labels> filters[] = {
      {"FV = 3", {"r0"}}, {"FV <= 3", {"r0", "r2"}}, {"FV >= 1", {"r0", "r2"}}, {"FV <> 3", {"r1", "r2"}}};
  for (const auto& [filter, expected] : filters) {
    rs->setFilter(filter);
    EXPECT_EQ(labels(*rs), expected) << filter;
  }
}

TEST(RecordsetSort, MovesToTheFirstRowAndRejectsBadTexts) {
  auto rs = people();
  rs->MoveLast();
  rs->setSort("FName DESC");
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(rs->value("FName"), Variant("p4"));
  EXPECT_EQ(errorOf([&] { rs->setSort("FNoSuch"); }), err::kItemNotFound);
  for (const char* bad : {"FName,", ",FName", "FName UP", "[FName", "FName ASC DESC", "[]"})
    EXPECT_EQ(errorOf([&] { rs->setSort(bad); }), err::kBadArguments) << bad;
  EXPECT_EQ(rs->sort(), "FName DESC");
  EXPECT_EQ(labels(*rs), (Labels{"p4", "p3", "p2", "p1", "p0"}));
}

TEST(RecordsetSort, SortAppliesToTheFilteredViewAndSurvivesANewFilter) {
  auto rs = people();
  rs->setFilter("FGroup = 1 OR FGroup = 2");
  rs->setSort("FTitle DESC");
  EXPECT_EQ(labels(*rs), (Labels{"p4", "p0", "p1", "p3"}));
  rs->setFilter("FGroup = 2");
  EXPECT_EQ(labels(*rs), (Labels{"p0", "p3"}));
  rs->setFilter("");
  EXPECT_EQ(labels(*rs), (Labels{"p4", "p0", "p1", "p2", "p3"}));
}

TEST(RecordsetFind, SearchesFromTheCurrentRowInEitherDirection) {
  auto rs = people();
  rs->MoveFirst();
  ASSERT_TRUE(rs->Find("FGroup = 1"));
  EXPECT_EQ(rs->value("FName"), Variant("p1"));
  ASSERT_TRUE(rs->Find("FGroup = 1"));  // the current row counts
  EXPECT_EQ(rs->value("FName"), Variant("p1"));
  ASSERT_TRUE(rs->Find("FGroup = 1", 1));
  EXPECT_EQ(rs->value("FName"), Variant("p4"));
  EXPECT_FALSE(rs->Find("FGroup = 1", 1));
  EXPECT_TRUE(rs->isEOF());
  ASSERT_TRUE(rs->Find("FGroup = 2", 0, SearchDirection::Backward));  // from EOF: the last row
  EXPECT_EQ(rs->value("FName"), Variant("p3"));
  ASSERT_TRUE(rs->Find("FGroup = 2", 1, SearchDirection::Backward));
  EXPECT_EQ(rs->value("FName"), Variant("p0"));
  EXPECT_FALSE(rs->Find("FTitle = 'gamma'", 0, SearchDirection::Backward));
  EXPECT_TRUE(rs->isBOF());
  ASSERT_TRUE(rs->Find("FTitle = 'gamma'"));  // from BOF forward: the first row on
  EXPECT_EQ(rs->value("FName"), Variant("p4"));
}

TEST(RecordsetFind, TakesOneClauseAndSeesOnlyTheView) {
  auto rs = people();
  rs->MoveFirst();
  EXPECT_EQ(errorOf([&] { rs->Find("FGroup = 1 AND FName = 'p1'"); }), err::kBadArguments);
  EXPECT_EQ(errorOf([&] { rs->Find("FGroup ="); }), err::kBadArguments);
  EXPECT_EQ(errorOf([&] { rs->Find("FNoSuch = 1"); }), err::kItemNotFound);
  EXPECT_EQ(rs->value("FName"), Variant("p0"));  // a rejected Find leaves the cursor
  rs->setFilter("FGroup = 2");
  EXPECT_FALSE(rs->Find("FName = 'p1'"));
  EXPECT_TRUE(rs->isEOF());
}

TEST(RecordsetFind, EmptySetEndsAtBothMarkers) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  rs.open();
  EXPECT_FALSE(rs.Find("FID = 1"));
  EXPECT_TRUE(rs.isBOF() && rs.isEOF());
}

TEST(RecordsetViews, NewRowsStayVisibleUntilTheNextFilter) {
  auto rs = people();
  rs->setFilter("FGroup = 1");
  rs->AddNew();
  rs->setValue("FName", "p5");
  rs->setValue("FGroup", 3);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  rs->setFilter("FGroup = 1");
  EXPECT_EQ(labels(*rs), (Labels{"p1", "p4"}));
  rs->setFilter("FGroup = 3");
  EXPECT_EQ(labels(*rs), (Labels{"p5"}));
}

TEST(RecordsetViews, LoadedRowsJoinTheViewWhereFilterAndSortPutThem) {
  auto rs = people();
  rs->setFilter("FGroup <> 2 OR FGroup = Null");
  rs->setSort("FTitle");
  rs->setAbsolutePosition(2);  // "Alpha" (p1) and "alpha" (p2) tie: storage order
  EXPECT_EQ(rs->value("FName"), Variant("p2"));
  rs->appendStoredRow({"p5", 1, "Aardvark"});  // sorts first: the cursor stays on p2
  rs->appendStoredRow({"p6", 2, "Aaa"});       // filtered out
  EXPECT_EQ(rs->value("FName"), Variant("p2"));
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  EXPECT_EQ(labels(*rs), (Labels{"p5", "p1", "p2", "p4"}));
}

TEST(RecordsetIndex, FollowsNewRowsAndChangedValues) {
  auto rs = wayfind::test::makeTreeTable();
  rs->setFilter("FSubFuncID = 5");  // builds the index
  EXPECT_EQ(rs->RecordCount(), 7);
  // Change r0 from parent 5 to parent 6.
  rs->setFilter("FDetailFuncID = 1000");
  rs->setValue("FSubFuncID", 6);
  rs->setFilter("FSubFuncID = 5");
  EXPECT_EQ(rs->RecordCount(), 6);
  rs->setFilter("FSubFuncID = 6");
  EXPECT_EQ(labels(*rs), (Labels{"r0", "r7"}));
  // A new row, first Null (not indexed), then given a parent.
  rs->AddNew();
  rs->setValue("FName", "new");
  rs->setFilter("FSubFuncID = Null");
  EXPECT_EQ(labels(*rs), (Labels{"new"}));
  rs->MoveFirst();
  rs->setValue("FSubFuncID", "6");
  rs->setFilter("FSubFuncID = 6");
  EXPECT_EQ(labels(*rs), (Labels{"r0", "r7", "new"}));
  rs->MoveFirst();
  ASSERT_TRUE(rs->Find("FSubFuncID = 6", 2));
  EXPECT_EQ(rs->value("FName"), Variant("new"));
  // Setting Null takes a row out of its bucket.
  rs->setValue("FSubFuncID", Variant::null());
  rs->setFilter("FSubFuncID = 6");
  EXPECT_EQ(labels(*rs), (Labels{"r0", "r7"}));
}
