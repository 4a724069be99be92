// The update class's forwarding: arguments in order behind PropsString, by-reference
// results, replaced objects, and the three failure policies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "context/language.h"
#include "fake_login.h"
#include "mock_update_server.h"
#include "platform/events/do_events.h"
#include "update/datas_update.h"

using namespace wayfind;
using namespace wayfind::fakes;
using platform::AutomationError;
using platform::Variant;
using ::testing::_;
using ::testing::Eq;
using ::testing::DoAll;
using ::testing::Invoke;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::Throw;

namespace {

const std::string kProps = "UserID=16394;UserName=王芳;T8Version=9.0;Language=chs";

class DatasUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override { context::LanguageState::instance().reset(); }
  ScopedLogin login;
  std::shared_ptr<MockUpdateServer> server = std::make_shared<MockUpdateServer>();
  platform::ScopedRegistration reg{erp::progid::kServerDatasUpdate, platform::sharedFactory(server)};
  update::DatasUpdate du;
};

AutomationError serverError() { return AutomationError(1234, "ZelWayfind.DatasUpdate", "磁盘已满", "help.chm", 77); }

}  // namespace

TEST_F(DatasUpdateTest, DiscardedRefreshWithoutServerLeavesArgumentsAsPassed) {
  platform::ScopedUnregistration gone(erp::progid::kServerDatasUpdate);
  int32_t sys = 1001;
  auto vect = std::make_shared<platform::Vector>();
  auto before = vect;
  EXPECT_NO_THROW(du.RefreshSubFunc(sys, vect));
  EXPECT_EQ(sys, 1001);
  EXPECT_EQ(vect, before);
}

TEST_F(DatasUpdateTest, RefreshHandsBackWhatTheServerLeft) {
  auto replaced = std::make_shared<platform::Vector>();
  replaced->Append(Variant(7));
  EXPECT_CALL(*server, RefreshDetailFunc(Eq(kProps), Eq(1001), _, Eq(true), Eq(false)))
      .WillOnce(DoAll(SetArgReferee<1>(1002), SetArgReferee<2>(replaced)));
  int32_t sys = 1001;
  platform::VectorPtr vect;
  du.RefreshDetailFunc(sys, vect, nullptr, false);
  EXPECT_EQ(sys, 1002);
  EXPECT_EQ(vect, replaced);
}

TEST_F(DatasUpdateTest, DiscardedFailureKeepsWhatTheServerWroteIntoLongsButNotObjects) {
  auto caller = std::make_shared<platform::Vector>();
  EXPECT_CALL(*server, RefreshSubFunc(_, _, _, _, _))
      .WillOnce(DoAll(SetArgReferee<1>(55), SetArgReferee<2>(std::make_shared<platform::Vector>()),
                      Throw(serverError())));
  int32_t sys = 1;
  auto vect = caller;
  bool delAll = true;
  EXPECT_NO_THROW(du.RefreshSubFunc(sys, vect, &delAll));
  EXPECT_EQ(sys, 55);
  EXPECT_EQ(vect, caller);
}

TEST_F(DatasUpdateTest, CreateMethodsAnswerTheServerResultOrZero) {
  auto fromServer = std::make_shared<platform::Dictionary>();
  EXPECT_CALL(*server, CreateSubFunc(Eq(kProps), Eq(100101), Eq(3), _, Eq(false)))
      .WillOnce(DoAll(SetArgReferee<3>(fromServer), Return(Variant("10000007"))));
  int32_t sys = 100101, index = 3;
  platform::DictionaryPtr dict;
  EXPECT_EQ(du.CreateSubFunc(sys, index, dict), 10000007);
  EXPECT_EQ(dict, fromServer);

  EXPECT_CALL(*server, CreateSubSys(_, _, _, _, _)).WillOnce(Throw(serverError()));
  EXPECT_CALL(*server, CreateTopClass(_, _, _, _)).WillOnce(Throw(std::runtime_error("boom")));
  auto mine = std::make_shared<platform::Dictionary>();
  auto keep = mine;
  int32_t top = 1001;
  EXPECT_EQ(du.CreateSubSys(top, index, mine), 0);
  EXPECT_EQ(du.CreateTopClass(index, mine), 0);
  EXPECT_EQ(mine, keep);
  // An answer that is not a number is a failure too: result 0, dictionary kept.
  EXPECT_CALL(*server, CreateTopClass(_, _, _, _))
      .WillOnce(DoAll(SetArgReferee<2>(std::make_shared<platform::Dictionary>()), Return(Variant("abc"))));
  EXPECT_EQ(du.CreateTopClass(index, mine), 0);
  EXPECT_EQ(mine, keep);
}

