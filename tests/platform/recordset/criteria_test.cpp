// The criteria language: what parses, what is rejected, and how each kind of
// field compares with each kind of value.
#include <gtest/gtest.h>

#include <functional>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/like_pattern.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::errorOf;
using wayfind::test::labels;
using Labels = std::vector<std::string>;

namespace {

// FName label, FID integer, FText text, FAmount double, FDay date, FFlag boolean,
// FAny variant.
RecordsetPtr mixedTable() {
  auto rs = wayfind::test::makeMixedFields();
  rs->appendField("F Space", DataType::Integer);
  rs->open();
  rs->appendStoredRow({"m0", 1, "Apple", 1.5, "2024-01-31", true, 10, 7});
  rs->appendStoredRow({"m1", 2, "apple pie", -2.0, "2023-12-01", false, "10", Variant::null()});
  rs->appendStoredRow({"m2", -3, "O'Brien", 0.0, Variant::null(), Variant::null(), "x", 7});
  rs->appendStoredRow({"m3", Variant::null(), "50%_off", 100.0, "2024-01-31 12:00:00", true, Variant::null(), 8});
  rs->appendStoredRow({"m4", 20, "凭证录入", 20.0, "2025-06-01", false, 2.5, 9});
  return rs;
}

Labels select(Recordset& rs, const std::string& text) {
  rs.setFilter(text);
  return labels(rs);
}

}  // namespace

TEST(CriteriaSyntax, KeywordsInAnyCaseAndSpacingAsItComes) {
  auto rs = mixedTable();
  EXPECT_EQ(select(*rs, "FID=1"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "  FID   =   1  "), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "\tFID\t=\t1"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "fid = 1 oR FID = 2"), (Labels{"m0", "m1"}));
  EXPECT_EQ(select(*rs, "FID > 0 aNd FID < 20"), (Labels{"m0", "m1"}));
  EXPECT_EQ(select(*rs, "FText lIkE 'apple%'"), (Labels{"m0", "m1"}));
  EXPECT_EQ(select(*rs, "[FID] = 20"), (Labels{"m4"}));
  EXPECT_EQ(select(*rs, "[F Space] = 7"), (Labels{"m0", "m2"}));
  EXPECT_EQ(select(*rs, "FID<>1"), (Labels{"m1", "m2", "m4"}));
  EXPECT_EQ(select(*rs, "FID>=2"), (Labels{"m1", "m4"}));
  EXPECT_EQ(select(*rs, "FID<=-3"), (Labels{"m2"}));
  EXPECT_EQ(select(*rs, "FAmount = 1.5"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "FAmount = 1E2"), (Labels{"m3"}));
  EXPECT_EQ(select(*rs, "FAmount < -1.5"), (Labels{"m1"}));
}

TEST(CriteriaSyntax, AndBindsTighterThanOrAndParenthesesNest) {
  auto rs = mixedTable();
  // FID = 1 OR (FID = 2 AND FAmount > 0): m1's amount is negative.
  EXPECT_EQ(select(*rs, "FID = 1 OR FID = 2 AND FAmount > 0"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "(FID = 1 OR FID = 2) AND FAmount > 0"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "(FID = 1 OR FID = 2) AND FAmount < 0"), (Labels{"m1"}));
  EXPECT_EQ(select(*rs, "FAmount < 0 AND FID = 2 OR FID = 20"), (Labels{"m1", "m4"}));
  EXPECT_EQ(select(*rs, "((((FID = 1)))) or ((FID = 20 and (FFlag = 0 or FFlag = 1)))"), (Labels{"m0", "m4"}));
  EXPECT_EQ(select(*rs, "(FID = 1 Or (FID = 2 And (FText Like 'apple%' Or FID = 99))) And FName <> 'm0'"),
            (Labels{"m1"}));
}

TEST(CriteriaSyntax, TextsDatesAndNullLiterals) {
  auto rs = mixedTable();
  EXPECT_EQ(select(*rs, "FText = 'O''Brien'"), (Labels{"m2"}));
  EXPECT_EQ(select(*rs, "FText = '凭证录入'"), (Labels{"m4"}));
  EXPECT_EQ(select(*rs, "FDay = #2024-01-31#"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "FDay >= #2024-01-31#"), (Labels{"m0", "m3", "m4"}));
  EXPECT_EQ(select(*rs, "FDay < '2024-01-01'"), (Labels{"m1"}));
  EXPECT_EQ(select(*rs, "FID = Null"), (Labels{"m3"}));
  EXPECT_EQ(select(*rs, "FID = NULL"), (Labels{"m3"}));
  EXPECT_EQ(select(*rs, "FID <> null"), (Labels{"m0", "m1", "m2", "m4"}));
  EXPECT_EQ(select(*rs, "FID > Null"), (Labels{}));
}

