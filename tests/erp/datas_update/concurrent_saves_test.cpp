// Saves from windows that read a node before another user changed it: what the
// window sent with the values it read is stored field by field, a field changed
// on both sides is reported and left as stored, and the rows a save records for
// a template user are all that ApplyAllUser gives the others; and a start of a
// function counts without a new version.
#include "erp/api/save_conflicts.h"
#include "platform/navigation/function_use.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class ConcurrentSaves : public UpdateTest {
 protected:
  platform::DictionaryPtr none_;

  // A save as the editor sends it: the changed keys, and under "Read" what the
  // window read for them.
  static platform::DictionaryPtr edit(std::initializer_list<std::pair<const char*, Variant>> mine,
                                      std::initializer_list<std::pair<const char*, Variant>> read) {
    auto d = dict(mine);
    d->SetValue("Read", Variant(dict(read)));
    return d;
  }
  void saveDetail(int32_t user, int32_t id, platform::DictionaryPtr d, const platform::DictionaryPtr& info,
                  const std::string& language = "chs") {
    up_.UpdateDetailFuncAttr(props(user, language), id, d, false, info ? const_cast<platform::DictionaryPtr&>(info) : none_);
  }
  Variant stored(int32_t user, int32_t id, const char* field) {
    auto r = row(userTable(user, "DetailFunc"), "FDetailFuncID", id);
    return r.count(field) ? r[field] : Variant::null();
  }
};

TEST_F(ConcurrentSaves, FieldsMergeAndOnlyTrueConflictsAreReported) {
  // Each case: another window of the same user saves first (blind, as the
  // command line does), then this window saves what it changed against what it
  // read (the template's values of 凭证录入: name 凭证录入, help code PZLR, index 1).
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, Variant>> theirs;
    std::vector<std::pair<const char*, Variant>> mine, read;
    std::vector<std::pair<const char*, Variant>> expected;  // stored afterwards
    std::vector<std::string> conflicts;                      // keys reported
  };
  const std::vector<Case> cases = {
      {"nobody else", {}, {{"HelpCode", "LR"}}, {{"HelpCode", "PZLR"}}, {{"FHelpCode", Variant("LR")}}, {}},
      {"another field", {{"NewName", "录入凭证"}}, {{"HelpCode", "LR"}}, {{"HelpCode", "PZLR"}},
       {{"FFuncName", Variant("录入凭证")}, {"FHelpCode", Variant("LR")}}, {}},
      {"the same change", {{"HelpCode", "LR"}}, {{"HelpCode", "LR"}}, {{"HelpCode", "PZLR"}},
       {{"FHelpCode", Variant("LR")}}, {}},
      {"a true conflict", {{"NewName", "查询凭证ADM"}, {"Index", 7}},
       {{"NewName", "我的凭证"}, {"HelpCode", "W"}, {"Index", 7}},
       {{"NewName", "凭证录入"}, {"HelpCode", "PZLR"}, {"Index", 1}},
       {{"FFuncName", Variant("查询凭证ADM")}, {"FHelpCode", Variant("W")}, {"FIndex", Variant(7)}}, {"NewName"}},
      {"the same flag", {{"Visible", false}}, {{"Visible", 0}, {"Index", 3}}, {{"Visible", 1}, {"Index", 1}},
       {{"FVisible", Variant(0)}, {"FIndex", Variant(3)}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto reset = dict({{"NewName", "凭证录入"}, {"HelpCode", "PZLR"}, {"Visible", 1}, {"Index", 1}});
    int32_t id = 10001;
    up_.UpdateDetailFuncAttr(props(kUserA), id, reset, false, none_);
    if (c.theirs.size()) {
      auto d = std::make_shared<platform::Dictionary>();
      for (const auto& [k, v] : c.theirs) d->SetValue(k, v);
      up_.UpdateDetailFuncAttr(props(kUserA), id, d, false, none_);
    }
    auto mine = std::make_shared<platform::Dictionary>(), read = std::make_shared<platform::Dictionary>();
    for (const auto& [k, v] : c.mine) mine->SetValue(k, v);
    for (const auto& [k, v] : c.read) read->SetValue(k, v);
    mine->SetValue("Read", Variant(read));
    auto info = std::make_shared<platform::Dictionary>();
    saveDetail(kUserA, id, mine, info);
    for (const auto& [field, value] : c.expected) EXPECT_EQ(stored(kUserA, id, field), value) << field;
    const auto conflicts = api::TakeConflicts(*info);
    std::vector<std::string> keys;
    for (const auto& k : conflicts) keys.push_back(k.key);
    EXPECT_EQ(keys, c.conflicts);
    if (!conflicts.empty()) {
      EXPECT_EQ(conflicts[0].id, 10001);
      EXPECT_EQ(conflicts[0].theirs, "查询凭证ADM");
      EXPECT_EQ(conflicts[0].mine, "我的凭证");
      EXPECT_NE(conflicts[0].item.find("查询凭证ADM"), std::string::npos) << conflicts[0].item;
      EXPECT_EQ(conflicts[0].theirsValue, Variant("查询凭证ADM"));
    }
  }
}

TEST_F(ConcurrentSaves, ValuesReadInEnglishCompareWithTheNamesShownInEnglish) {
  // Unchanged since read: the English name shown is the template's, so a change of
  // the help code alone is no conflict, and the row keeps following the template's names.
  auto info = std::make_shared<platform::Dictionary>();
  saveDetail(kUserA, 10001, edit({{"HelpCode", "VE"}}, {{"HelpCode", "PZLR"}}), info, "en");
  saveDetail(kUserA, 10001, edit({{"NewName", "Entry"}}, {{"NewName", "Voucher entry"}}), info, "en");
  EXPECT_TRUE(api::TakeConflicts(*info).empty());
  EXPECT_EQ(stored(kUserA, 10001, "FHelpCode"), Variant("VE"));
  EXPECT_EQ(stored(kUserA, 10001, "FFuncName"), Variant("Entry"));

  // Without an info dictionary a conflict cannot be told: the row is refused whole.
  const std::string state = dump();
  expectRefused([&] {
    saveDetail(kUserA, 10001, edit({{"NewName", "X"}, {"HelpCode", "Y"}}, {{"NewName", "Voucher entry"}, {"HelpCode", "VE"}}),
               nullptr, "en");
  }, "another user");
  EXPECT_EQ(dump(), state);
}

TEST_F(ConcurrentSaves, SettingsAreWrittenTogetherAgainstWhatWasRead) {
  std::string name = "T8EIS", theirs = "他人的站点";
  up_.SetProfileValue(props(kUserA), name, theirs);  // another window, after this one read ""
  const auto profile = [&](const std::string& key) {
    auto st = conn().prepare("SELECT FValue FROM t_NavUserProfile WHERE FUserID = ? AND FName = ?");
    st.bindAll(kUserA, key);
    return st.step() ? st.text(0) : std::string("(none)");
  };
  const auto send = [&](const platform::DictionaryPtr& info) {
    auto values = edit({{"T8EIS", "我的站点"}, {"CLICK_ACTIVATE", "1"}}, {{"T8EIS", ""}, {"CLICK_ACTIVATE", "0"}});
    platform::DictionaryPtr out = info;
    up_.SetProfileValues(props(kUserA), values, out);
  };
  // With nowhere to report the conflict, nothing is written.
  expectRefused([&] { send(nullptr); }, "其他用户");
  EXPECT_EQ(profile("CLICK_ACTIVATE"), "(none)");
  auto info = std::make_shared<platform::Dictionary>();
  send(info);
  EXPECT_EQ(profile("CLICK_ACTIVATE"), "1");
  EXPECT_EQ(profile("T8EIS"), theirs);
  const auto conflicts = api::TakeConflicts(*info);
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0].key, "T8EIS");
  EXPECT_EQ(conflicts[0].theirsValue, Variant(theirs));
}

