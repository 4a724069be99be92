// Texts of one shape (the same text but for its numbers) share a parsed and bound
// tree. Every text must still select exactly the rows, and raise exactly the
// error, that a set which never saw the shape gives it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/recordset/criteria_shape.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::labels;
using Labels = std::vector<std::string>;

namespace {

// FName label, FID integer, FText text, FAmount double, FDay date, FFlag
// boolean, FAny variant.
RecordsetPtr mixedTable() {
  auto rs = wayfind::test::makeMixedFields();
  rs->open();
  rs->appendStoredRow({"m0", 1, "5", 1.5, "2024-01-31", true, 10});
  rs->appendStoredRow({"m1", 2, "apple", -2.0, "2023-12-01", false, "10"});
  rs->appendStoredRow({"m2", -3, "\x01", 0.0, Variant::null(), Variant::null(), "2.5"});
  rs->appendStoredRow({"m3", Variant::null(), "-3", 100.0, "2024-01-31 12:00:00", true, Variant::null()});
  rs->appendStoredRow({"m4", 20, "20", 20.0, "2025-06-01", false, 2.5});
  return rs;
}

// What a set that never saw the text or its shape makes of it: its rows, or the
// error's number and description.
std::string freshAnswer(const std::string& text) {
  auto rs = mixedTable();
  try {
    rs->setFilter(text);
  } catch (const AutomationError& e) {
    return "error " + std::to_string(e.number()) + ": " + e.description();
  }
  std::string out;
  for (const auto& l : labels(*rs)) out += l + " ";
  return out;
}

std::string answer(Recordset& rs, const std::string& text) {
  try {
    rs.setFilter(text);
  } catch (const AutomationError& e) {
    return "error " + std::to_string(e.number()) + ": " + e.description();
  }
  std::string out;
  for (const auto& l : labels(rs)) out += l + " ";
  return out;
}

}  // namespace

TEST(CriteriaShapes, EveryTextOfAShapeSelectsWhatAFreshSetSelects) {
  // Each group holds texts of one shape; the numbers go through the forms the
  // parser reads (signs, points, exponents) and through each kind of field.
  const std::vector<std::vector<std::string>> groups = {
      {"FID = 1", "FID = 2", "FID = -3", "FID = 20", "FID = 2.0", "FID = 2.5", "FID = +1", "FID = 2e1",
       "FID = 1E0", "FID = .5", "FID = 99999999999999999999", "FID = 0020", "FID = -0", "FID = -03",
       "FID = 123456789012345", "FID = 1234567890123456", "FID = 20."},
      {"(FID = 1 And FText = '5') Or (FID = 20 And FText Like '%0')",
       "(FID = 20 And FText = '5') Or (FID = 1 And FText Like '%0')",
       "(FID = 2 And FText = '5') Or (FID = 20 And FText Like '%0')"},
      {"FFlag = 1", "FFlag = 0", "FFlag = 7", "FFlag = -1", "FFlag = 0.0"},
      {"FAmount > 1.5", "FAmount > -2", "FAmount > 19.99", "FAmount >= 1e2"},
      {"FDay < 45000", "FDay < 46000", "FDay < 45322.5"},
      // A number against a text or Variant field compares by its value or its
      // text, depending on each row: such numbers are not shared.
      {"FText = 5", "FText = 20", "FText = -3", "FText = 5.0"},
      {"FAny = 10", "FAny = 2.5", "FAny = 10.0", "FAny > 3"},
      {"FID = 1 OR FAny = 10", "FID = 20 OR FAny = 2.5", "FID = 2 OR FAny = 2.5"},
      {"FID IN 1", "FID IN 2"},
      {"FID = 1 AND", "FID = 123 AND", "FID = 7 AND"},
      {"FNope = 1", "FNope = 2"},
      {"FText = '\x01' OR FID = 1", "FText = '\x01' OR FID = 2"},
  };
  for (const auto& group : groups) {
    auto rs = mixedTable();
    for (int round = 0; round < 2; ++round) {
      for (const auto& text : group) EXPECT_EQ(answer(*rs, text), freshAnswer(text)) << text;
    }
  }
}

TEST(CriteriaShapes, RandomTextsOnOneSetAnswerAsOnFreshSets) {
  // Texts of a few shapes with random numbers, in random order, on one set:
  // every answer (rows or error) must be that of a set which never saw a text.
  const char* fields[] = {"FID", "FAmount", "FFlag", "FDay", "FText", "FAny", "FNope"};
  const char* ops[] = {" = ", "=", " <> ", " > ", " <= ", " Like "};
  const char* numbers[] = {"1", "2", "-3", "20", "0", "2.5", "1e1", ".5", "+1", "007", "1x", "-", "1e"};
  unsigned seed = 12345;
  auto pick = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto clause = [&] {
    return std::string(fields[pick(7)]) + ops[pick(6)] + numbers[pick(13)];
  };
  auto rs = mixedTable();
  for (int i = 0; i < 400; ++i) {
    std::string text;
    switch (pick(4)) {
      case 0: text = clause(); break;
      case 1: text = "(" + clause() + " And " + clause() + ") Or " + clause(); break;
      case 2: text = clause() + " OR FText = '5'"; break;
      default: text = "FID = " + std::string(numbers[pick(13)]) + " And " + clause(); break;
    }
    EXPECT_EQ(answer(*rs, text), freshAnswer(text)) << text;
  }
}