TEST(CriteriaSyntax, MalformedTextRaises3001AndKeepsThePreviousFilter) {
  auto rs = mixedTable();
  rs->setFilter("FID = 2");
  rs->MoveNext();  // to EOF: a failed filter must not move the cursor either
  const char* bad[] = {
      "FID", "FID =", "FID 5", "= 5", "(FID = 5", "FID = 5)", "FID = 'abc", "FID = #2024-01-01",
      "FID = #not a date#", "FID = 5 AND", "FID = 5 OR OR FID = 6", "FID == 5", "[FID = 5",
      "[] = 5", "FText LIKE 5", "FText LIKE Null", "FID = abc", "AND = 5", "FID = 5 FID = 6",
      "FID = 1e", "FID = 5x", "FID = --5", "FID = .", "FID = 'a' 'b'", "()", "FID = 5 AND ()",
      "FID ! 5", "FID =< 5", "FID = 5;", "FID = 'abc'", "FAmount > 'x'", "FDay = 'someday'",
      "FID = #1#2#",
  };
  for (const char* text : bad) {
    EXPECT_EQ(errorOf([&] { rs->setFilter(text); }), err::kBadArguments) << text;
    EXPECT_EQ(rs->filter(), "FID = 2") << text;
    EXPECT_EQ(rs->RecordCount(), 1) << text;
    EXPECT_TRUE(rs->isEOF()) << text;
  }
}

TEST(CriteriaSyntax, DeepNestingIsRejectedNotOverflowed) {
  auto rs = mixedTable();
  std::string deep = std::string(100000, '(') + "FID = 1" + std::string(100000, ')');
  EXPECT_EQ(errorOf([&] { rs->setFilter(deep); }), err::kBadArguments);
  std::string fine = std::string(30, '(') + "FID = 1" + std::string(30, ')');
  EXPECT_EQ(select(*rs, fine), (Labels{"m0"}));
}

TEST(CriteriaSyntax, UnknownFieldRaises3265AndKeepsTheFilter) {
  auto rs = mixedTable();
  rs->setFilter("FID = 1");
  EXPECT_EQ(errorOf([&] { rs->setFilter("FNoSuch = 1"); }), err::kItemNotFound);
  EXPECT_EQ(errorOf([&] { rs->setFilter("FID = 1 OR FNoSuch = 1"); }), err::kItemNotFound);
  EXPECT_EQ(rs->filter(), "FID = 1");
  EXPECT_EQ(labels(*rs), (Labels{"m0"}));
}

TEST(CriteriaSyntax, EmptyTextRemovesTheFilter) {
  auto rs = mixedTable();
  rs->setFilter("FID = 1");
  rs->setFilter("");
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->filter(), "");
  rs->setFilter("FID = 1");
  rs->setFilter("   ");
  EXPECT_EQ(rs->RecordCount(), 5);
}

TEST(CriteriaValues, TextsCompareWithoutLetterCase) {
  auto rs = mixedTable();
  EXPECT_EQ(select(*rs, "FText = 'APPLE'"), (Labels{"m0"}));
  EXPECT_EQ(select(*rs, "FText <> 'apple'"), (Labels{"m1", "m2", "m3", "m4"}));
  EXPECT_EQ(select(*rs, "FText > 'APPLE' AND FText < 'b'"), (Labels{"m1"}));
  EXPECT_EQ(select(*rs, "FName = 'M4'"), (Labels{"m4"}));
}

TEST(CriteriaValues, NullSatisfiesOnlyEqualsNull) {
  auto rs = mixedTable();
  EXPECT_EQ(select(*rs, "FID <> 1"), (Labels{"m1", "m2", "m4"}));  // m3 is Null
  EXPECT_EQ(select(*rs, "FID < 100"), (Labels{"m0", "m1", "m2", "m4"}));
  EXPECT_EQ(select(*rs, "FFlag = 0 OR FFlag <> 0"), (Labels{"m0", "m1", "m3", "m4"}));
  EXPECT_EQ(select(*rs, "FAny Like '%'"), (Labels{"m0", "m1", "m2", "m4"}));
}

