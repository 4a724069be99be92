// Two windows on one favourites list: the later save stores only what its window
// changed against the list it read, and tells the fields both changed.
#include <sstream>

#include "erp/api/save_conflicts.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class MergeList : public UpdateTest {
 protected:
  // "10001:A:a 10002:B:b" as rows of a list, or as the dictionaries of a save.
  static platform::VectorPtr rows(const std::string& list) {
    auto v = std::make_shared<platform::Vector>();
    std::istringstream in(list);
    for (std::string row; in >> row;) {
      const auto c1 = row.find(':'), c2 = row.find(':', c1 + 1);
      const int32_t id = std::stoi(row.substr(0, c1));
      v->Append(Variant(dict({{"FDetailFuncID", id},
                              {"FHelpCode", row.substr(c1 + 1, c2 - c1 - 1).c_str()},
                              {"FShowName", row.substr(c2 + 1).c_str()},
                              {"FFuncName", ("功能" + std::to_string(id)).c_str()}})));
    }
    return v;
  }
  int32_t group(int32_t user) {
    std::string name = "日常", show;
    up_.AddNormalFuncGroup(props(user), name, show);
    auto groups = datas_.GetNormalFuncGroup(props(user)).objectAs<platform::Recordset>();
    return platform::CLng(groups->value("FFuncGroupID"));
  }
  void replace(int32_t user, int32_t g, const std::string& list) {
    auto v = rows(list);
    up_.ReplaceNormalList(props(user), g, v);
  }
  // Saves mine against read; the conflicts as "id:key".
  std::vector<api::SaveConflict> save(int32_t user, int32_t g, const std::string& mine, const std::string& read,
                                      const std::string& language = "chs") {
    auto v = rows(mine);
    auto info = dict({{api::kReadListKey, Variant(rows(read))}});
    v->Append(Variant(info));
    EXPECT_TRUE(platform::CBool(up_.ReplaceNormalList(props(user, language), g, v)));
    return api::TakeConflicts(*info);
  }
  static std::string keys(const std::vector<api::SaveConflict>& conflicts) {
    std::string out;
    for (const auto& c : conflicts) out += (c.key == "FIndex" ? "" : std::to_string(c.id) + ":") + c.key + " ";
    return out;
  }
  std::string list(int32_t user, int32_t g) {
    auto rs = datas_.GetDetailNormalFunc(props(user), g).objectAs<platform::Recordset>();
    std::string out;
    for (; !rs->isEOF(); rs->MoveNext())
      out += platform::CStr(rs->value("FDetailFuncID")) + ":" + platform::CStr(rs->value("FHelpCode")) + ":" +
             platform::CStr(rs->value("FShowName")) + " ";
    return out;
  }
};

