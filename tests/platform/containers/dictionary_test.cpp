// Keys, values and order of the dictionary in memory.
#include "platform/containers/dictionary.h"

#include <gtest/gtest.h>

#include "platform/containers/vector.h"

namespace wayfind::platform {
namespace {

using Keys = std::vector<std::string>;

TEST(Dictionary, KeysKeepFirstSpellingAndOrderWhateverTheCaseOfLaterWrites) {
  Dictionary d;
  d.SetValue("TopClass", 1);
  d.SetValue("SubSystem", 2);
  d.SetValue("TIMESTAMP", "v1");
  d.SetValue("topclass", 10);     // same key: value replaced, place and spelling kept
  d.SetValue("TimeStamp", "v2");

  EXPECT_EQ(d.Count(), 3u);
  EXPECT_EQ(d.Keys(), (Keys{"TopClass", "SubSystem", "TIMESTAMP"}));
  EXPECT_EQ(d.GetValue("TOPCLASS"), Variant(int32_t(10)));
  EXPECT_EQ(d.GetValue("timestamp"), Variant("v2"));
  EXPECT_TRUE(d.Lookup("subsystem"));
}

TEST(Dictionary, HelpCodesDifferingOnlyInCaseAreOneKeyButChineseKeysCompareExactly) {
  Dictionary d;
  d.SetValue("pzlr", 1);
  d.SetValue("PZLR", 2);
  d.SetValue("凭证录入", 3);
  d.SetValue("凭证錄入", 4);  // a traditional character: another key
  EXPECT_EQ(d.Count(), 3u);
  EXPECT_EQ(d.GetValue("pZlR"), Variant(int32_t(2)));
  EXPECT_EQ(d.GetValue("凭证录入"), Variant(int32_t(3)));
  EXPECT_EQ(d.GetValue("凭证錄入"), Variant(int32_t(4)));
  // Only ASCII letters fold: bytes of multi-byte characters are never touched.
  d.SetValue("Ä", 5);
  EXPECT_FALSE(d.Lookup("ä"));
}

TEST(Dictionary, MissingKeyGivesTheDefaultOrEmpty) {
  Dictionary d;
  d.SetValue("TimeStamp", "2024");
  EXPECT_EQ(d.GetValue("Missing", Variant("dflt")), Variant("dflt"));
  EXPECT_EQ(d.GetValue("Missing", Variant::null()), Variant::null());
  EXPECT_TRUE(d.GetValue("Missing").isEmpty());
  EXPECT_FALSE(d.Lookup("Missing"));
  // A present key gives its value, even when the value is Empty.
  d.SetValue("Blank", Variant());
  EXPECT_TRUE(d.Lookup("Blank"));
  EXPECT_TRUE(d.GetValue("Blank", Variant("dflt")).isEmpty());
}

TEST(Dictionary, RemoveKeepsTheOrderOfTheRestAndAReAddedKeyGoesLast) {
  Dictionary d;
  for (const char* k : {"a", "b", "c", "d"}) d.SetValue(k, k);
  EXPECT_TRUE(d.Remove("B"));
  EXPECT_FALSE(d.Remove("b"));
  EXPECT_EQ(d.Keys(), (Keys{"a", "c", "d"}));
  EXPECT_EQ(d.GetValue("d"), Variant("d"));  // positions after the removed one still resolve
  d.SetValue("B", "again");
  EXPECT_EQ(d.Keys(), (Keys{"a", "c", "d", "B"}));
  d.Clear();
  EXPECT_EQ(d.Count(), 0u);
  EXPECT_FALSE(d.Lookup("a"));
}

// GCC 12 takes the shared_ptr copy inlined into Vector::Append here for a write
// out of bounds (-Warray-bounds, -Wstringop-overflow): a false positive of its
// analysis of std::variant, which the build with warnings as errors must pass.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
TEST(Dictionary, ObjectValuesAreHeldByReference) {
  Dictionary d;
  auto inner = std::make_shared<Dictionary>();
  auto vec = std::make_shared<Vector>();
  d.SetValue("Inner", inner);
  d.SetValue("Users", vec);
  inner->SetValue("x", 1);
  vec->Append("u1");
  EXPECT_EQ(d.GetValue("inner").objectAs<Dictionary>(), inner);
  EXPECT_EQ(d.GetValue("users").objectAs<Vector>()->Count(), 1);
}
#pragma GCC diagnostic pop

}  // namespace
}  // namespace wayfind::platform
