#include "erp/client/share_props.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/client/lang_info.h"
#include "erp/client/register_client.h"
#include "platform/automation/registry.h"

namespace wayfind::erp::client {
namespace {

using platform::Variant;

class SharePropsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerClientComponents();
    SharePropsTable::instance().clear();
    resetLoginLanguage();
    context::LanguageState::instance().reset();
  }
  void TearDown() override {
    SharePropsTable::instance().clear();
    resetLoginLanguage();
    context::LanguageState::instance().reset();
  }
};

TEST_F(SharePropsTest, ValuesAreKeptPerProcessAndOutliveTheObjects) {
  auto& registry = platform::Registry::instance();
  registry.createAs<api::IShareProps>(progid::kShareProps)->SetProperty(10, "UserName", "张伟");
  registry.createAs<api::IShareProps>(progid::kShareProps)->SetProperty(11, "UserName", "李娜");
  auto reader = registry.createAs<api::IShareProps>(progid::kShareProps);
  int32_t pid = 10;
  std::string name = "UserName";
  EXPECT_EQ(reader->GetProperty(pid, name), Variant("张伟"));
  pid = 11;
  EXPECT_EQ(reader->GetProperty(pid, name), Variant("李娜"));
  pid = 12;
  EXPECT_TRUE(reader->GetProperty(pid, name).isEmpty());
  pid = 10;
  name = "UUID";
  EXPECT_TRUE(reader->GetProperty(pid, name).isEmpty());
}

TEST_F(SharePropsTest, APublishedLoginIsWhatTheComponentReads) {
  publishLogin(makeLogin(16394, "王芳", "3", "uuid-1"));
  setLoginLanguage("en");
  EXPECT_EQ(context::PropsString(), "UserID=16394;UserName=王芳;T8Version=9.0;AcctDB=demo;Language=en");
  EXPECT_EQ(context::UserName(), "王芳");
  EXPECT_EQ(context::SetupType(), "3");
  EXPECT_EQ(context::UUID(), "uuid-1");
  EXPECT_EQ(context::GetVersionText(), "9.0");
  EXPECT_EQ(context::DetectLanguage(), context::kLangEn);
  // A name with ";" and "}" logs in too; the property keeps it as it is.
  publishLogin(makeLogin(16394, "R&D; {x}", "3", "uuid-1"));
  EXPECT_EQ(context::PropsString(), "UserID=16394;UserName={R&D; {x)};T8Version=9.0;AcctDB=demo;Language=en");
  EXPECT_EQ(context::UserName(), "R&D; {x}");
}

TEST_F(SharePropsTest, LoginsOfOtherProcessesAreNotSeen) {
  publishLogin(makeLogin(1, "张伟", "1", "u"), static_cast<int32_t>(::getpid()) + 1);
  EXPECT_EQ(context::UserName(), "");
}

TEST(BuildPropsString, BracesValuesThatHoldTheSeparator) {
  EXPECT_EQ(buildPropsString({{"UserID", "7"}, {"Server", "a;b"}, {"Empty", ""}}),
            "UserID=7;Server={a;b};Empty=");
  EXPECT_EQ(buildPropsString({{"Formula", "x=1"}}), "Formula=x=1");
  // A reader trims the value before it looks for "{": unbraced, " {a" would take
  // the entries after it into its value.
  EXPECT_EQ(buildPropsString({{"UserName", " {a"}, {"UserID", "5"}}), "UserName={ {a};UserID=5");
  EXPECT_EQ(buildPropsString({{"UserName", "a {b"}}), "UserName=a {b");
  EXPECT_THROW(buildPropsString({{"Bad;Name", "1"}}), platform::AutomationError);
  EXPECT_THROW(buildPropsString({{"", "1"}}), platform::AutomationError);
  EXPECT_THROW(buildPropsString({{"X", "a;}b"}}), platform::AutomationError);
}

}  // namespace
}  // namespace wayfind::erp::client
