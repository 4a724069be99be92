// The merge of the user's rows: both modes, the fields each level takes, and the
// indexed merge giving exactly what the literal per-row search and sort give.
#include <random>

#include "platform/automation/conversions.h"
#include "store/merge.h"
#include "store_fixture.h"

namespace wayfind::storetest {
namespace {

using store::MergeUserRows;
using store::MergeUserRowsLiteral;

class MergeTest : public StoreTest {
 protected:
  RecordsetPtr detailTemplate() {
    auto t = makeDetailFunc();
    addRow(t, {{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FFuncName", "凭证录入"}, {"FShowName", "凭证"},
               {"FIndex", 2}, {"FVisible", 1}, {"FEnable", 1}, {"FClassName", "ZecglView.GLData"},
               {"FClassParam", "p11"}, {"FFuncType", 0}, {"FHelpCode", "PZ"}});
    addRow(t, {{"FDetailFuncID", 12}, {"FSubFuncID", 5}, {"FFuncName", "凭证查询"}, {"FShowName", "查询"},
               {"FIndex", 1}, {"FVisible", 1}, {"FEnable", 1}, {"FClassName", "ZecglView.GLQuery"},
               {"FFuncType", 0}});
    t->setFilter("FSubFuncID = 5");
    return t;
  }
};

TEST_F(MergeTest, WithoutUserRowsTheResultIsTheFilteredTemplateInItsOrder) {
  auto t = detailTemplate();
  auto result = MergeUserRows("DetailFunc", t, makeDetailFunc(), 5);
  EXPECT_EQ(ids(result, "FDetailFuncID"), (std::vector<int32_t>{11, 12})) << "not sorted";
  EXPECT_EQ(result->fieldCount(), t->fieldCount());
  EXPECT_EQ(result->fieldInfo(result->fieldIndex("FShowName")).definedSize, 8);
  EXPECT_EQ(result->AbsolutePosition(), 1);
}

TEST_F(MergeTest, UserRowForATemplateFunctionChangesItsAttributesButNotItsClass) {
  auto u = makeDetailFunc();
  addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FFuncName", "我的凭证"}, {"FIndex", 9},
             {"FHelpCode", "WD"}, {"FEnable", 0}, {"FVisible", 0}, {"FClassName", "Evil.Class"},
             {"FClassParam", "x"}});
  auto result = MergeUserRows("DetailFunc", detailTemplate(), u, 5);
  EXPECT_EQ(ids(result, "FDetailFuncID"), (std::vector<int32_t>{12, 11}));
  result->MoveLast();
  EXPECT_EQ(result->value("FFuncName"), Variant("我的凭证"));
  EXPECT_EQ(result->value("FHelpCode"), Variant("WD"));
  EXPECT_EQ(platform::CLng(result->value("FEnable")), 0);
  EXPECT_EQ(platform::CLng(result->value("FVisible")), 0);
  EXPECT_EQ(result->value("FShowName"), Variant("凭证")) << "a set show name stays";
  EXPECT_EQ(result->value("FClassName"), Variant("ZecglView.GLData"));
  EXPECT_EQ(result->value("FClassParam"), Variant("p11"));
  EXPECT_EQ(platform::CLng(result->value("FFuncType")), 0);
}

TEST_F(MergeTest, CustomItemIsAppendedWithItsOwnClassAndAShowNameCutToTheFieldSize) {
  auto u = makeDetailFunc();
  addRow(u, {{"FDetailFuncID", 1000000001}, {"FSubFuncID", 5}, {"FFuncName", "我的自定义报表功能一"},
             {"FIndex", 1}, {"FVisible", 1}, {"FEnable", 1}, {"FClassName", "My.Report"},
             {"FClassParam", "r=1"}});
  auto result = MergeUserRows("DetailFunc", detailTemplate(), u, 5);
  EXPECT_EQ(ids(result, "FDetailFuncID"), (std::vector<int32_t>{12, 1000000001, 11}));
  ASSERT_TRUE(result->Find("FDetailFuncID=1000000001"));
  EXPECT_EQ(result->value("FClassName"), Variant("My.Report"));
  EXPECT_EQ(result->value("FClassParam"), Variant("r=1"));
  EXPECT_EQ(result->value("FShowName"), Variant("我的自定义报表功"));  // 8 characters
  EXPECT_EQ(platform::CLng(result->value("FFuncType")), -1);
  EXPECT_EQ(result->value("FHelpCode"), Variant::null());
}

TEST_F(MergeTest, UserOwnedFolderHoldsOnlyTheUsersRowsNamedInTheLoginLanguage) {
  setLanguage("en");
  for (int32_t folder : {750103, 7501031, 705}) {
    auto u = makeDetailFunc();
    addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", folder}, {"FFuncName", "报表"},
               {"FFuncName_en", "Report"}, {"FIndex", 2}, {"FVisible", 1}, {"FClassName", "A.B"},
               {"FClassParam", "q"}});
    addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", folder}, {"FFuncName", "报表二"},
               {"FFuncName_en", "Report 2"}, {"FIndex", 1}, {"FVisible", 1}});
    auto result = MergeUserRows("DetailFunc", detailTemplate(), u, folder);
    ASSERT_EQ(result->RecordCount(), 2) << folder << ": no template rows, no search";
    EXPECT_EQ(column(result, "FFuncName"), (std::vector<Variant>{Variant("Report 2"), Variant("Report")}));
    result->MoveLast();
    EXPECT_EQ(result->value("FClassName"), Variant("A.B"));
    EXPECT_EQ(result->value("FShowName"), Variant("报表")) << "show name from the Chinese name";
  }
}

