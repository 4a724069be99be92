#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

#include "erp/demo/demo_company.h"
#include "erp/middletier/caller.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/server_data_info.h"
#include "erp/storage/versions.h"
#include "platform/recordset/recordset.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::propsFor;
using erp::testing::TempDatabase;

namespace {
platform::RecordsetPtr table(const platform::DictionaryPtr& d, const char* key) {
  auto rs = d->GetValue(key).objectAs<platform::Recordset>();
  EXPECT_TRUE(rs) << key;
  return rs;
}
}  // namespace

TEST(PropsParsing, UserIdAndLanguageEntries) {
  EXPECT_EQ(middletier::userIdFromProps("UserName={a;b=c};UserID= 16385 ;Language=en"), 16385);
  EXPECT_EQ(middletier::userIdFromProps("UserID={16386};x=1"), 16386);
  EXPECT_FALSE(middletier::userIdFromProps("userid=16385"));   // the name compares exactly
  EXPECT_FALSE(middletier::userIdFromProps("XUserID=16385"));
  EXPECT_FALSE(middletier::userIdFromProps("UserID=16x"));
  EXPECT_FALSE(middletier::userIdFromProps("UserID=99999999999"));
  EXPECT_FALSE(middletier::userIdFromProps(""));
  EXPECT_FALSE(middletier::userIdFromProps("UserID"));
  EXPECT_EQ(middletier::languageFromProps("UserID=1;Language=cht"), "cht");
  EXPECT_EQ(middletier::languageFromProps("UserID=1;language=EN"), "en");
  EXPECT_EQ(middletier::languageFromProps("UserID=1;Language=fr"), "chs");
}

TEST(ServerDataInfo, TemplateDictionaryHasEveryTableTypedAndItsVersion) {
  TempDatabase db;
  middletier::ServerDataInfo server;
  const auto props = propsFor(demo::ids::kZhangWei);
  auto dict = server.GetTemplate(props);
  for (const char* key : {"TopClass", "SubSystem", "SubFunc", "DetailFunc", "Profile", "AcctType"})
    EXPECT_TRUE(dict->Lookup(key)) << key;
  EXPECT_EQ(dict->GetValue("TimeStamp").asString(), server.GetTemplateVer(props));

  auto detail = table(dict, "DetailFunc");
  EXPECT_GE(detail->RecordCount(), 800);
  const auto& show = detail->fieldInfo(detail->requireField("FShowName"));
  EXPECT_EQ(show.type, platform::DataType::VarWChar);
  EXPECT_EQ(show.definedSize, 80);
  EXPECT_EQ(detail->fieldInfo(detail->requireField("FHelpCode")).definedSize, 50);
  EXPECT_EQ(detail->fieldInfo(detail->requireField("FDetailFuncID")).type, platform::DataType::Integer);
  detail->setFilter("FDetailFuncID = 1010101");
  ASSERT_EQ(detail->RecordCount(), 1);
  EXPECT_EQ(detail->value("FFuncName").asString(), "凭证录入");
  EXPECT_EQ(detail->value("FFuncName_en").asString(), "Voucher Entry");
  EXPECT_EQ(detail->value("FFuncName_cht").asString(), "憑證錄入");
  EXPECT_EQ(detail->value("FHelpCode").asString(), "PZLR");
  EXPECT_EQ(detail->value("FClassName").asString(), "ZecglView.GLData");

  auto acct = table(dict, "AcctType");
  acct->setFilter("FNumber = 'GMPHY'");
  ASSERT_EQ(acct->RecordCount(), 1);
  EXPECT_EQ(acct->value("FAcctType").asLong(), 12);
  auto top = table(dict, "TopClass");
  top->setFilter("FShowSysType = 2");
  EXPECT_GE(top->RecordCount(), 1);
}

TEST(ServerDataInfo, TemplateNamesFollowTheCallersLanguage) {
  TempDatabase db;
  middletier::ServerDataInfo server;
  auto en = server.GetTemplate(propsFor(demo::ids::kZhangWei, "en"));
  auto top = table(en, "TopClass");
  top->setFilter("FTopClassID = 1");
  EXPECT_EQ(top->value("FTopClassName").asString(), "Financial Accounting");
  auto detail = table(en, "DetailFunc");
  detail->setFilter("FDetailFuncID = 1010101");
  EXPECT_EQ(detail->value("FFuncName").asString(), "Voucher Entry");
  EXPECT_EQ(detail->value("FShowName").asString(), "Voucher Entry");
  auto cht = server.GetTemplate(propsFor(demo::ids::kZhangWei, "cht"));
  auto sys = table(cht, "SubSystem");
  sys->setFilter("FSubSysID = 101");
  EXPECT_EQ(sys->value("FName").asString(), "總賬");
}

TEST(ServerDataInfo, UserDataCarriesOwnRowsAndProfileOverDefaults) {
  TempDatabase db;
  middletier::ServerDataInfo server;
  const auto props = propsFor(demo::ids::kZhangWei);
  auto dict = server.GetUserData(props);
  EXPECT_FALSE(dict->Lookup("AcctType"));
  EXPECT_EQ(dict->GetValue("TimeStamp").asString(), server.GetUserTemplateVer(props));
  auto detail = table(dict, "DetailFunc");
  detail->setFilter("FDetailFuncID = 1000000000");
  ASSERT_EQ(detail->RecordCount(), 1);
  EXPECT_EQ(detail->value("FClassName").asString(), "/usr/bin/gnome-calculator");
  EXPECT_EQ(detail->value("FClassParam").asString(), "SelfDefine");
  // A user's own folder row taken from a template function carries its names.
  detail->setFilter("FSubFuncID = 750102 AND FDetailFuncID = 1010301");
  ASSERT_EQ(detail->RecordCount(), 1);
  EXPECT_EQ(detail->value("FFuncName_en").asString(), "Account Balances Query");
  auto profile = table(dict, "Profile");
  profile->setFilter("FName = 'CLICK_ACTIVATE'");
  EXPECT_EQ(profile->value("FValue").asString(), "1");   // the user's own
  profile->setFilter("FName = 'REFRESH_SYS'");
  EXPECT_EQ(profile->value("FValue").asString(), "1");   // the template's default
  // Another user does not see these rows.
  auto other = server.GetUserData(propsFor(demo::ids::kAdministrator));
  EXPECT_EQ(table(other, "DetailFunc")->RecordCount(), 0);
}

