// Record set structure, value conversion on write, cursor movement and the
// whole-set access that loaders and cloning use.
#include <gtest/gtest.h>

#include <functional>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/recordset.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::errorOf;

namespace {

RecordsetPtr typedSet() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FSmall", DataType::SmallInt);
  rs->appendField("FLong", DataType::Integer);
  rs->appendField("FBig", DataType::BigInt);
  rs->appendField("FDouble", DataType::Double);
  rs->appendField("FMoney", DataType::Currency);
  rs->appendField("FDate", DataType::Date);
  rs->appendField("FFlag", DataType::Boolean);
  rs->appendField("FAny", DataType::Variant);
  rs->appendField("FName", DataType::VarWChar, 4);
  rs->appendField("FMemo", DataType::LongVarWChar);
  rs->open();
  return rs;
}

}  // namespace

TEST(RecordsetStructure, FieldsKeepTheirMetadataAndCompareWithoutCase) {
  Recordset rs;
  rs.appendField("FShowName", DataType::VarWChar, 80, fieldattr::kMayBeNull | fieldattr::kUpdatable);
  rs.appendField("FIndex", DataType::Integer);
  rs.setPrecision(1, 10, 0);
  EXPECT_EQ(rs.fieldCount(), 2);
  EXPECT_EQ(rs.fieldIndex("fshowname"), 0);
  EXPECT_EQ(rs.fieldIndex("FINDEX"), 1);
  EXPECT_EQ(rs.fieldIndex("FNone"), -1);
  EXPECT_EQ(rs.fieldInfo(0).definedSize, 80);
  EXPECT_EQ(rs.fieldInfo(0).attributes, fieldattr::kMayBeNull | fieldattr::kUpdatable);
  EXPECT_EQ(rs.fieldInfo(1).precision, 10);
  EXPECT_EQ(errorOf([&] { rs.requireField("FNone"); }), err::kItemNotFound);
  EXPECT_EQ(errorOf([&] { rs.fieldInfo(2); }), err::kSubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { rs.setPrecision(-1, 1); }), err::kSubscriptOutOfRange);
}

TEST(RecordsetStructure, RejectsBadFields) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  EXPECT_EQ(errorOf([&] { rs.appendField("fid", DataType::Integer); }), err::kBadArguments);
  EXPECT_EQ(errorOf([&] { rs.appendField("", DataType::Integer); }), err::kBadArguments);
  EXPECT_EQ(errorOf([&] { rs.appendField("FX", static_cast<DataType>(129)); }), err::kBadArguments);
  rs.open();
  rs.appendField("FLater", DataType::Integer);  // still no rows
  rs.AddNew();
  EXPECT_EQ(errorOf([&] { rs.appendField("FTooLate", DataType::Integer); }), err::kBadArguments);
  EXPECT_EQ(rs.fieldCount(), 2);
}

TEST(RecordsetStructure, CloneStructureCopiesFieldsWithoutRows) {
  auto rs = typedSet();
  rs->setPrecision(3, 15, 2);
  rs->AddNew();
  rs->setValue("FLong", 5);
  auto copy = rs->cloneStructure();
  ASSERT_EQ(copy->fieldCount(), rs->fieldCount());
  for (int i = 0; i < rs->fieldCount(); ++i) EXPECT_EQ(copy->fieldInfo(i), rs->fieldInfo(i));
  EXPECT_TRUE(copy->isOpen());
  EXPECT_EQ(copy->storedRowCount(), 0u);
  EXPECT_TRUE(copy->isBOF() && copy->isEOF());
}

TEST(RecordsetValues, WritesConvertToTheFieldType) {
  auto rs = typedSet();
  rs->AddNew();
  rs->setValue("FSmall", "12");
  rs->setValue("FLong", 2.5);  // banker's rounding
  rs->setValue("FBig", "9000000000");
  rs->setValue("FDouble", "1.25");
  rs->setValue("FMoney", 3);
  rs->setValue("FFlag", 1);
  rs->setValue("FName", 42);
  rs->setValue("FAny", int16_t{7});
  EXPECT_EQ(rs->value("FSmall"), Variant(int16_t{12}));
  EXPECT_EQ(rs->value("FLong"), Variant(int32_t{2}));
  EXPECT_EQ(rs->value("FBig"), Variant(int64_t{9000000000}));
  EXPECT_EQ(rs->value("FDouble"), Variant(1.25));
  EXPECT_EQ(rs->value("FMoney"), Variant(3.0));
  EXPECT_EQ(rs->value("FFlag"), Variant(true));
  EXPECT_EQ(rs->value("FName"), Variant("42"));
  EXPECT_EQ(rs->value("FAny"), Variant(int16_t{7}));  // stored as it came
  EXPECT_EQ(rs->value("fname"), rs->value(8));
}

TEST(RecordsetValues, FieldTextReadsNullAsEmptyAndRefusesAnUnknownField) {
  auto rs = typedSet();
  rs->AddNew();
  rs->setValue("FLong", 7);
  rs->setValue("FName", Variant::null());
  EXPECT_EQ(fieldText(*rs, "FLong"), "7");
  EXPECT_EQ(fieldText(*rs, "fname"), "");
  EXPECT_EQ(errorOf([&] { fieldText(*rs, "FNoSuchField"); }), err::kItemNotFound);
}

TEST(RecordsetValues, NullAndEmptyStayNull) {
  auto rs = typedSet();
  rs->AddNew();
  for (int i = 0; i < rs->fieldCount(); ++i) EXPECT_TRUE(rs->value(i).isNull()) << i;
  rs->setValue("FLong", 3);
  rs->setValue("FLong", Variant());
  EXPECT_TRUE(rs->value("FLong").isNull());
  rs->setValue("FAny", Variant::null());
  EXPECT_TRUE(rs->value("FAny").isNull());
}