TEST_F(MergeList, EachSideKeepsWhatOnlyItChangedAndBothChangesDifferentlyConflict) {
  struct Case {
    const char* what;
    const char* read;
    const char* theirs;
    const char* mine;
    const char* stored;
    const char* conflicts;
  };
  const char* const three = "10001:A:a 10002:B:b 10101:C:c";
  const Case cases[] = {
      {"only I changed", three, three, "10001:A2:a 10002:B:b 10101:C:c", "10001:A2:a 10002:B:b 10101:C:c ", ""},
      {"each a field of one row", three, "10001:A:a2 10002:B:b 10101:C:c", "10001:A2:a 10002:B:b 10101:C:c",
       "10001:A2:a2 10002:B:b 10101:C:c ", ""},
      {"both a help code, alike", three, "10001:X:a 10002:B:b 10101:C:c", "10001:X:a 10002:B:b 10101:C:c",
       "10001:X:a 10002:B:b 10101:C:c ", ""},
      {"both a help code, differently", three, "10001:T:a 10002:B:b 10101:C:c", "10001:M:a 10002:B:b 10101:C:M",
       "10001:T:a 10002:B:b 10101:C:M ", "10001:FHelpCode "},
      {"each added one", "10001:A:a 10002:B:b", "10001:A:a 10002:B:b 10101:T:t", "10001:A:a 10002:B:b 20001:M:m",
       "10001:A:a 10002:B:b 20001:M:m 10101:T:t ", ""},
      {"both added one, with other texts", "10001:A:a", "10001:A:a 10101:T:t", "10001:A:a 10101:M:t",
       "10001:A:a 10101:T:t ", "10101:FHelpCode "},
      {"they removed one I left", three, "10001:A:a 10101:C:c", "10001:A2:a 10002:B:b 10101:C:c",
       "10001:A2:a 10101:C:c ", ""},
      {"they removed one I edited", three, "10001:A:a 10101:C:c", "10001:A:a 10002:B2:b 10101:C:c",
       "10001:A:a 10101:C:c ", "10002:Listed "},
      {"I removed one they edited", three, "10001:A:a 10002:B2:b 10101:C:c", "10001:A:a 10101:C:c",
       "10001:A:a 10002:B2:b 10101:C:c ", "10002:Listed "},
      {"I removed one, they added one", "10001:A:a 10002:B:b", "10001:A:a 10002:B:b 10101:C:c", "10001:A:a",
       "10001:A:a 10101:C:c ", ""},
      {"only I moved, they edited", three, "10001:A:a2 10002:B:b 10101:C:c", "10101:C:c 10001:A:a 10002:B:b",
       "10101:C:c 10001:A:a2 10002:B:b ", ""},
      {"only they moved, I added", "10001:A:a 10002:B:b", "10002:B:b 10001:A:a", "10001:A:a 10002:B:b 20001:M:m",
       "10002:B:b 20001:M:m 10001:A:a ", ""},
      {"both moved, alike", three, "10101:C:c 10001:A:a 10002:B:b", "10101:C:c 10001:A:a 10002:B:b",
       "10101:C:c 10001:A:a 10002:B:b ", ""},
      {"both moved, differently", three, "10101:C:c 10001:A:a 10002:B:b", "10002:B:b 10001:A:a 10101:C:c",
       "10101:C:c 10001:A:a 10002:B:b ", "FIndex "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t g = group(kUserA);
    replace(kUserA, g, c.read);
    replace(kUserA, g, c.theirs);  // the other window saved first
    EXPECT_EQ(keys(save(kUserA, g, c.mine, c.read)), c.conflicts);
    EXPECT_EQ(list(kUserA, g), c.stored);
    int32_t gone = g;
    up_.DelNormalFuncGroup(props(kUserA), gone);
  }
}

TEST_F(MergeList, ConflictsAreToldInTheCallersLanguageAndSendingTheirsAsReadKeepsMine) {
  const int32_t g = group(kUserA);
  const char* read = "10001:A:a 10002:B:b 10101:C:c 20001:D:d";
  replace(kUserA, g, read);
  replace(kUserA, g, "10101:C:c 10001:T:a 20001:D:d");  // moved, a help code, one removed
  const char* mine = "10002:B2:b 10001:M:a 20001:D:d 10101:C:c";
  auto conflicts = save(kUserA, g, mine, read, "en");
  EXPECT_EQ(keys(conflicts), "10001:FHelpCode 10002:Listed FIndex ");
  ASSERT_EQ(conflicts.size(), 3u);
  EXPECT_EQ(conflicts[0].item, "功能10001");
  EXPECT_EQ(conflicts[0].field, "Help code");
  EXPECT_EQ(conflicts[0].theirs, "T");
  EXPECT_EQ(conflicts[0].mine, "M");
  EXPECT_EQ(conflicts[1].theirs, "removed");
  EXPECT_EQ(conflicts[2].item, "日常");
  EXPECT_EQ(conflicts[2].theirs, "功能10101, 功能10001, 功能20001");
  EXPECT_EQ(conflicts[2].mine, "功能10001, 功能20001, 功能10101");
  EXPECT_EQ(list(kUserA, g), "10101:C:c 10001:T:a 20001:D:d ") << "nothing of theirs overwritten";
  // Keeping mine: the same rows, read as theirs where they conflicted.
  EXPECT_EQ(keys(save(kUserA, g, mine, "10101:C:c 10001:T:a 20001:D:d")), "");
  EXPECT_EQ(list(kUserA, g), "10002:B2:b 10001:M:a 20001:D:d 10101:C:c ");
}

}  // namespace
}  // namespace wayfind::erp::testing