TEST(CriteriaShapes, FindAndFilterShareShapesWithoutMixingTheirNumbers) {
  auto rs = mixedTable();
  rs->setFilter("FID > -10");
  EXPECT_EQ(labels(*rs), (Labels{"m0", "m1", "m2", "m4"}));
  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("FID > 1"));
  EXPECT_EQ(rs->value("FName").asString(), "m1");
  rs->setFilter("FID > 1");
  EXPECT_EQ(labels(*rs), (Labels{"m1", "m4"}));
  rs->MoveFirst();
  EXPECT_FALSE(rs->Find("FID > 20"));
  EXPECT_TRUE(rs->isEOF());
  // The filter set before Find is still the one in force.
  EXPECT_EQ(rs->filter(), "FID > 1");
  rs->setFilter("FID > -10");
  EXPECT_EQ(labels(*rs).size(), 4u);
}

TEST(CriteriaShapes, TheLexerFindsTheNumbersTheParserReads) {
  std::string shape;
  std::vector<criteria::Span> numbers;
  ASSERT_TRUE(criteria::shapeOf("(FSubFuncID =12 And FAcctType ='') Or (F2 = -1.5e3 And [F 3] Like '%,3,%')",
                                shape, numbers));
  EXPECT_EQ(shape, "(FSubFuncID =\x01 And FAcctType ='') Or (F2 = \x01 And [F 3] Like '%,3,%')");
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(numbers[0].offset, 13u);
  EXPECT_EQ(numbers[0].length, 2u);
  EXPECT_EQ(numbers[1].length, 6u);
  // Numbers inside quotes, brackets and dates are part of the shape.
  ASSERT_TRUE(criteria::shapeOf("FText = 'It''s 5' AND [F1] = #2024-01-31# AND FX1 = 2", shape, numbers));
  EXPECT_EQ(shape, "FText = 'It''s 5' AND [F1] = #2024-01-31# AND FX1 = \x01");
  // Texts the parser refuses, or that hold the mark, have no shape.
  EXPECT_FALSE(criteria::shapeOf("FID = 1x", shape, numbers));
  EXPECT_FALSE(criteria::shapeOf("FID = -", shape, numbers));
  EXPECT_FALSE(criteria::shapeOf("FID = \x01", shape, numbers));
}

TEST(CriteriaShapes, ClonesShareFieldsUntilOneOfThemChangesAField) {
  auto source = mixedTable();
  source->setPrecision(3, 10, 2);
  source->setFilter("FID = 1");
  auto clone = source->cloneStructure();
  EXPECT_EQ(clone->fieldInfo(3), source->fieldInfo(3));

  clone->setPrecision(3, 12, 0);
  EXPECT_EQ(source->fieldInfo(3).precision, 10);
  EXPECT_EQ(source->fieldInfo(3).numericScale, 2);
  EXPECT_EQ(clone->fieldInfo(3).precision, 12);

  // A clone without rows may still take fields; the source keeps its own, and
  // each binds texts to its own fields.
  auto other = source->cloneStructure();
  other->appendField("FExtra", DataType::Integer);
  EXPECT_EQ(other->fieldCount(), source->fieldCount() + 1);
  EXPECT_EQ(wayfind::test::errorOf([&] { source->setFilter("FExtra = 1"); }), 3265);
  other->AddNew();
  other->setValue("FExtra", 1);
  other->setFilter("FExtra = 1");
  EXPECT_EQ(other->RecordCount(), 1);
  source->setFilter("FID = 2");
  EXPECT_EQ(labels(*source), (Labels{"m1"}));
  other->setSort("FExtra DESC");
  EXPECT_EQ(wayfind::test::errorOf([&] { source->setSort("FExtra DESC"); }), 3265);
}

TEST(CriteriaShapes, ClonesInDifferentThreadsShareTheirBoundTextsSafely) {
  // Each thread filters its own clone by every parent in turn; the clones share
  // one schema and its cache of shapes.
  auto source = std::make_shared<Recordset>();
  source->appendField("FName", DataType::VarWChar, 10);
  source->appendField("FParent", DataType::Integer);
  source->open();
  auto fill = [](Recordset& rs) {
    for (int i = 0; i < 200; ++i) rs.appendStoredRow({"r" + std::to_string(i), i % 20});
  };
  std::vector<RecordsetPtr> clones = {source->cloneStructure(), source->cloneStructure()};
  for (auto& c : clones) fill(*c);
  std::vector<int> wrong(clones.size(), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < clones.size(); ++t) {
    threads.emplace_back([&, t] {
      Recordset& rs = *clones[t];
      for (int round = 0; round < 300; ++round) {
        const int parent = static_cast<int>((round * 7 + t * 3) % 20);
        rs.setFilter("(FParent = " + std::to_string(parent) + " And FName <> '') Or FParent = " +
                     std::to_string(parent));
        if (rs.RecordCount() != 10) ++wrong[t];
        rs.setFilter("FParent = " + std::to_string(parent));
        if (rs.RecordCount() != 10 || rs.value("FParent").asLong() != parent) ++wrong[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, (std::vector<int>{0, 0}));
}
