// The favourites groups: reading them, and the group choice of AppendNormalItem.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "context/language.h"
#include "fake_info_server.h"
#include "fake_login.h"
#include "mock_update_server.h"
#include "store/data_info.h"
#include "store/normal_func_queries.h"
#include "update/datas_update.h"
#include "update/group_chooser.h"
#include "update/normal_func.h"

using namespace wayfind;
using namespace wayfind::fakes;
using platform::AutomationError;
using platform::Variant;
using ::testing::_;
using ::testing::Eq;
using ::testing::Return;
using ::testing::Throw;

namespace {

class ScriptedChooser : public update::IGroupChooser {
 public:
  int32_t answerIndex = -1;  // -1: closed without OK
  std::vector<update::GroupChoice> shown;
  int calls = 0;
  int32_t choose(const std::vector<update::GroupChoice>& groups) override {
    ++calls;
    shown = groups;
    return answerIndex < 0 ? -1 : groups.at(static_cast<size_t>(answerIndex)).groupId;
  }
};

class NormalFuncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context::LanguageState::instance().reset();
    store::DataInfo::instance().reset();
    previous = update::installGroupChooser(chooser);
  }
  void TearDown() override { update::installGroupChooser(previous); }

  ScopedLogin login;
  std::shared_ptr<MockUpdateServer> updates = std::make_shared<MockUpdateServer>();
  std::shared_ptr<FakeInfoServer> info = std::make_shared<FakeInfoServer>();
  platform::ScopedRegistration regUpdate{erp::progid::kServerDatasUpdate, platform::sharedFactory(updates)};
  platform::ScopedRegistration regInfo{erp::progid::kServerDatasInfo, platform::sharedFactory(info)};
  std::shared_ptr<ScriptedChooser> chooser = std::make_shared<ScriptedChooser>();
  std::shared_ptr<update::IGroupChooser> previous;
};

}  // namespace

TEST_F(NormalFuncTest, OneGroupSendsMinusOneWithoutAChooser) {
  info->groups = Variant(groupRows({{4, "常用功能"}}));
  EXPECT_CALL(*updates, AppendNormalItem(_, Eq(1000000002), Eq(std::string("pz")), Eq(std::string("凭证")),
                                         Eq(std::string("凭证录入")), Eq(-1)))
      .WillOnce(Return(Variant(true)));
  EXPECT_TRUE(update::AppendNormalItem(1000000002, "pz", "凭证", "凭证录入", Variant(-1)));
  EXPECT_EQ(chooser->calls, 0);
}

TEST_F(NormalFuncTest, ThreeGroupsAskTheChooserInServerOrder) {
  info->groups = Variant(groupRows({{7, "总账"}, {3, "报表"}, {9, "出纳"}}));
  chooser->answerIndex = 1;
  EXPECT_CALL(*updates, AppendNormalItem(_, Eq(42), _, _, _, Eq(3))).WillOnce(Return(Variant(int32_t{-1})));
  EXPECT_TRUE(update::AppendNormalItem(42, "", "", "", Variant(int32_t{-1})));
  ASSERT_EQ(chooser->shown.size(), 3u);
  EXPECT_EQ(chooser->shown[0].name, "总账");
  EXPECT_EQ(chooser->shown[1].name, "报表");
  EXPECT_EQ(chooser->shown[2].groupId, 9);
}

TEST_F(NormalFuncTest, AGroupWithoutANameIsListedAsEmptyText) {
  auto rows = groupRows({{7, "总账"}, {3, "报表"}});
  rows->MoveLast();
  rows->setValue("FFuncGroupName", Variant::null());
  rows->MoveFirst();
  info->groups = Variant(rows);
  chooser->answerIndex = 1;
  EXPECT_CALL(*updates, AppendNormalItem(_, _, _, _, _, Eq(3))).WillOnce(Return(Variant(true)));
  EXPECT_TRUE(update::AppendNormalItem(42, "", "", "", Variant(-1)));
  ASSERT_EQ(chooser->shown.size(), 2u);
  EXPECT_EQ(chooser->shown[1].name, "");
}