TEST_F(MergeTest, UserOwnedFolderNamesFollowALanguageChangeAtOnce) {
  // Text lookups keep the language of the process; the names of a user-owned
  // folder follow what the language component says now.
  EXPECT_EQ(context::GetLanguage(), context::kLangChs);
  lang->code = "cht";
  auto u = makeDetailFunc();
  addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", 701}, {"FFuncName", "报表"}, {"FFuncName_cht", "報表"},
             {"FIndex", 1}, {"FVisible", 1}});
  auto result = MergeUserRows("DetailFunc", detailTemplate(), u, 701);
  EXPECT_EQ(column(result, "FFuncName"), (std::vector<Variant>{Variant("報表")}));
  EXPECT_EQ(context::GetLanguage(), context::kLangChs);
}

TEST_F(MergeTest, FoldersNextToTheUserOwnedRangesMergeNormally) {
  for (int32_t folder : {700, 800, 750105}) {
    auto u = makeDetailFunc();
    addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FFuncName", "改名"}, {"FIndex", 2},
               {"FVisible", 1}, {"FClassName", "X.Y"}});
    auto result = MergeUserRows("DetailFunc", detailTemplate(), u, folder);
    EXPECT_EQ(ids(result, "FDetailFuncID"), (std::vector<int32_t>{12, 11})) << folder;
    result->MoveLast();
    EXPECT_EQ(result->value("FFuncName"), Variant("改名"));
    EXPECT_EQ(result->value("FClassName"), Variant("ZecglView.GLData"));
  }
}

TEST_F(MergeTest, EachLevelTakesItsOwnFields) {
  auto t = makeSubSystem();
  addRow(t, {{"FSubSysID", 3}, {"FTopClassID", 1}, {"FName", "总账"}, {"FIndex", 1}, {"FVisible", 1},
             {"FClassName", "T.C"}, {"FRefresh", 1}});
  auto u = makeSubSystem();
  addRow(u, {{"FSubSysID", 3}, {"FTopClassID", 2}, {"FName", "我的总账"}, {"FIndex", 4}, {"FVisible", 0},
             {"FAcctType", ",2,"}, {"FClassName", "U.C"}, {"FRefresh", 0}});
  auto result = MergeUserRows("SubSystem", t, u, 0);
  EXPECT_EQ(result->value("FName"), Variant("我的总账"));
  EXPECT_EQ(platform::CLng(result->value("FTopClassID")), 2);
  EXPECT_EQ(result->value("FAcctType"), Variant(",2,"));
  EXPECT_EQ(result->value("FClassName"), Variant("T.C"));
  EXPECT_EQ(platform::CLng(result->value("FRefresh")), 1);
  EXPECT_EQ(result->sort(), "FIndex,FSubSysID");

  // Another table name copies the template and merges nothing.
  t->MoveFirst();
  auto other = MergeUserRows("Profile", t, u, 0);
  EXPECT_EQ(other->value("FName"), Variant("总账"));
}

TEST_F(MergeTest, TiesInTheOrderAreBrokenByTheOrderRowsWereAdded) {
  // Top classes sort by FIndex alone; rows 1 and 2 tie at 3 after the merge.
  auto t = makeTopClass();
  addRow(t, {{"FTopClassID", 1}, {"FIndex", 3}, {"FVisible", 1}});
  addRow(t, {{"FTopClassID", 2}, {"FIndex", 1}, {"FVisible", 1}});
  auto u = makeTopClass();
  addRow(u, {{"FTopClassID", 3}, {"FIndex", 0}, {"FVisible", 1}});
  addRow(u, {{"FTopClassID", 2}, {"FIndex", 3}, {"FVisible", 1}});
  auto result = MergeUserRows("TopClass", t, u, 0);
  EXPECT_EQ(ids(result, "FTopClassID"), (std::vector<int32_t>{3, 1, 2}));
  t->MoveFirst();
  EXPECT_EQ(ids(MergeUserRowsLiteral("TopClass", t, u, 0), "FTopClassID"), (std::vector<int32_t>{3, 1, 2}));
}

