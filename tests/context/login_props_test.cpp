#include "context/login_props.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "context/language.h"
#include "erp/api/progids.h"
#include "fakes.h"

namespace wayfind::context {
namespace {

using platform::ScopedRegistration;
using platform::ScopedUnregistration;
using platform::sharedFactory;
using platform::Variant;
using testing::countingFactory;

class LoginPropsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LanguageState::instance().reset();
    HelpState::instance().reset();
  }
  void TearDown() override {
    LanguageState::instance().reset();
    HelpState::instance().reset();
  }

  void publish(const std::string& name, const Variant& value) {
    props->SetProperty(static_cast<int32_t>(::getpid()), name, value);
  }

  std::shared_ptr<testing::FakeLangInfo> langInfo = std::make_shared<testing::FakeLangInfo>();
  ScopedRegistration langReg{erp::progid::kLangInfo, sharedFactory(langInfo)};
  std::shared_ptr<testing::FakeShareProps> props = std::make_shared<testing::FakeShareProps>();
  ScopedRegistration propsReg{erp::progid::kShareProps, sharedFactory(props)};
};

TEST_F(LoginPropsTest, PropsStringGetsTheLanguageDetectedAtTheMoment) {
  publish("PropsString", "UserID=16394;T8Version=9.0");
  langInfo->code = "";
  EXPECT_EQ(GetLanguage(), kLangChs);  // lookups keep simplified Chinese ...
  langInfo->code = "en";
  // ... while the properties text carries the language as it is now.
  EXPECT_EQ(PropsString(), "UserID=16394;T8Version=9.0;Language=en");
  langInfo->code = "cht";
  EXPECT_EQ(PropsString(), "UserID=16394;T8Version=9.0;Language=cht");
  // Appended to the value read, never to what the host published.
  const std::pair<int32_t, std::string> key{static_cast<int32_t>(::getpid()), "PropsString"};
  EXPECT_EQ(props->values[key], Variant("UserID=16394;T8Version=9.0"));
}

TEST_F(LoginPropsTest, ALanguageEntryInAnyLetterCaseIsLeftAlone) {
  for (const char* text : {"UserID=1;Language=en", "UserID=1;language=cht", "UserID=1; LANGUAGE =chs"}) {
    publish("PropsString", text);
    EXPECT_EQ(PropsString(), text);
  }
  // The word elsewhere is no language entry: without one the middle tier would
  // answer in Chinese what is kept as another language's template.
  for (const char* text : {"UserID=1;XLanguageY=1", "UserName=Language Lab;UserID=1",
                           "UserID=1;UserName={Lab;Language=cht}"}) {
    publish("PropsString", text);
    EXPECT_EQ(PropsString(), std::string(text) + ";Language=chs");
  }
}

TEST_F(LoginPropsTest, UnpublishedPropsStringIsJustTheLanguageEntry) {
  EXPECT_EQ(PropsString(), ";Language=chs");
  publish("PropsString", "");
  EXPECT_EQ(PropsString(), ";Language=chs");
}

TEST_F(LoginPropsTest, OtherPropertiesComeBackUnchanged) {
  publish("UserName", "王芳");
  publish("SetupType", "3");
  publish("UUID", "u-1");
  langInfo->code = "en";
  EXPECT_EQ(UserName(), "王芳");
  EXPECT_EQ(SetupType(), "3");
  EXPECT_EQ(UUID(), "u-1");
  EXPECT_EQ(GetShareProperty("propsstring"), Variant());  // only "PropsString" exactly is extended
}

TEST_F(LoginPropsTest, PropertiesAreThoseOfThisProcess) {
  props->SetProperty(static_cast<int32_t>(::getpid()) + 1, "UserName", "someone else");
  EXPECT_EQ(UserName(), "");
}

TEST_F(LoginPropsTest, AMissingSharedPropertiesComponentReachesTheCaller) {
  ScopedUnregistration none(erp::progid::kShareProps);
  try {
    PropsString();
    FAIL() << "expected an error";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kCantCreateObject);
  }
}

