// The navigation vocabulary: the three names of each level, node keys both ways,
// the two user-folder rules, and the record of started functions.
#include <gtest/gtest.h>

#include "platform/navigation/function_use.h"
#include "platform/navigation/languages.h"
#include "platform/navigation/levels.h"
#include "platform/navigation/node_keys.h"
#include "platform/navigation/user_folders.h"

namespace wayfind::nav {
namespace {

TEST(Levels, NumberBaseTableAndKeyPrefixNameTheSameLevel) {
  struct Case {
    Level level;
    int32_t number, base;
    const char *table, *prefix, *idField;
  };
  const Case cases[] = {
      {Level::TopClass, 1, 1000, "TopClass", "Top", "FTopClassID"},
      {Level::SubSystem, 2, 100000, "SubSystem", "Sys", "FSubSysID"},
      {Level::SubFunc, 3, 10000000, "SubFunc", "Sub", "FSubFuncID"},
      {Level::DetailFunc, 4, 1000000000, "DetailFunc", "Det", "FDetailFuncID"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    EXPECT_EQ(LevelNumber(c.level), c.number);
    EXPECT_EQ(LevelBase(c.level), c.base);
    EXPECT_EQ(LevelOfNumber(c.number), c.level);
    EXPECT_EQ(LevelOfBase(c.base), c.level);
    EXPECT_EQ(LevelOfTable(c.table), c.level);
    EXPECT_STREQ(InfoOf(c.level).idField, c.idField);
    EXPECT_EQ(LevelOfKey(std::string(c.prefix) + "5"), c.level);
    // A base is the first custom id of its level.
    EXPECT_TRUE(IsCustomItem(c.level, c.base));
    EXPECT_FALSE(IsCustomItem(c.level, c.base - 1));
  }
  // A number, base or table of no level.
  for (int32_t n : {0, 5, -1, 1001}) EXPECT_FALSE(LevelOfNumber(n)) << n;
  for (int32_t b : {0, 1, 4, 999, 1000000}) EXPECT_FALSE(LevelOfBase(b)) << b;
  for (const char* t : {"Profile", "topclass", ""}) EXPECT_FALSE(LevelOfTable(t)) << t;
  EXPECT_EQ(ChildLevel(Level::SubFunc), Level::DetailFunc);
  EXPECT_FALSE(ChildLevel(Level::DetailFunc));
  EXPECT_EQ(InfoOf(Level::SubSystem).parentIdField, std::string("FTopClassID"));
  EXPECT_EQ(InfoOf(Level::TopClass).parentIdField, nullptr);
}

TEST(NodeKeys, MadeAndReadBack) {
  EXPECT_EQ(NodeKey(Level::SubSystem, 101), "Sys101");
  EXPECT_EQ(NodeKey(Level::DetailFunc, 1000000000), "Det1000000000");
  for (int32_t id : {0, 7, 2147483647, -5})
    for (const LevelInfo& info : kLevels) EXPECT_EQ(KeyId(NodeKey(info.level, id)), id) << id;

  EXPECT_EQ(KeyId("Sys101"), 101);
  EXPECT_EQ(KeyId(kRootKey), 0);
  // Nothing that NodeKey does not write.
  for (const char* key : {"", "Top", "Top12a", "Top 1", "Top+5", "Top2147483648", "To"})
    EXPECT_FALSE(KeyId(key)) << key;

  EXPECT_EQ(KeyPrefix("Sub10101"), "Sub");
  EXPECT_EQ(KeyPrefix("Gr"), "Gr");
  EXPECT_FALSE(LevelOfKey(kRootKey));
  EXPECT_FALSE(LevelOfKey("Grp1"));

  // What a node lists: the root top classes, and so on down; a detail function nothing.
  EXPECT_EQ(ChildLevelOfKey(kRootKey), Level::TopClass);
  EXPECT_EQ(ChildLevelOfKey("Top1"), Level::SubSystem);
  EXPECT_EQ(ChildLevelOfKey("Sys101"), Level::SubFunc);
  EXPECT_EQ(ChildLevelOfKey("Sub10101"), Level::DetailFunc);
  EXPECT_FALSE(ChildLevelOfKey("Det5"));
  EXPECT_FALSE(ChildLevelOfKey("Xyz5"));
}

TEST(UserFolders, TheReservedIdsAndTheFoldersOfUserRowsOnly) {
  struct Case {
    int32_t id;
    bool reserved, userRowsOnly;
  };
  const Case cases[] = {
      {701, true, true},        {750, true, true},        {799, true, true},       {700, false, false},
      {800, false, false},      {0, false, false},        {750102, false, true},   {750103, false, true},
      {750104, false, true},    {7501031, false, true},   {75010499, false, true}, {750101, false, false},
      {750105, false, false},   {7501051, false, false},  {75010, false, false},   {-750103, false, false},
      {-701, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUserFolderId(c.id), c.reserved) << c.id;
    EXPECT_EQ(ListsOnlyUserRows(c.id), c.userRowsOnly) << c.id;
  }
}

TEST(FunctionUse, StartsAddUpHalveInTwoWeeksAndTheRecordKeepsTheHighestThatFit) {
  FunctionUse use;
  use.recordStart(7, 100);
  use.recordStart(7, 100);
  use.recordStart(8, 86);  // once, two weeks earlier
  EXPECT_DOUBLE_EQ(use.score(7, 100), 2.0);
  EXPECT_DOUBLE_EQ(use.score(8, 100), 0.5);
  EXPECT_DOUBLE_EQ(use.score(7, 114), 1.0);
  EXPECT_EQ(use.score(9, 100), 0.0);
  // Read back as written, a day later: the same scores.
  const FunctionUse again = FunctionUse::parse(use.text(100));
  EXPECT_EQ(use.text(100), "7:2.000:100;8:0.500:100");
  EXPECT_DOUBLE_EQ(again.score(7, 101), use.score(7, 101));
  // A record longer than a profile's value keeps the highest scores.
  FunctionUse many;
  for (int32_t id = 1; id <= 200; ++id)
    for (int32_t k = 0; k < id % 7 + 1; ++k) many.recordStart(1000000 + id, 100);
  const std::string text = many.text(100);
  EXPECT_LE(text.size(), kFunctionUseTextLimit);
  EXPECT_EQ(text.rfind("1000006:7.000:100", 0), 0u) << text;
  EXPECT_GT(FunctionUse::parse(text).score(1000013, 100), 0.0);
  EXPECT_EQ(FunctionUse::parse(text).score(1000007, 100), 0.0) << "a score of 1 did not fit";
  // A day as old as a damaged record can make it has aged away, not wrapped round.
  EXPECT_LT(FunctionUse::parse("5:8.000:-2147483000").score(5, 20300), 1e-9);
  // However big a score read, it is written back whole.
  EXPECT_DOUBLE_EQ(FunctionUse::parse(FunctionUse::parse("7:1e300:100").text(100)).score(7, 100), 1e300);
  // Anything else is no use at all, never a crash.
  for (const char* bad : {"7:2", "x:1:2", "7:-1:3", "7:nan:3", "7:1:2;;", "7:1:2x", ":", "7::1"})
    EXPECT_TRUE(FunctionUse::parse(bad).empty()) << bad;
}

TEST(Languages, ATestLanguageIsKnownOnlyWhileTheEnvironmentAsksForIt) {
  for (const char* asked : {"", "0", "1"}) {
    SCOPED_TRACE(std::string("WAYFIND_TEST_LANGUAGES=") + asked);
    ::setenv("WAYFIND_TEST_LANGUAGES", asked, 1);
    const bool offered = std::string_view(asked) == "1";
    EXPECT_EQ(FindLanguage("qps").has_value(), offered);
    EXPECT_EQ(IsWrittenLanguage("qps"), !offered) << "unknown codes speak the written language";
    EXPECT_EQ(std::string_view(LanguageOfNumber(99).code), offered ? "qps" : "chs");
    EXPECT_TRUE(FindLanguage("cht").has_value());
  }
  ::unsetenv("WAYFIND_TEST_LANGUAGES");
}

}  // namespace
}  // namespace wayfind::nav