TEST_F(MergeTest, TemplateCursorAtItsEndCopiesNoRows) {
  auto t = detailTemplate();
  t->MoveLast();
  t->MoveNext();
  auto u = makeDetailFunc();
  addRow(u, {{"FDetailFuncID", 11}, {"FSubFuncID", 5}, {"FIndex", 1}, {"FVisible", 1}});
  EXPECT_EQ(ids(MergeUserRows("DetailFunc", t, u, 5), "FDetailFuncID"), std::vector<int32_t>{11});
}

// ---- the indexed merge against the literal procedure, on random tables ----

struct Snapshot {
  std::vector<std::vector<Variant>> rows;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const RecordsetPtr& rs) {
  Snapshot s;
  if (rs->isBOF() && rs->isEOF()) return s;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
    std::vector<Variant> row;
    for (int i = 0; i < rs->fieldCount(); ++i) row.push_back(rs->value(i));
    s.rows.push_back(std::move(row));
  }
  rs->MoveFirst();
  return s;
}

std::string describe(const Snapshot& s) {
  std::string out;
  for (const auto& row : s.rows) {
    out += "[";
    for (size_t i = 0; i < row.size() && i < 4; ++i) out += row[i].debugString() + " ";
    out += "] ";
  }
  return out;
}

struct LevelCase {
  const char* table;
  RecordsetPtr (*make)();
  const char* idField;
};

TEST_F(MergeTest, IndexedMergeEqualsTheLiteralProcedure) {
  const LevelCase levels[] = {{"TopClass", makeTopClass, "FTopClassID"},
                              {"SubSystem", makeSubSystem, "FSubSysID"},
                              {"SubFunc", makeSubFunc, "FSubFuncID"},
                              {"DetailFunc", makeDetailFunc, "FDetailFuncID"}};
  std::mt19937 rng(20240611);
  for (int round = 0; round < 400; ++round) {
    const LevelCase& level = levels[round % 4];
    // Small ranges make ties, repeated ids and Nulls common.
    const int idRange = 2 + static_cast<int>(rng() % 12);
    const int indexRange = 1 + static_cast<int>(rng() % 6);
    const bool allowDuplicates = rng() % 3 == 0;
    auto randomTable = [&](int rows, bool duplicates) {
      auto rs = level.make();
      std::vector<int> used;
      for (int r = 0; r < rows; ++r) {
        int id = static_cast<int>(rng() % idRange) + 1;
        if (!duplicates && std::find(used.begin(), used.end(), id) != used.end()) continue;
        used.push_back(id);
        rs->AddNew();
        rs->setValue(level.idField, Variant(int32_t{id}));
        if (rng() % 7 != 0) rs->setValue("FIndex", Variant(static_cast<int32_t>(rng() % indexRange)));
        rs->setValue("FVisible", Variant(static_cast<int32_t>(rng() % 2)));
        if (std::string(level.table) == "DetailFunc") {
          rs->setValue("FSubFuncID", Variant(int32_t{5}));
          rs->setValue("FFuncName", Variant("名" + std::to_string(r)));
          if (rng() % 2) rs->setValue("FShowName", Variant("显" + std::to_string(r)));
        }
      }
      return rs;
    };
    auto t = randomTable(static_cast<int>(rng() % 12), allowDuplicates);
    auto u = randomTable(static_cast<int>(rng() % 8), true);
    if (rng() % 4 == 0) t->setFilter("FVisible = 1");
    const int32_t folder = round % 9 == 0 ? 750103 : 5;

    auto fast = MergeUserRows(level.table, t, u, folder);
    t->setFilter(t->filter());
    auto literal = MergeUserRowsLiteral(level.table, t, u, folder);
    const Snapshot a = snapshot(fast), b = snapshot(literal);
    ASSERT_EQ(a, b) << level.table << " round " << round << "\nindexed: " << describe(a)
                    << "\nliteral: " << describe(b);
    EXPECT_EQ(fast->sort(), literal->sort());
    EXPECT_EQ(fast->AbsolutePosition(), literal->AbsolutePosition());
  }
}

}  // namespace
}  // namespace wayfind::storetest
