// Favourites groups and their ordered lists.
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class Favourites : public UpdateTest {
 protected:
  bool append(int32_t user, int32_t func, std::string help, std::string show, int32_t group = -1) {
    std::string name = "功能" + std::to_string(func);
    return platform::CBool(up_.AppendNormalItem(props(user), func, help, show, name, group));
  }
  int32_t addGroup(int32_t user, std::string name) {
    std::string show;
    EXPECT_TRUE(platform::CBool(up_.AddNormalFuncGroup(props(user), name, show)));
    auto groups = datas_.GetNormalFuncGroup(props(user)).objectAs<platform::Recordset>();
    groups->MoveLast();
    return platform::CLng(groups->value("FFuncGroupID"));
  }
  // "id:help:show" of a group's list in order.
  std::string list(int32_t user, int32_t group) {
    auto rs = datas_.GetDetailNormalFunc(props(user), group).objectAs<platform::Recordset>();
    std::string out;
    for (rs->setFilter(""); !rs->isEOF(); rs->MoveNext())
      out += platform::CStr(rs->value("FDetailFuncID")) + ":" + platform::CStr(rs->value("FHelpCode")) + ":" +
             platform::CStr(rs->value("FShowName")) + " ";
    return out;
  }
};

TEST_F(Favourites, NoGroupChosenMeansTheFirstGroupMadeWhenMissing) {
  EXPECT_TRUE(append(kUserA, 10001, "A1", "录入"));
  auto groups = datas_.GetNormalFuncGroup(props(kUserA)).objectAs<platform::Recordset>();
  ASSERT_EQ(groups->RecordCount(), 1);
  EXPECT_EQ(groups->value("FFuncGroupName"), Variant("常用功能"));
  const int32_t first = platform::CLng(groups->value("FFuncGroupID"));
  const int32_t second = addGroup(kUserA, "报表");
  int32_t chosen = -1;
  std::string h, s = "查询", n = "凭证查询";
  int32_t func = 10002;
  up_.AppendNormalItem(props(kUserA), func, h, s, n, chosen);
  EXPECT_EQ(chosen, first);  // the group used comes back
  // An empty show name takes the function's name; so does one of ideographic spaces.
  EXPECT_TRUE(append(kUserA, 20001, "CG", "\xE3\x80\x80", second));
  EXPECT_EQ(list(kUserA, first), "10001:A1:录入 10002::查询 ");
  EXPECT_EQ(list(kUserA, second), "20001:CG:功能20001 ");
  // Again in the same list: moved to the end with its new texts.
  EXPECT_TRUE(append(kUserA, 10001, "NEW", "新录入", first));
  EXPECT_EQ(list(kUserA, first), "10002::查询 10001:NEW:新录入 ");
  // Shown by a shorter show name, the function keeps its full name where the
  // user typed that.
  conn().exec("UPDATE t_NavDetailFunc SET FShowName = '凭证查' WHERE FDetailFuncID = 10002");
  s = "凭证查询";
  up_.AppendNormalItem(props(kUserA), func, h, s, n, chosen);
  EXPECT_EQ(list(kUserA, first), "10001:NEW:新录入 10002::凭证查询 ");
}

TEST_F(Favourites, ClearingAndSavingAListKeepsOtherGroupsAndUsers) {
  const int32_t first = addGroup(kUserA, "一");
  const int32_t second = addGroup(kUserA, "二");
  append(kUserA, 10001, "", "a", first);
  append(kUserA, 10002, "", "b", second);
  append(kUserB, 10001, "", "b's", -1);
  int32_t all = -1;
  up_.ClearNormalList(props(kUserA), all);  // the first group only
  EXPECT_EQ(list(kUserA, first), "");
  EXPECT_EQ(list(kUserA, second), "10002::b ");
  // The favourites editor's save: clear, then append row by row.
  int32_t g = second;
  up_.ClearNormalList(props(kUserA), g);
  append(kUserA, 20001, "x", "x", second);
  append(kUserA, 10101, "y", "y", second);
  EXPECT_EQ(list(kUserA, second), "20001:x:x 10101:y:y ");
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem i JOIN t_NavFuncGroup g USING(FFuncGroupID) "
                  "WHERE g.FUserID = 16386"),
            1);
  // Favourites are read live: they do not make the store refetch the tree.
  EXPECT_EQ(revision(kUserA), 0);
}