TEST(RecordsetValues, FailedConversionKeepsTheOldValue) {
  auto rs = typedSet();
  rs->AddNew();
  rs->setValue("FLong", 1);
  EXPECT_EQ(errorOf([&] { rs->setValue("FLong", "abc"); }), err::kTypeMismatch);
  EXPECT_EQ(errorOf([&] { rs->setValue("FSmall", 40000); }), err::kOverflow);
  EXPECT_EQ(rs->value("FLong"), Variant(int32_t{1}));
  EXPECT_EQ(errorOf([&] { rs->setValue("FMissing", 1); }), err::kItemNotFound);
  EXPECT_EQ(errorOf([&] { rs->value(99); }), err::kItemNotFound);
}

TEST(RecordsetValues, DefinedSizeCountsCharactersNotBytes) {
  auto rs = typedSet();
  rs->AddNew();
  rs->setValue("FName", "凭证录入");  // 4 characters, 12 bytes
  EXPECT_EQ(rs->value("FName").asString(), "凭证录入");
  EXPECT_EQ(errorOf([&] { rs->setValue("FName", "凭证录入x"); }), err::kDataTooLong);
  EXPECT_EQ(errorOf([&] { rs->setValue("FName", "abcde"); }), err::kDataTooLong);
  EXPECT_EQ(rs->value("FName").asString(), "凭证录入");
  rs->setValue("FMemo", std::string(10000, 'x'));  // no defined size, no limit
  EXPECT_EQ(rs->value("FMemo").asString().size(), 10000u);
}

TEST(RecordsetValues, TooLongTextNamesTheField) {
  auto rs = typedSet();
  rs->AddNew();
  try {
    rs->setValue("FName", "toolong");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_NE(e.description().find("FName"), std::string::npos);
  }
}

TEST(RecordsetCursor, EmptySetIsAtBothMarkers) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  rs.open();
  EXPECT_TRUE(rs.isBOF());
  EXPECT_TRUE(rs.isEOF());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(rs.AbsolutePosition(), kPosUnknown);
  rs.MoveFirst();
  rs.MoveLast();
  EXPECT_TRUE(rs.isEOF());
  EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), err::kNoCurrentRecord);
  EXPECT_EQ(errorOf([&] { rs.MovePrevious(); }), err::kNoCurrentRecord);
  EXPECT_EQ(errorOf([&] { rs.value("FID"); }), err::kNoCurrentRecord);
}

TEST(RecordsetCursor, WalksForwardAndBackOverTheMarkers) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  rs.open();
  for (int i = 1; i <= 3; ++i) {
    rs.AddNew();
    EXPECT_EQ(rs.AbsolutePosition(), i);  // the cursor sits on the new row
    rs.setValue("FID", i * 10);
  }
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveFirst();
  std::vector<int> seen;
  while (!rs.isEOF()) {
    seen.push_back(CLng(rs.value("FID")));
    rs.MoveNext();
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(rs.AbsolutePosition(), kPosEOF);
  EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), err::kNoCurrentRecord);
  rs.MovePrevious();
  EXPECT_EQ(rs.value("FID"), Variant(int32_t{30}));
  rs.MoveFirst();
  rs.MovePrevious();
  EXPECT_TRUE(rs.isBOF());
  EXPECT_FALSE(rs.isEOF());
  EXPECT_EQ(rs.AbsolutePosition(), kPosBOF);
  EXPECT_EQ(errorOf([&] { rs.MovePrevious(); }), err::kNoCurrentRecord);
  rs.MoveNext();
  EXPECT_EQ(rs.AbsolutePosition(), 1);
  rs.setAbsolutePosition(2);
  EXPECT_EQ(rs.value("FID"), Variant(int32_t{20}));
  EXPECT_EQ(errorOf([&] { rs.setAbsolutePosition(4); }), err::kBadArguments);
  EXPECT_EQ(errorOf([&] { rs.setAbsolutePosition(0); }), err::kBadArguments);
  rs.MoveLast();
  EXPECT_EQ(rs.AbsolutePosition(), 3);
}

TEST(RecordsetRows, AddNewNeedsAnOpenSet) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  EXPECT_NE(errorOf([&] { rs.AddNew(); }), 0);
  EXPECT_NE(errorOf([&] { rs.appendStoredRow({Variant(1)}); }), 0);
  EXPECT_EQ(rs.storedRowCount(), 0u);
}

TEST(RecordsetRows, StoredRowsConvertWholeOrNotAtAll) {
  Recordset rs;
  rs.appendField("FID", DataType::Integer);
  rs.appendField("FName", DataType::VarWChar, 3);
  rs.open();
  rs.appendStoredRow({Variant("7"), Variant("abc")});
  EXPECT_EQ(rs.storedRowCount(), 1u);
  EXPECT_EQ(rs.storedValue(0, 0), Variant(int32_t{7}));
  EXPECT_EQ(errorOf([&] { rs.appendStoredRow({Variant(8), Variant("abcd")}); }), err::kDataTooLong);
  EXPECT_EQ(errorOf([&] { rs.appendStoredRow({Variant(8)}); }), err::kBadArguments);
  EXPECT_EQ(rs.storedRowCount(), 1u);
  EXPECT_EQ(errorOf([&] { rs.storedValue(1, 0); }), err::kSubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { rs.storedValue(0, 2); }), err::kItemNotFound);
  // Loaded rows join the view; the cursor has not moved from EOF.
  EXPECT_TRUE(rs.isEOF());
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.MoveFirst();
  EXPECT_EQ(rs.value("FName"), Variant("abc"));
}