TEST(CriteriaValues, NumbersAgainstTextsAndBooleans) {
  auto rs = mixedTable();
  EXPECT_EQ(select(*rs, "FID = '2'"), (Labels{"m1"}));   // a number field takes a numeric text
  EXPECT_EQ(select(*rs, "FID = 2.5"), (Labels{}));       // no integer is 2.5
  EXPECT_EQ(select(*rs, "FID = 2.0"), (Labels{"m1"}));
  EXPECT_EQ(select(*rs, "FFlag = 1"), (Labels{"m0", "m3"}));  // any non-zero is True
  EXPECT_EQ(select(*rs, "FFlag = -1"), (Labels{"m0", "m3"}));
  EXPECT_EQ(select(*rs, "FFlag = 'False'"), (Labels{"m1", "m4"}));
  // A variant field compares numbers as numbers and texts as texts.
  EXPECT_EQ(select(*rs, "FAny = 10"), (Labels{"m0", "m1"}));
  EXPECT_EQ(select(*rs, "FAny = '10'"), (Labels{"m0", "m1"}));
  EXPECT_EQ(select(*rs, "FAny = 'X'"), (Labels{"m2"}));
  EXPECT_EQ(select(*rs, "FAny > 5"), (Labels{"m0", "m1"}));
  // A number and a text that is no number do not compare: nothing holds.
  EXPECT_EQ(select(*rs, "FAny <> 5"), (Labels{"m0", "m1", "m4"}));
  EXPECT_EQ(select(*rs, "FAny <> 'x'"), (Labels{"m1"}));
  EXPECT_EQ(select(*rs, "FText < 5"), (Labels{}));
  // A text that reads "nan" or "inf" (a help code, say) is a text, never a number
  // equal to every other or greater than any.
  rs->appendStoredRow({"m5", 5, "nan", 1.0, Variant::null(), Variant::null(), "INF", 1});
  EXPECT_EQ(select(*rs, "FText = 12"), (Labels{}));
  EXPECT_EQ(select(*rs, "FAny > 100000"), (Labels{}));
  EXPECT_EQ(select(*rs, "FText = 'NaN'"), (Labels{"m5"}));
}

TEST(CriteriaValues, AccountTypeListsMatchWholeCodesOnly) {
  Recordset rs;
  rs.appendField("FName", DataType::VarWChar, 10);
  rs.appendField("FAcctType", DataType::VarWChar, 255);
  rs.open();
  for (auto [name, acct] : std::vector<std::pair<const char*, Variant>>{
           {"n", Variant::null()}, {"e", ""}, {"c1", ",1,"}, {"c11", ",11,"}, {"c12", ",12,"},
           {"c13", ",1,3,"}, {"c21", ",2,1,"}})
    rs.appendStoredRow({name, acct});
  EXPECT_EQ(select(rs, "FAcctType Like '%,1,%'"), (Labels{"c1", "c13", "c21"}));
  EXPECT_EQ(select(rs, "FAcctType Like '%,3,%'"), (Labels{"c13"}));
  EXPECT_EQ(select(rs, "FAcctType Like '*,12,*'"), (Labels{"c12"}));
  EXPECT_EQ(select(rs, "FAcctType = ''"), (Labels{"e"}));
  EXPECT_EQ(select(rs, "FAcctType <> ''"), (Labels{"c1", "c11", "c12", "c13", "c21"}));
}

TEST(LikePatternTest, WildcardsAnywhereAndNothingElseSpecial) {
  EXPECT_TRUE(LikePattern("abc").matches("ABC"));
  EXPECT_FALSE(LikePattern("abc").matches("abcd"));
  EXPECT_TRUE(LikePattern("a%").matches("a"));
  EXPECT_TRUE(LikePattern("%c").matches("abc"));
  EXPECT_FALSE(LikePattern("%c").matches("abcd"));
  EXPECT_TRUE(LikePattern("a%c").matches("ac"));
  EXPECT_TRUE(LikePattern("a*b*c").matches("aXXbYYc"));
  EXPECT_FALSE(LikePattern("a*b*c").matches("aXXcYYb"));
  EXPECT_FALSE(LikePattern("ab%ba").matches("aba"));
  EXPECT_TRUE(LikePattern("ab%ba").matches("abba"));
  EXPECT_TRUE(LikePattern("%").matches(""));
  EXPECT_TRUE(LikePattern("%%").matches("anything"));
  EXPECT_TRUE(LikePattern("").matches(""));
  EXPECT_FALSE(LikePattern("").matches("x"));
  EXPECT_TRUE(LikePattern("50_%").matches("50_off"));
  EXPECT_FALSE(LikePattern("5_").matches("50"));  // '_' is an ordinary character
  EXPECT_TRUE(LikePattern("%录%").matches("凭证录入"));
  EXPECT_FALSE(LikePattern("%,1,%").matches(",11,"));
}
