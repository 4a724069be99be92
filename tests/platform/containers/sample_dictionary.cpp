#include "sample_dictionary.h"

#include "platform/containers/vector.h"

namespace wayfind::platform::testing {

RecordsetPtr makeEveryTypeRecordset() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FSmall", DataType::SmallInt, 2, fieldattr::kFixed);
  rs->appendField("FDetailFuncID", DataType::Integer, 4, fieldattr::kFixed | fieldattr::kUpdatable);
  rs->appendField("FBig", DataType::BigInt, 8, fieldattr::kFixed | fieldattr::kMayBeNull);
  rs->appendField("FRate", DataType::Double, 8, fieldattr::kMayBeNull);
  rs->appendField("FAmount", DataType::Currency, 8, fieldattr::kMayBeNull);
  rs->appendField("FDate", DataType::Date, 8, fieldattr::kMayBeNull);
  rs->appendField("FVisible", DataType::Boolean, 2, fieldattr::kFixed);
  rs->appendField("FAny", DataType::Variant, 0, fieldattr::kMayBeNull | fieldattr::kIsNullable);
  rs->appendField("FFuncName", DataType::VarWChar, 80, fieldattr::kMayBeNull | fieldattr::kUpdatable);
  rs->appendField("FNote", DataType::LongVarWChar, 0, fieldattr::kLong | fieldattr::kMayBeNull);
  rs->setPrecision(3, 15, 0);
  rs->setPrecision(4, 19, 4);
  rs->open();

  rs->AddNew();  // every value set
  rs->setValue("FSmall", int16_t(-7));
  rs->setValue("FDetailFuncID", int32_t(1000000001));
  rs->setValue("FBig", int64_t(9007199254740993));
  rs->setValue("FRate", 0.1);
  rs->setValue("FAmount", 12.3456);
  rs->setValue("FDate", Date{45292.75});
  rs->setValue("FVisible", true);
  rs->setValue("FAny", int16_t(3));
  rs->setValue("FFuncName", "凭证录入");
  rs->setValue("FNote", "línea ✓ 𝄞");

  rs->AddNew();  // Null apart from empty text
  rs->setValue("FSmall", int16_t(0));
  rs->setValue("FDetailFuncID", int32_t(-1));
  rs->setValue("FVisible", false);
  rs->setValue("FFuncName", "");

  rs->AddNew();  // the Variant field keeps each type as it was given
  rs->setValue("FDetailFuncID", int32_t(3));
  rs->setValue("FAny", int64_t(-5));
  rs->AddNew();
  rs->setValue("FDetailFuncID", int32_t(4));
  rs->setValue("FAny", "text");
  return rs;
}

DictionaryPtr makeSampleDictionary() {
  auto d = std::make_shared<Dictionary>();
  d->SetValue("TimeStamp", "2024-05-01 12:00:00.123");
  d->SetValue("DetailFunc", makeEveryTypeRecordset());

  auto inner = std::make_shared<Dictionary>();
  inner->SetValue("FHelpCode", "pzlr");
  inner->SetValue("金额", 2.5);
  inner->SetValue("Empty", Variant());
  inner->SetValue("Null", Variant::null());
  inner->SetValue("Nothing", ObjectPtr());
  auto users = std::make_shared<Vector>();
  users->Append("admin");
  users->Append(int32_t(16394));
  users->Append(inner);  // shared: saved as a copy, loaded as its own object
  auto deeper = std::make_shared<Vector>();
  deeper->Append(false);
  users->Append(deeper);
  d->SetValue("Settings", inner);
  d->SetValue("Users", users);
  d->SetValue("Count", int64_t(-1));
  d->SetValue("When", Date{0.5});
  d->SetValue("Flag", true);
  d->SetValue("Small", int16_t(32767));
  return d;
}

}  // namespace wayfind::platform::testing
