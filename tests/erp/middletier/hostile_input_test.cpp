// Texts that try to break out of SQL, very long texts and invalid UTF-8 through
// every text argument of the read side and the client services: stored verbatim
// or refused with a clear error, and nothing is lost.
#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

#include "erp/client/account_manager.h"
#include "erp/client/bill_use_info.h"
#include "erp/client/security_info.h"
#include "erp/client/share_props.h"
#include "erp/demo/demo_company.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/server_data_info.h"
#include "erp/middletier/server_datas_info.h"
#include "erp/storage/storage_error.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::propsFor;
using erp::testing::TempDatabase;

namespace {

const std::vector<std::string>& hostileTexts() {
  static const std::vector<std::string> texts{
      "'",
      "O'Brien \"quoted\"",
      "'; DROP TABLE t_User; --",
      "\"); DELETE FROM t_NavDetailFunc; --",
      std::string(10000, 'x'),
      "\xff\xfe\xc0\xaf",
      std::string("a\0b", 3),
  };
  return texts;
}

int64_t userCount(storage::Connection& conn) {
  auto st = conn.prepare("SELECT COUNT(*) FROM t_User");
  st.step();
  return st.int64(0);
}

}  // namespace

TEST(HostileInput, ReadSideQuestionsNeverRunTheirArgumentsAsSql) {
  TempDatabase db;
  middletier::ServerDatasInfo info;
  middletier::ServerDataInfo data;
  const auto props = propsFor(demo::ids::kZhangWei);
  const auto before = userCount(db.conn());
  for (std::string code : hostileTexts()) {
    // No back end holds text with a NUL or invalid UTF-8: such a question is
    // refused (error 5) rather than asked.
    const bool unstorable = code.find('\0') != std::string::npos || !storage::isValidUtf8(code);
    if (unstorable) {
      EXPECT_THROW(info.GetHelpCodeInfo(props, code), platform::AutomationError) << platform::Variant(code).debugString();
      continue;
    }
    EXPECT_EQ(info.GetHelpCodeInfo(props, code)->RecordCount(), 0);
    // The same text in PropsString: either no valid user, or a user with that entry.
    EXPECT_THROW(data.GetUserData("UserID=" + code), platform::AutomationError);
    EXPECT_NO_THROW(data.GetUserData(props + ";Note=" + code));
  }
  EXPECT_EQ(userCount(db.conn()), before);
}

TEST(HostileInput, CompanySwitchesStoreVerbatimOrRefuse) {
  TempDatabase db;
  client::publishLogin(client::makeLogin(demo::ids::kWangFang, "王芳", "Industry", "t"));
  client::AcctMgr m;
  const std::string inject = "'; DROP TABLE t_User; --";
  m.SetProfile(inject, inject);
  EXPECT_EQ(m.GetProfile(inject), inject);
  m.SetProfile("ENTERPRISE_LOGO", "O'Brien \"x\"");
  EXPECT_EQ(m.GetProfile("ENTERPRISE_LOGO"), "O'Brien \"x\"");
  const std::string tooLong(10000, 'x');
  EXPECT_THROW(m.SetProfile("ENTERPRISE_LOGO", tooLong), platform::AutomationError);
  EXPECT_THROW(m.SetProfile(tooLong, "1"), platform::AutomationError);
  EXPECT_THROW(m.SetProfile("ENTERPRISE_LOGO", "\xff\xfe"), platform::AutomationError);
  EXPECT_THROW(m.SetProfile("\xc0\xaf", "1"), platform::AutomationError);
  EXPECT_EQ(m.GetProfile("ENTERPRISE_LOGO"), "O'Brien \"x\"");  // refused writes changed nothing
  EXPECT_EQ(m.GetProfile(tooLong), "");
  EXPECT_EQ(userCount(db.conn()), 18);
}

TEST(HostileInput, SecurityAndDataAccessWithHostileTexts) {
  TempDatabase db;
  client::SecurityInfo s;
  client::BillUseInfo data;
  for (const auto& text : hostileTexts()) {
    EXPECT_FALSE(s.AccessCheck("UserID=" + text, 2001, 0, 1, true, text).asBool());
    EXPECT_FALSE(s.IsAdministrator("UserID=" + text));
  }
  const auto props = propsFor(demo::ids::kWangFang);
  EXPECT_THROW(data.GetData(props, "SELECT '\xff\xfe'"), platform::AutomationError);
  EXPECT_THROW(data.GetData(props, "SELECT 1; DROP TABLE t_User; --"), platform::AutomationError);
  // Quotes inside a well-formed query are data.
  auto rs = data.GetData(props, "SELECT 'O''Brien; DROP TABLE t_User; --' AS x");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->value("x").asString(), "O'Brien; DROP TABLE t_User; --");
  EXPECT_EQ(userCount(db.conn()), 18);
}