TEST_F(Favourites, GroupsAreTheUsersOwnAndNamedOnce) {
  const int32_t group = addGroup(kUserA, "日常");
  append(kUserA, 10001, "", "a", group);
  const std::string state = dump();
  int32_t g = group;
  std::string name = "日常", show, other = "别人的";
  expectRefused([&] { up_.AddNormalFuncGroup(props(kUserA), name, show); }, "已存在");
  expectRefused([&] { up_.UpdateNormalFuncGroup(props(kUserB), g, other); }, "其他用户");
  expectRefused([&] { up_.DelNormalFuncGroup(props(kUserB), g); }, "其他用户");
  expectRefused([&] { up_.ClearNormalList(props(kUserB), g); }, "其他用户");
  expectRefused([&] { append(kUserB, 10001, "", "x", group); }, "其他用户");
  expectRefused([&] { append(kUserA, 99999, "", "x", group); }, "不存在");
  expectRefused([&] { append(kUserA, 10002, "a'b", "x", group); }, "单引号");
  for (std::string blank : {"  ", "\xE3\x80\x80\xE3\x80\x80", "\t", " \r\n", "\xC2\xA0"})
    expectRefused([&] { up_.AddNormalFuncGroup(props(kUserA), blank, show); }, "不能为空");
  int32_t missing = 4242;
  expectRefused([&] { up_.DelNormalFuncGroup(props(kUserA), missing); }, "不存在");
  EXPECT_EQ(dump(), state);

  std::string renamed = "每日";
  EXPECT_TRUE(platform::CBool(up_.UpdateNormalFuncGroup(props(kUserA), g, renamed)));
  EXPECT_TRUE(platform::CBool(up_.DelNormalFuncGroup(props(kUserA), g)));
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroup"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem"), 0);
}

// The favourites editor's save: the group's whole list replaced in one change.
class ReplaceList : public Favourites {
 protected:
  static platform::VectorPtr rowsOf(std::initializer_list<std::tuple<int32_t, const char*, const char*>> rows) {
    auto v = std::make_shared<platform::Vector>();
    for (const auto& [id, help, show] : rows)
      v->Append(Variant(dict({{"FDetailFuncID", id},
                              {"FHelpCode", help},
                              {"FShowName", show},
                              {"FFuncName", ("功能" + std::to_string(id)).c_str()}})));
    return v;
  }
  void replace(int32_t user, int32_t& group, platform::VectorPtr rows) {
    EXPECT_TRUE(platform::CBool(up_.ReplaceNormalList(props(user), group, rows)));
  }
  Variant replaceCopy(int32_t user, int32_t group, platform::VectorPtr rows) {
    return up_.ReplaceNormalList(props(user), group, rows);
  }
};

TEST_F(ReplaceList, TheNewListTakesThePlaceOfTheOldInItsOrder) {
  int32_t g = addGroup(kUserA, "日常");
  const int32_t other = addGroup(kUserA, "其他");
  append(kUserA, 10001, "A", "a", g);
  append(kUserA, 10002, "B", "b", other);
  replace(kUserA, g, rowsOf({{20001, "x", "甲"}, {10101, "", "  "}, {10001, "A2", "a2"}}));
  EXPECT_EQ(list(kUserA, g), "20001:x:甲 10101::功能10101 10001:A2:a2 ");
  EXPECT_EQ(list(kUserA, other), "10002:B:b ");
  // An empty list clears the group.
  replace(kUserA, g, std::make_shared<platform::Vector>());
  EXPECT_EQ(list(kUserA, g), "");
  EXPECT_EQ(revision(kUserA), 0);
}

TEST_F(ReplaceList, NoGroupChosenIsTheFirstGroupMadeOnlyWhenRowsArrive) {
  int32_t none = -1;
  replace(kUserA, none, std::make_shared<platform::Vector>());
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroup"), 0);
  EXPECT_EQ(none, -1);
  replace(kUserA, none, rowsOf({{10001, "", "a"}}));
  auto groups = datas_.GetNormalFuncGroup(props(kUserA)).objectAs<platform::Recordset>();
  ASSERT_EQ(groups->RecordCount(), 1);
  EXPECT_EQ(groups->value("FFuncGroupName"), Variant("常用功能"));
  EXPECT_EQ(none, platform::CLng(groups->value("FFuncGroupID")));
}

TEST_F(ReplaceList, AnyBadRowOrForeignGroupLeavesTheOldList) {
  int32_t g = addGroup(kUserA, "日常");
  append(kUserA, 10001, "A", "a", g);
  append(kUserA, 10002, "B", "b", g);
  const std::string state = dump() + list(kUserA, g);
  // The bad row comes last, after rows that would have been written.
  expectRefused([&] { replaceCopy(kUserA, g, rowsOf({{20001, "", "x"}, {99999, "", "y"}})); },
                "不存在");
  expectRefused([&] { replaceCopy(kUserA, g, rowsOf({{20001, "", "x"}, {10101, "a'b", "y"}})); },
                "单引号");
  auto notDict = std::make_shared<platform::Vector>();
  notDict->Append(Variant("10001"));
  expectRefused([&] { replaceCopy(kUserA, g, notDict); }, "不是字典");
  const int32_t copy = g;
  expectRefused([&] { replaceCopy(kUserB, copy, rowsOf({{20001, "", "x"}})); }, "其他用户");
  EXPECT_EQ(dump() + list(kUserA, g), state);
}

}  // namespace
}  // namespace wayfind::erp::testing
