// Saving and loading: what a round trip keeps, and what cannot be saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/automation_error.h"
#include "platform/containers/checksum.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"
#include "same_content.h"
#include "sample_dictionary.h"

namespace wayfind::platform {
namespace {

namespace fs = std::filesystem;
using testing::firstDifference;

class DictionaryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("wayfind-dict-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(DictionaryFile, RoundTripKeepsKeysOrderValuesTypesAndRecordSets) {
  auto saved = testing::makeSampleDictionary();
  const fs::path file = folder_ / "Templatechs{UUID}.dat";
  saved->Save(file);

  Dictionary loaded;
  loaded.SetValue("Stale", 1);  // replaced, not merged
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(loaded.Keys(), saved->Keys());
  EXPECT_EQ(loaded.GetValue("timestamp"), Variant("2024-05-01 12:00:00.123"));
  auto loadedPtr = std::shared_ptr<Dictionary>(&loaded, [](Dictionary*) {});
  EXPECT_EQ(firstDifference(Variant(saved), Variant(loadedPtr)), "");
}

TEST_F(DictionaryFile, RecordSetKeepsMetadataNullApartFromEmptyTextAndExactTypes) {
  Dictionary d;
  d.SetValue("DetailFunc", testing::makeEveryTypeRecordset());
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(d.serialize()));
  auto rs = loaded.GetValue("DetailFunc").objectAs<Recordset>();
  ASSERT_TRUE(rs);
  ASSERT_EQ(rs->fieldCount(), 10);
  const FieldInfo& amount = rs->fieldInfo(4);
  EXPECT_EQ(amount.name, "FAmount");
  EXPECT_EQ(amount.type, DataType::Currency);
  EXPECT_EQ(amount.precision, 19);
  EXPECT_EQ(amount.numericScale, 4);
  EXPECT_EQ(rs->fieldInfo(8).definedSize, 80);
  EXPECT_EQ(rs->fieldInfo(9).attributes, fieldattr::kLong | fieldattr::kMayBeNull);

  ASSERT_EQ(rs->storedRowCount(), 4u);
  EXPECT_EQ(rs->storedValue(0, 0).type(), VarType::Integer);
  EXPECT_EQ(rs->storedValue(0, 1).type(), VarType::Long);
  EXPECT_EQ(rs->storedValue(0, 2), Variant(int64_t(9007199254740993)));  // not rounded through a double
  EXPECT_EQ(rs->storedValue(0, 3), Variant(0.1));
  EXPECT_EQ(rs->storedValue(0, 5), Variant(Date{45292.75}));
  EXPECT_EQ(rs->storedValue(0, 6), Variant(true));
  EXPECT_EQ(rs->storedValue(0, 8), Variant("凭证录入"));
  EXPECT_EQ(rs->storedValue(0, 9), Variant("línea ✓ 𝄞"));
  EXPECT_TRUE(rs->storedValue(1, 3).isNull());
  EXPECT_EQ(rs->storedValue(1, 8), Variant(""));  // empty text stays text
  EXPECT_TRUE(rs->storedValue(1, 9).isNull());    // Null stays Null
  EXPECT_EQ(rs->storedValue(0, 7).type(), VarType::Integer);
  EXPECT_EQ(rs->storedValue(2, 7).type(), VarType::LongLong);
  EXPECT_EQ(rs->storedValue(3, 7).type(), VarType::String);
  // A loaded set is usable at once: positioned on its first row, by field name.
  EXPECT_FALSE(rs->isEOF());
  EXPECT_EQ(rs->value("fdetailfuncid"), Variant(int32_t(1000000001)));
}

TEST_F(DictionaryFile, FilterSortAndCursorAreNotKeptButRowsStayInStoredOrder) {
  auto rs = testing::makeEveryTypeRecordset();
  rs->setSort("FDetailFuncID DESC");
  rs->setFilter("FDetailFuncID = 3");
  Dictionary d;
  d.SetValue("T", rs);
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(d.serialize()));
  auto back = loaded.GetValue("T").objectAs<Recordset>();
  EXPECT_EQ(back->filter(), "");
  EXPECT_EQ(back->sort(), "");
  EXPECT_EQ(back->RecordCount(), 4);
  EXPECT_EQ(back->AbsolutePosition(), 1);
  EXPECT_EQ(back->storedValue(0, 1), Variant(int32_t(1000000001)));
  EXPECT_EQ(back->storedValue(3, 1), Variant(int32_t(4)));
}

TEST_F(DictionaryFile, EmptyAndClosedContainersRoundTrip) {
  Dictionary d;
  auto closed = std::make_shared<Recordset>();
  closed->appendField("FName", DataType::VarWChar, 10);
  auto noRows = std::make_shared<Recordset>();
  noRows->appendField("FID", DataType::Integer);
  noRows->open();
  d.SetValue("Closed", closed);
  d.SetValue("NoRows", noRows);
  d.SetValue("Dict", std::make_shared<Dictionary>());
  d.SetValue("Vect", std::make_shared<Vector>());
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(d.serialize()));
  auto self = std::shared_ptr<Dictionary>(&d, [](Dictionary*) {});
  auto other = std::shared_ptr<Dictionary>(&loaded, [](Dictionary*) {});
  EXPECT_EQ(firstDifference(Variant(self), Variant(other)), "");

  Dictionary empty;
  ASSERT_TRUE(loaded.deserialize(empty.serialize()));
  EXPECT_EQ(loaded.Count(), 0u);
}

TEST_F(DictionaryFile, ForeignObjectMakesSaveRaiseAndWriteNothing) {
  struct Foreign : Object {};
  auto d = testing::makeSampleDictionary();
  auto inner = d->GetValue("Settings").objectAs<Dictionary>();
  inner->SetValue("Logger", std::make_shared<Foreign>());
  const fs::path file = folder_ / "out.dat";
  try {
    d->Save(file);
    FAIL() << "saved a foreign object";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kFileError);
    EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("\"Settings\" / \"Logger\""), std::string::npos) << e.description();
  }
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(DictionaryFile, ForeignObjectInsideARecordSetNamesRowAndField) {
  struct Foreign : Object {};
  auto rs = testing::makeEveryTypeRecordset();
  rs->MoveLast();
  rs->setValue("FAny", std::make_shared<Foreign>());
  Dictionary d;
  d.SetValue("DetailFunc", rs);
  try {
    d.serialize();
    FAIL() << "serialised a foreign object";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kFileError);
    EXPECT_NE(e.description().find("row 4, field \"FAny\""), std::string::npos) << e.description();
  }
}

TEST_F(DictionaryFile, ADictionaryHoldingItselfIsRefusedInsteadOfRecursingForever) {
  auto d = std::make_shared<Dictionary>();
  d->SetValue("Self", d);
  EXPECT_THROW(d->serialize(), AutomationError);
  d->Remove("Self");  // break the cycle so the dictionary is freed
}

TEST(Checksum, MatchesTheStandardCrc32CheckValue) {
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32(""), 0u);
  // Continuing over pieces gives the same as one pass (covers the 8-byte path).
  std::string s(1000, '\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 31 + 7);
  EXPECT_EQ(crc32(std::string_view(s).substr(13), crc32(std::string_view(s).substr(0, 13))), crc32(s));
}

}  // namespace
}  // namespace wayfind::platform