TEST_F(DatasUpdateTest, NodeUpdatesReraiseWithoutHelpAndKeepTheCallersDictionary) {
  auto dict = std::make_shared<platform::Dictionary>();
  auto keep = dict;
  EXPECT_CALL(*server, UpdateTopClass(Eq(kProps), Eq(1003), _, Eq(false), _))
      .WillOnce(DoAll(SetArgReferee<2>(std::make_shared<platform::Dictionary>()), Throw(serverError())));
  try {
    du.UpdateTopClass(1003, dict);
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 1234);
    EXPECT_EQ(e.source(), "ZelWayfind.DatasUpdate");
    EXPECT_EQ(e.description(), "磁盘已满");
    EXPECT_EQ(e.helpFile(), "");
    EXPECT_EQ(e.helpContext(), 0);
  }
  EXPECT_EQ(dict, keep);
}

TEST_F(DatasUpdateTest, NodeUpdatesAnswerEmptyAndPassInfoUnreplaced) {
  auto info = std::make_shared<platform::Dictionary>();
  info->SetValue("TemplateUserID", Variant(16395));
  auto replaced = std::make_shared<platform::Dictionary>();
  EXPECT_CALL(*server, UpdateSubSysFunc(Eq(kProps), Eq(10000001), _, Eq(false), _))
      .WillOnce(Invoke([&](const Props&, int32_t&, Dict& d, bool, Dict& i) {
        EXPECT_EQ(i, info);
        i = nullptr;  // the server may scribble on its copy
        d = replaced;
      }));
  auto dict = std::make_shared<platform::Dictionary>();
  Variant r = du.UpdateSubSysFunc(10000001, dict, info);
  EXPECT_TRUE(r.isEmpty());
  EXPECT_EQ(dict, replaced);
  EXPECT_EQ(info->GetValue("TemplateUserID"), Variant(16395));
  EXPECT_CALL(*server, SetUnInsSys(Eq(kProps)));
  EXPECT_TRUE(du.SetUnInsSys().isEmpty());
}

TEST_F(DatasUpdateTest, ReportedFailuresReachTheCallerWithTheServersError) {
  EXPECT_CALL(*server, ClearNormalList(Eq(kProps), Eq(-1))).WillOnce(Throw(serverError()));
  try {
    du.ClearNormalList();
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 1234);
    EXPECT_EQ(e.description(), "磁盘已满");
    EXPECT_EQ(e.source(), "ZelWayfind.DatasUpdate");
  }
  EXPECT_CALL(*server, AddNormalFuncGroup(Eq(kProps), Eq(std::string("月结")), Eq(std::string(""))))
      .WillOnce(Return(Variant(int32_t{-1})));
  EXPECT_TRUE(du.AddNormalFuncGroup("月结"));
  EXPECT_CALL(*server, DelNormalFuncGroup(Eq(kProps), Eq(9))).WillOnce(Return(Variant("0")));
  Variant deleted = du.DelNormalFuncGroup(9);
  EXPECT_EQ(deleted, Variant(false));
  EXPECT_CALL(*server, UpdateNormalFuncGroup(Eq(kProps), Eq(9), Eq(std::string("季报")))).WillOnce(Return(Variant(int32_t{3})));
  EXPECT_EQ(du.UpdateNormalFuncGroup(9, "季报"), Variant(int32_t{3}));  // unchanged
}

TEST_F(DatasUpdateTest, NamesAndProfileAreReraisedAndWrittenBack) {
  EXPECT_CALL(*server, UpdateSubSysFuncName(Eq(kProps), Eq(10000001), Eq(std::string("凭证"))))
      .WillOnce(SetArgReferee<2>(std::string("凭证处理")));
  std::string name = "凭证";
  du.UpdateSubSysFuncName(10000001, name);
  EXPECT_EQ(name, "凭证处理");
  EXPECT_CALL(*server, SetProfileValue(Eq(kProps), Eq(std::string("RIGHT_ALIGN")), Eq(std::string("1"))))
      .WillOnce(Throw(serverError()));
  EXPECT_THROW(du.SetProfileValue("RIGHT_ALIGN", "1"), AutomationError);
}

