// Copying a field's value from the current row of one set to the current row of
// another (setValueFrom): the stored value, Nulls, conversions and the errors
// must be those of setValue(index, source.value(sourceIndex)).
#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::errorOf;

namespace {

RecordsetPtr sourceTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FID", DataType::Integer);
  rs->appendField("FName", DataType::VarWChar, 80);
  rs->appendField("FShort", DataType::VarWChar, 4);
  rs->appendField("FAmount", DataType::Double);
  rs->appendField("FAny", DataType::Variant);
  rs->open();
  rs->appendStoredRow({7, "凭证录入 and more", "abcd", 2.5, "x"});
  rs->appendStoredRow({Variant::null(), Variant::null(), Variant::null(), Variant::null(), Variant::null()});
  rs->MoveFirst();
  return rs;
}

// 70 rows with FParent = row % 7, so filters on FParent use the hash index.
RecordsetPtr targetTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FParent", DataType::Integer);
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->appendField("FLong", DataType::VarWChar, 80);
  rs->appendField("FText", DataType::VarWChar, 0);
  rs->appendField("FAny", DataType::Variant);
  rs->open();
  for (int i = 0; i < 70; ++i) rs->appendStoredRow({i % 7, "n" + std::to_string(i), Variant::null(), "t", 1});
  rs->MoveFirst();
  return rs;
}

}  // namespace

TEST(RecordsetCopyValue, CopiesStoredValuesNullsAndConvertedValuesAsSetValueWould) {
  auto src = sourceTable();
  auto dst = targetTable();
  dst->setValueFrom(2, *src, 1);  // text into a wider text field
  EXPECT_EQ(dst->value(2).asString(), "凭证录入 and more");
  dst->setValueFrom(3, *src, 2);  // into a text field without a size
  EXPECT_EQ(dst->value(3).asString(), "abcd");
  dst->setValueFrom(2, *src, 3);  // a double into a text field converts
  EXPECT_EQ(dst->value(2).asString(), "2.5");
  dst->setValueFrom(4, *src, 4);  // Variant fields keep the value as it is
  EXPECT_EQ(dst->value(4).asString(), "x");
  dst->setValueFrom(1, *src, 2);  // a short text into a narrower field fits
  EXPECT_EQ(dst->value(1).asString(), "abcd");

  src->MoveNext();  // the row of Nulls
  for (int f = 1; f < 5; ++f) {
    dst->setValueFrom(f, *src, f == 4 ? 4 : 1);
    EXPECT_TRUE(dst->value(f).isNull()) << f;
  }
}

TEST(RecordsetCopyValue, RefusesWhatSetValueRefusesAndKeepsTheOldValue) {
  auto src = sourceTable();
  auto dst = targetTable();
  // 14 characters do not fit a field of 10.
  EXPECT_EQ(errorOf([&] { dst->setValueFrom(1, *src, 1); }), err::kDataTooLong);
  EXPECT_EQ(dst->value(1).asString(), "n0");
  EXPECT_EQ(errorOf([&] { dst->setValueFrom(9, *src, 1); }), err::kItemNotFound);
  EXPECT_EQ(errorOf([&] { dst->setValueFrom(1, *src, 9); }), err::kItemNotFound);
  src->MoveLast();
  src->MoveNext();
  EXPECT_EQ(errorOf([&] { dst->setValueFrom(1, *src, 0); }), err::kNoCurrentRecord);
  dst->MoveLast();
  dst->MoveNext();
  src->MoveFirst();
  EXPECT_EQ(errorOf([&] { dst->setValueFrom(0, *src, 0); }), err::kNoCurrentRecord);
}

TEST(RecordsetCopyValue, KeepsTheIndexOfTheTargetFieldCurrent) {
  auto src = sourceTable();
  auto dst = targetTable();
  dst->setFilter("FParent = 3");  // builds the index
  ASSERT_EQ(dst->RecordCount(), 10);
  dst->MoveFirst();
  dst->setValueFrom(0, *src, 0);  // 3 becomes 7
  dst->setFilter("FParent = 3");
  EXPECT_EQ(dst->RecordCount(), 9);
  dst->setFilter("FParent = 7");
  ASSERT_EQ(dst->RecordCount(), 1);
  EXPECT_EQ(dst->value("FName").asString(), "n3");
}

TEST(RecordsetCopyValue, ACopyWithinOneSetReadsTheValueBeforeWritingIt) {
  auto dst = targetTable();
  dst->setValue(2, Variant("a long enough text to move the text area"));
  dst->setValueFrom(3, *dst, 2);
  EXPECT_EQ(dst->value(3).asString(), "a long enough text to move the text area");
  EXPECT_EQ(dst->value(2).asString(), "a long enough text to move the text area");
}
