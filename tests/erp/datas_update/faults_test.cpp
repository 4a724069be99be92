// A change that fails part-way leaves the stored data as it was.
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class Faults : public UpdateTest {
 protected:
  platform::DictionaryPtr none_;
  void failAt(const std::string& method, const std::string& point) {
    middletier::setChangeFaultHookForTesting([=](std::string_view m, std::string_view p) {
      if (m == method && p == point) throw platform::AutomationError(999, "fault", "injected at " + point);
    });
  }
  void expectInjected(const std::function<void()>& fn) {
    try {
      fn();
      ADD_FAILURE() << "the fault did not fire";
    } catch (const platform::AutomationError& e) {
      EXPECT_EQ(e.number(), 999) << e.description();
    }
  }
  void customiseA() {
    int32_t id = 100, index = 0, sub = 100;
    bool no = false;
    auto d = dict({{"NewName", "改名"}});
    up_.UpdateSubSysFunc(props(kUserA), id, d, false, none_);
    auto det = dict({{"NewName", "工具"}, {"FClassName", "/opt/x"}});
    up_.CreateDetailFunc(props(kUserA), sub, index, det, no);
    std::string h, s = "x", n = "x";
    int32_t g = -1, f = 10001;
    up_.AppendNormalItem(props(kUserA), f, h, s, n, g);
  }
};

TEST_F(Faults, InterruptedChangesLeaveEverythingAsBefore) {
  customiseA();
  auto exported = datas_.ExportUserData(props(kUserA));
  int32_t id = 10001, sys = 10;
  std::string name = "FOO", value = "1";
  bool yes = true;
  const struct {
    const char* method;
    const char* point;
    std::function<void()> run;
  } cases[] = {
      {"ImportUserData", "SubFunc", [&] { up_.ImportUserData(props(kUserB), exported); }},
      {"ImportUserData", "favourites", [&] { up_.ImportUserData(props(kUserA), exported); }},
      {"ApplyAllUser", "applied",
       [&] {
         auto v = std::make_shared<platform::Vector>();
         v->Append(Variant(kUserB));
         v->Append(Variant(kUserC));
         platform::VectorPtr vect = v;
         auto info = dict({{"TemplateUserID", kUserA}});
         up_.ApplyAllUser(props(kAdmin), vect, info);
       }},
      {"SetDefault", "t_NavUserSubFunc", [&] { up_.SetDefault(props(kUserA)); }},
      {"UpdateDetailFuncAttr", "commit",
       [&] {
         auto d = dict({{"NewName", "新"}});
         up_.UpdateDetailFuncAttr(props(kUserA), id, d, false, none_);
       }},
      {"SetProfileValue", "write", [&] { up_.SetProfileValue(props(kUserB), name, value); }},
      {"AppendNormalItem", "moved",
       [&] {
         std::string h, s = "y", n = "y";
         int32_t g = -1;
         up_.AppendNormalItem(props(kUserA), id, h, s, n, g);
       }},
      {"RefreshSubFunc", "upserted",
       [&] {
         auto v = std::make_shared<platform::Vector>();
         v->Append(Variant(dict({{"FSubFuncID", 150}, {"FFuncName", "新子功能"}})));
         platform::VectorPtr vect = v;
         up_.RefreshSubFunc(props(kAdmin), sys, vect, yes, yes);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " at " + c.point);
    const std::string before = dump();
    const std::string version = userVersion(kUserA);
    failAt(c.method, c.point);
    expectInjected(c.run);
    middletier::setChangeFaultHookForTesting({});
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(userVersion(kUserA), version);
  }
  // Without the fault the same change goes through on the same connection.
  up_.ImportUserData(props(kUserB), exported);
  EXPECT_EQ(userTable(kUserB, "SubFunc")->storedRowCount(), 1u);
}

TEST_F(Faults, AListReplacedWholeOrNotAtAll) {
  std::string h, s = "旧", n = "旧";
  int32_t g = -1, f = 10002;
  up_.AppendNormalItem(props(kUserA), f, h, s, n, g);
  const std::string before = dump();
  // The write fails as the third row goes in: the two rows before it and the
  // emptying of the list are undone with it.
  int rows = 0;
  middletier::setChangeFaultHookForTesting([&](std::string_view m, std::string_view p) {
    if (m == "ReplaceNormalList" && p == "row" && ++rows == 3) throw platform::AutomationError(999, "fault", "third");
  });
  auto list = std::make_shared<platform::Vector>();
  for (int32_t id : {10001, 20001, 10101, 10002})
    list->Append(Variant(dict({{"FDetailFuncID", id}, {"FHelpCode", ""}, {"FShowName", "x"}, {"FFuncName", "x"}})));
  platform::VectorPtr v = list;
  expectInjected([&] { up_.ReplaceNormalList(props(kUserA), g, v); });
  middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(dump(), before);
  // Without the fault the whole list goes in.
  EXPECT_TRUE(platform::CBool(up_.ReplaceNormalList(props(kUserA), g, v)));
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem"), 4);
}

}  // namespace
}  // namespace wayfind::erp::testing