TEST_F(DatasUpdateTest, DeleteAndNoArgumentCallsDiscardFailures) {
  EXPECT_CALL(*server, DeleteItem(Eq(kProps), Eq(1000000000), Eq(1000000004), Eq(false))).WillOnce(Throw(serverError()));
  EXPECT_CALL(*server, SetDefault(Eq(kProps))).WillOnce(Throw(serverError()));
  int32_t base = 1000000000, id = 1000000004;
  EXPECT_NO_THROW(du.DeleteItem(base, id));
  EXPECT_NO_THROW(du.SetDefault());
}

TEST_F(DatasUpdateTest, OnlyTheFourSlowMethodsLetPendingMessagesRun) {
  int pumps = 0;
  platform::setDoEventsHook([&] { ++pumps; });
  EXPECT_CALL(*server, RefreshSubFunc(_, _, _, _, _));
  EXPECT_CALL(*server, RefreshDetailFunc(_, _, _, _, _));
  EXPECT_CALL(*server, CreateDetailFunc(_, _, _, _, _));
  EXPECT_CALL(*server, CreateSubFunc(_, _, _, _, _)).WillOnce(Return(Variant(1)));
  EXPECT_CALL(*server, CreateSubSys(_, _, _, _, _)).WillOnce(Return(Variant(1)));
  int32_t a = 1, b = 1;
  platform::VectorPtr v;
  platform::DictionaryPtr d;
  du.RefreshSubFunc(a, v);
  du.RefreshDetailFunc(a, v);
  du.CreateDetailFunc(a, b, d);
  du.CreateSubFunc(a, b, d);
  EXPECT_EQ(pumps, 4);
  du.CreateSubSys(a, b, d);
  EXPECT_EQ(pumps, 4);
  platform::setDoEventsHook({});
}

TEST_F(DatasUpdateTest, LateBoundCallsWriteBackByReferenceArguments) {
  EXPECT_CALL(*server, UpdateTopClassName(Eq(kProps), Eq(1001), Eq(std::string("财务"))))
      .WillOnce(SetArgReferee<2>(std::string("财务会计")));
  platform::Args args{Variant(1001), Variant("财务")};
  du.invoke("updatetopclassname", args);
  EXPECT_EQ(args[1], Variant("财务会计"));

  EXPECT_CALL(*server, ClearNormalList(Eq(kProps), Eq(-1)));
  platform::Args none;
  du.invoke("ClearNormalList", none);

  EXPECT_CALL(*server, CreateTopClass(Eq(kProps), Eq(4), _, Eq(false))).WillOnce(DoAll(SetArgReferee<1>(5), Return(Variant(1009))));
  platform::Args create{Variant(4), Variant()};
  EXPECT_EQ(du.invoke("CreateTopClass", create), Variant(1009));
  EXPECT_EQ(create[0], Variant(5));

  platform::Args bad;
  try {
    du.invoke("NoSuchMethod", bad);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kNoSuchMethod);
  }
  EXPECT_EQ(du.methodNames().size(), 30u);
  EXPECT_EQ(du.methodNames().front(), "RefreshSubFunc");
  EXPECT_EQ(du.methodNames().back(), "SetProfileValues");
}

TEST_F(DatasUpdateTest, LateBoundCallsRefuseAMissingObjectAndKeepWritesOfAFailingServer) {
  // A required dictionary or vector left off the list is refused like a required
  // Long; the server never sees the call.
  EXPECT_CALL(*server, CreateTopClass(_, _, _, _)).Times(0);
  EXPECT_CALL(*server, UpdateDetailFuncAttr(_, _, _, _, _)).Times(0);
  EXPECT_CALL(*server, RefreshSubFunc(_, _, _, _, _)).Times(0);
  for (auto [name, args] : {std::pair<const char*, platform::Args>{"CreateTopClass", {Variant(4)}},
                            {"UpdateDetailFuncAttr", {Variant(1000000001)}},
                            {"RefreshSubFunc", {Variant(101)}}}) {
    try {
      du.invoke(name, args);
      FAIL() << name;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), platform::err::kArgumentNotOptional) << name;
    }
  }

  // A re-raised failure still leaves what the server wrote into the by-reference text.
  EXPECT_CALL(*server, UpdateSystemFuncName(Eq(kProps), Eq(101), _))
      .WillOnce(DoAll(SetArgReferee<2>(std::string("总账系统")), Throw(serverError())));
  platform::Args rename{Variant(101), Variant("总账")};
  EXPECT_THROW(du.invoke("UpdateSystemFuncName", rename), AutomationError);
  EXPECT_EQ(rename[1], Variant("总账系统"));
}