TEST_F(LoginPropsTest, VersionTextIsReadFreshFromPropsString) {
  publish("PropsString", "UserID=1;T8Version=9.0;AcctDB=demo");
  EXPECT_EQ(GetVersionText(), "9.0");
  publish("PropsString", "UserID=1;T8Version=10.1");
  EXPECT_EQ(GetVersionText(), "10.1");
  publish("PropsString", "UserID=1");
  EXPECT_EQ(GetVersionText(), "");
}

TEST(GetKeyValue, FindsEntriesAsThePropertiesTextIsRead) {
  const std::string text = "UserID=16394;T8Version=9.0;AcctDB=demo";
  EXPECT_EQ(GetKeyValue(text, "AcctDB", ";"), "demo");
  EXPECT_EQ(GetKeyValue(text + ";", "AcctDB", ";"), "demo");  // same with a trailing separator
  EXPECT_EQ(GetKeyValue(text, "userid", ";"), "16394");       // any letter case
  EXPECT_EQ(GetKeyValue(text, "T8VERSION", ";"), "9.0");
  EXPECT_EQ(GetKeyValue(text, "Missing", ";"), "");
  EXPECT_EQ(GetKeyValue("", "UserID", ";"), "");
  EXPECT_EQ(GetKeyValue("UserID=;X=1", "UserID", ";"), "");
  // The key is found at the end of a longer key, as callers rely on.
  EXPECT_EQ(GetKeyValue("XT8Version=8.5;T8Version=9.0", "T8Version", ";"), "8.5");
  EXPECT_EQ(GetKeyValue("a=1|b=2", "b", "|"), "2");
  // A value is no entry: a user named after an entry does not stand for it.
  EXPECT_EQ(GetKeyValue("UserID=5;UserName=T8Version=TEE;T8Version=9.0", "T8Version", ";"), "9.0");
  EXPECT_EQ(GetKeyValue("UserName={x;T8Version=TEE};T8Version=9.0", "T8Version", ";"), "9.0");
  EXPECT_EQ(GetKeyValue("a=1||b=2||", "b", "||"), "2");
  EXPECT_EQ(GetKeyValue("a=1;b=2", "a", ""), "");  // the cut comes right at the key
}

TEST_F(LoginPropsTest, F1ShowsHelpThroughOneKeptHelpObject) {
  auto help = std::make_shared<testing::FakeHelp>();
  int created = 0;
  ScopedRegistration reg(erp::progid::kHelp, countingFactory(help, created));
  EXPECT_FALSE(ShowHELP(113, 520014, "", 0, "", 0));
  EXPECT_EQ(created, 0);
  EXPECT_TRUE(ShowHELP(112, 520014, "", 0, "", 0));
  EXPECT_TRUE(ShowHELP(112, 7, "", 0, "", 0));
  EXPECT_EQ(created, 1);
  EXPECT_EQ(help->contexts, (std::vector<int32_t>{520014, 7}));
}

TEST_F(LoginPropsTest, F1IsHandledEvenWithoutAHelpComponent) {
  ScopedUnregistration none(erp::progid::kHelp);
  EXPECT_TRUE(ShowHELP(112, 520014, "", 0, "", 0));
  EXPECT_FALSE(ShowHELP(113, 520014, "", 0, "", 0));
}

TEST(TextHelpers, RemoveLineBreaksAndHasInvalidChar) {
  // A text kept by the caller, one whose room the result takes, and one read
  // where it lies, alike.
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb", "a  b"}, {"\n 名称 \r", "名称"}, {"", ""}, {" \r\n ", ""}, {"\ta b\t", "\ta b\t"},
      {"x\n", "x"}, {std::string(40, ' ') + "长一些的名称，超过短字符串的长度" + "\r\n", "长一些的名称，超过短字符串的长度"}};
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(RemoveLineBreaks(text), want) << text;
    EXPECT_EQ(RemoveLineBreaks(std::string(text)), want) << text;
    std::string room = "earlier";
    EXPECT_EQ(RemoveLineBreaks(std::string_view(text), room), want) << text;
  }
  EXPECT_TRUE(HasInvalidChar("it's"));
  EXPECT_TRUE(HasInvalidChar(" ' "));
  EXPECT_FALSE(HasInvalidChar("   "));
  EXPECT_FALSE(HasInvalidChar("名称\"x\""));
}

}  // namespace
}  // namespace wayfind::context
