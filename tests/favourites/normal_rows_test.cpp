// A favourites list as plain rows: what stops a save, and what a save sends.
#include "favourites/normal_rows.h"

#include <gtest/gtest.h>

#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"

namespace wayfind::favourites {
namespace {

using Kind = NormalListProblem::Kind;

NormalRow row(int32_t id, std::string help, std::string show = "显示") {
  return {id, "功能" + std::to_string(id), std::move(help), std::move(show)};
}

TEST(NormalRowsTest, TheFirstProblemIsFoundRowByRowThenTheRepeatedHelpCode) {
  struct Case {
    const char* what;
    std::vector<NormalRow> rows;
    std::optional<Kind> kind;
    size_t row;
  };
  const Case cases[] = {
      {"an empty list", {}, std::nullopt, 0},
      {"distinct codes, blanks allowed twice", {row(1, "PZ"), row(2, ""), row(3, "  "), row(4, "ZZ")}, std::nullopt, 0},
      {"a quote in a help code", {row(1, "PZ"), row(2, "P'Z")}, Kind::InvalidHelpCode, 1},
      {"a quote in a show name", {row(1, "PZ", "凭'证")}, Kind::InvalidShowName, 0},
      {"the help code checked before the show name", {row(1, "P'Z", "凭'证")}, Kind::InvalidHelpCode, 0},
      {"a bad row before a repeated code", {row(1, "PZ"), row(2, "PZ"), row(3, "X'")}, Kind::InvalidHelpCode, 2},
      {"a repeated code names its later row", {row(1, "PZ"), row(2, "AB"), row(3, "PZ")}, Kind::DuplicateHelpCode, 2},
      {"letters in any case, spaces trimmed", {row(1, "pz "), row(2, " PZ")}, Kind::DuplicateHelpCode, 1},
      {"the first code repeated, in the order first seen", {row(1, "AB"), row(2, "PZ"), row(3, "PZ"), row(4, "AB")},
       Kind::DuplicateHelpCode, 3},
  };
  for (const Case& c : cases) {
    const auto problem = CheckNormalList(c.rows);
    ASSERT_EQ(problem.has_value(), c.kind.has_value()) << c.what;
    if (!problem) continue;
    EXPECT_EQ(problem->kind, *c.kind) << c.what;
    EXPECT_EQ(problem->row, c.row) << c.what;
  }
}

TEST(NormalRowsTest, ASaveSendsEveryRowInOrderWithABlankShowNameAsTheName) {
  bool filled = true;
  auto none = NormalListSaveData({row(1, "PZ"), row(2, "")}, filled);
  EXPECT_FALSE(filled);
  ASSERT_EQ(none->Count(), 2);

  auto data = NormalListSaveData({row(7, "PZ", "凭证"), row(3, "", "  ")}, filled);
  EXPECT_TRUE(filled);
  ASSERT_EQ(data->Count(), 2);
  auto second = data->Item(2).objectAs<platform::Dictionary>();
  EXPECT_EQ(platform::CLng(second->GetValue("FDetailFuncID")), 3);
  EXPECT_EQ(platform::CStr(second->GetValue("FShowName")), "功能3");
  EXPECT_EQ(platform::CStr(second->GetValue("FFuncName")), "功能3");
  EXPECT_EQ(platform::CStr(second->GetValue("FHelpCode")), "");
  auto first = data->Item(1).objectAs<platform::Dictionary>();
  EXPECT_EQ(platform::CLng(first->GetValue("FDetailFuncID")), 7);
  EXPECT_EQ(platform::CStr(first->GetValue("FShowName")), "凭证");
}

}  // namespace
}  // namespace wayfind::favourites

namespace wayfind::favourites {
namespace {

// "id:help:show" of each row.
std::string texts(const std::vector<NormalRow>& rows) {
  std::string out;
  for (const NormalRow& r : rows) out += std::to_string(r.detailFuncId) + ":" + r.helpCode + ":" + r.showName + " ";
  return out;
}

TEST(NormalRowsTest, KeepingMineReadsTheOtherUsersStateWhereTheyConflictedAndNowhereElse) {
  using Conflict = erp::api::SaveConflict;
  auto on = [](int32_t id, const char* key) {
    Conflict c;
    c.id = id;
    c.key = key;
    return c;
  };
  const std::vector<NormalRow> read = {row(1, "A", "a"), row(2, "B", "b"), row(3, "C", "c")};
  // Stored now: moved, 1's texts changed, 2 gone, 4 added by them.
  const std::vector<NormalRow> stored = {row(3, "C", "c"), row(1, "T", "t"), row(4, "D", "d")};
  struct Case {
    const char* what;
    std::vector<Conflict> conflicts;
    const char* read;
  };
  const Case cases[] = {
      {"none", {}, "1:A:a 2:B:b 3:C:c "},
      {"a help code", {on(1, "FHelpCode")}, "1:T:a 2:B:b 3:C:c "},
      {"a show name", {on(1, "FShowName")}, "1:A:t 2:B:b 3:C:c "},
      {"a function they removed", {on(2, "Listed")}, "1:A:a 3:C:c "},
      {"a function they kept and changed", {on(1, "Listed")}, "1:T:t 2:B:b 3:C:c "},
      {"a function both added", {on(4, "FHelpCode")}, "1:A:a 2:B:b 3:C:c 4:D:d "},
      {"the order", {on(0, "FIndex")}, "3:C:c 1:A:a 2:B:b "},
  };
  for (const Case& c : cases) EXPECT_EQ(texts(ReadRowsKeepingMine(read, stored, c.conflicts)), c.read) << c.what;
}

}  // namespace
}  // namespace wayfind::favourites