TEST_F(ConcurrentSaves, ApplyingRecordedRowsGivesTheOthersThoseRowsAndNothingElse) {
  // User A has a private setup: a custom sub-function, another name for 账簿, a profile value.
  auto own = dict({{"NewName", "我的财务"}});
  int32_t sys = 10, index = 0;
  bool tpl = false;
  up_.CreateSubFunc(props(kUserA), sys, index, own, tpl);
  auto rename = dict({{"NewName", "总账（张伟）"}});
  int32_t ledger = 101;
  up_.UpdateSubSysFunc(props(kUserA), ledger, rename, false, none_);
  std::string name = "CLICK_ACTIVATE", value = "1";
  up_.SetProfileValue(props(kUserA), name, value);
  const int64_t bRows = count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FUserID = 16386");

  // The administrator applies one row of the sub-functions to A and B: A through the
  // save, B through the rows that save recorded.
  auto info = dict({{"TemplateUserID", std::to_string(kUserA)}});
  auto row = dict({{"NewName", "凭证ADM"}, {"Visible", 1}, {"Index", 1}});
  int32_t voucher = 100;
  up_.UpdateSubSysFunc(props(kAdmin), voucher, row, false, info);
  auto users = std::make_shared<platform::Vector>();
  users->Append(Variant(std::to_string(kUserB)));
  up_.ApplyAllUser(props(kAdmin), users, info);

  for (int32_t user : {kUserA, kUserB}) {
    auto r = this->row(userTable(user, "SubFunc"), "FSubFuncID", 100);
    EXPECT_EQ(r["FFuncName"], Variant("凭证ADM")) << user;
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FUserID = 16386"), bRows + 1)
      << "B got the applied row only";
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserSubFunc WHERE FUserID = 16386 AND FFuncName IN ('我的财务', '总账（张伟）')"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile WHERE FUserID = 16386"), 0);
  EXPECT_TRUE(this->row(userTable(kAdmin, "SubFunc"), "FSubFuncID", 100).empty()) << "the administrator's own rows stay";
}

// A start counts in the user's own record, beside the settings, and leaves the
// user's version alone: no client loads the user's data again for it.
TEST_F(ConcurrentSaves, AStartCountsInTheUsersRecordWithoutANewVersion) {
  const std::string before = userVersion(kUserA);
  int32_t id = 1010101;
  EXPECT_EQ(up_.GetFunctionUse(props(kUserA)), "");
  up_.RecordFunctionUse(props(kUserA), id);
  const std::string use = up_.RecordFunctionUse(props(kUserA), id);
  EXPECT_DOUBLE_EQ(nav::FunctionUse::parse(use).score(id, nav::UseDayToday()), 2.0) << use;
  EXPECT_EQ(up_.GetFunctionUse(props(kUserA)), use);
  EXPECT_EQ(up_.GetFunctionUse(props(kUserB)), "") << "each user's own";
  EXPECT_EQ(userVersion(kUserA), before);
  // Restoring the default tree, as an import does, keeps what the user started.
  up_.SetDefault(props(kUserA));
  EXPECT_EQ(up_.GetFunctionUse(props(kUserA)), use);
}

}  // namespace
}  // namespace wayfind::erp::testing