TEST_F(NormalFuncTest, ChoiceClosedWithoutOkCallsNoServer) {
  info->groups = Variant(groupRows({{7, "总账"}, {3, "报表"}}));
  chooser->answerIndex = -1;
  EXPECT_CALL(*updates, AppendNormalItem(_, _, _, _, _, _)).Times(0);
  EXPECT_FALSE(update::AppendNormalItem(42, "", "", "", Variant(-1)));
  // No chooser installed behaves the same.
  update::installGroupChooser(nullptr);
  EXPECT_FALSE(update::AppendNormalItem(42, "", "", "", Variant(-1)));
}

TEST_F(NormalFuncTest, AGivenGroupReadsNoGroupList) {
  EXPECT_CALL(*updates, AppendNormalItem(_, Eq(42), _, _, _, Eq(7))).WillOnce(Return(Variant("True")));
  EXPECT_TRUE(update::AppendNormalItem(42, "", "", "", Variant("7")));
  EXPECT_EQ(info->groupReads, 0);
}

TEST_F(NormalFuncTest, AFailingAppendAnswersFalseButAFailingGroupReadIsRaised) {
  EXPECT_CALL(*updates, AppendNormalItem(_, _, _, _, _, _)).WillOnce(Throw(AutomationError(9, "x", "y")));
  EXPECT_FALSE(update::AppendNormalItem(42, "", "", "", Variant(7)));

  info->failGroups = true;
  try {
    update::AppendNormalItem(42, "", "", "", Variant(-1));
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), "获取常用功能组失败。\r\n失败原因：连接已关闭");
  }
}

TEST_F(NormalFuncTest, GroupReadFailureWithoutServerIsError5) {
  platform::ScopedUnregistration gone(erp::progid::kServerDatasInfo);
  try {
    store::GetNormalFuncGroup();
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_NE(e.description().find("获取常用功能组失败。\r\n失败原因："), std::string::npos);
  }
}

TEST_F(NormalFuncTest, DetailNormalFuncPassesTheServersRecordSet) {
  auto rows = groupRows({{1, "x"}});
  int32_t asked = 0;
  info->detailNormal = [&](int32_t g) {
    asked = g;
    return Variant(rows);
  };
  EXPECT_EQ(store::GetDetailNormalFunc(12), rows);
  EXPECT_EQ(asked, 12);
  info->detailNormal = [](int32_t) { return Variant("not a record set"); };
  EXPECT_THROW(store::GetDetailNormalFunc(12), AutomationError);
}

namespace {
class ReplacingServer : public MockUpdateServer {
 public:
  MOCK_METHOD(Variant, ReplaceNormalList, (const Props&, int32_t&, Vect&), (override));
};
}  // namespace

TEST_F(NormalFuncTest, ReplacingAListSendsTheRowsAndReportsTheServersError) {
  auto replacing = std::make_shared<ReplacingServer>();
  platform::ScopedRegistration reg{erp::progid::kServerDatasUpdate, platform::sharedFactory(replacing)};
  auto rows = std::make_shared<platform::Vector>();
  rows->Append(Variant(42));
  platform::VectorPtr seen;
  EXPECT_CALL(*replacing, ReplaceNormalList(_, Eq(7), _))
      .WillOnce([&](const Props&, int32_t&, Vect& v) {
        seen = v;
        return Variant(true);
      })
      .WillOnce(Throw(AutomationError(5, "ZelWayfind.DatasUpdate", "明细功能 42 不存在。")));
  update::DatasUpdate du;
  du.ReplaceNormalList(7, rows);
  EXPECT_EQ(seen, rows);
  try {
    du.ReplaceNormalList(7, rows);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), "明细功能 42 不存在。");
  }
  // No list at all is an empty one, not a missing object.
  EXPECT_CALL(*replacing, ReplaceNormalList(_, Eq(-1), _)).WillOnce([](const Props&, int32_t&, Vect& v) {
    EXPECT_TRUE(v && v->Count() == 0);
    return Variant(true);
  });
  update::ReplaceNormalList(-1, nullptr);
}

TEST_F(NormalFuncTest, AServerWithoutListReplacementAnswers438) {
  try {
    update::DatasUpdate().ReplaceNormalList(7, std::make_shared<platform::Vector>());
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 438);
  }
}