TEST(ServerDataInfo, VersionsChangeExactlyWhenTheirDataChanges) {
  TempDatabase db;
  middletier::ServerDataInfo server;
  const auto zhang = propsFor(demo::ids::kZhangWei);
  const auto li = propsFor(demo::ids::kLiNa);
  const auto tpl = server.GetTemplateVer(zhang);
  const auto zhangVer = server.GetUserTemplateVer(zhang);
  const auto liVer = server.GetUserTemplateVer(li);
  EXPECT_EQ(server.GetUserTemplateVer(zhang), zhangVer);  // stable while nothing changes
  EXPECT_NE(zhangVer, liVer);
  {
    auto& conn = db.conn();
    storage::Transaction tx(conn);
    conn.prepare("UPDATE t_NavUserTopClass SET FTopClassName = '改' WHERE FUserID = ? AND FTopClassID = 1")
        .bind(1, demo::ids::kZhangWei)
        .run();
    storage::bumpUserRevision(conn, demo::ids::kZhangWei);
    tx.commit();
  }
  EXPECT_NE(server.GetUserTemplateVer(zhang), zhangVer);
  EXPECT_EQ(server.GetUserTemplateVer(li), liVer);
  EXPECT_EQ(server.GetTemplateVer(zhang), tpl);
  auto dict = server.GetUserData(zhang);
  auto top = table(dict, "TopClass");
  top->setFilter("FTopClassID = 1");
  EXPECT_EQ(top->value("FTopClassName").asString(), "改");
}

// A user whose version never moved gets the levels' tables empty without
// reading them; what the version read with the data says decides, so rows saved
// after the client asked for the version still come.
TEST(ServerDataInfo, ANewUsersDataAndRowsSavedAfterTheVersionWasAsked) {
  TempDatabase db;
  // A service object for each call, as a client makes them.
  middletier::ServerDataInfo asks, server;
  constexpr int32_t kNew = 20001;
  auto& conn = db.conn();
  conn.exec("INSERT INTO t_User(FUserID, FName) VALUES (20001, '新用户')");
  // What recording the use of a function stores moves no version.
  conn.exec("INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (20001, 'CLICK_ACTIVATE', '1')");
  const auto props = propsFor(kNew);
  const auto fresh = asks.GetUserTemplateVer(props);
  auto dict = server.GetUserData(props);
  EXPECT_EQ(dict->GetValue("TimeStamp").asString(), fresh);
  const auto withRows = server.GetUserData(propsFor(demo::ids::kZhangWei));
  for (const char* level : {"TopClass", "SubSystem", "SubFunc", "DetailFunc"}) {
    auto rs = table(dict, level);
    EXPECT_EQ(rs->RecordCount(), 0) << level;
    auto other = table(withRows, level);
    ASSERT_EQ(rs->fieldCount(), other->fieldCount()) << level;
    for (int f = 0; f < rs->fieldCount(); ++f)
      EXPECT_TRUE(rs->fieldInfo(f) == other->fieldInfo(f)) << level << " " << f;
  }
  auto profile = table(dict, "Profile");
  profile->setFilter("FName = 'CLICK_ACTIVATE'");
  EXPECT_EQ(profile->value("FValue").asString(), "1");
  profile->setFilter("FName = 'REFRESH_SYS'");
  EXPECT_EQ(profile->value("FValue").asString(), "1");

  {  // another window saves a row of the user's between the two calls
    storage::Transaction tx(conn);
    conn.prepare("INSERT INTO t_NavUserTopClass(FUserID, FTopClassID, FTopClassName, FIndex, FVisible) "
                 "VALUES (?, 1, '改', 1, 1)")
        .bind(1, kNew)
        .run();
    storage::bumpUserRevision(conn, kNew);
    tx.commit();
  }
  dict = server.GetUserData(props);
  EXPECT_NE(dict->GetValue("TimeStamp").asString(), fresh);
  EXPECT_EQ(dict->GetValue("TimeStamp").asString(), asks.GetUserTemplateVer(props));
  auto top = table(dict, "TopClass");
  ASSERT_EQ(top->RecordCount(), 1);
  EXPECT_EQ(top->value("FTopClassName").asString(), "改");
}

TEST(ServerDataInfo, RefusesCallsWithoutAKnownUser) {
  TempDatabase db;
  middletier::ServerDataInfo server;
  for (const std::string props : {"", "UserName=x;Language=chs", "UserID=abc", "UserID=99999"}) {
    try {
      server.GetUserData(props);
      FAIL() << props;
    } catch (const platform::AutomationError& e) {
      EXPECT_EQ(e.number(), platform::err::kInvalidProcedureCall);
      EXPECT_EQ(e.source(), "ZelWayfind.clsDataInfo");
      EXPECT_FALSE(e.description().empty());
    }
  }
}
