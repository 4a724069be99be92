// SetFormFont and ApplyFormResources hand a window to the window resource loader
// with the language's code and the "T8Base" tables, join the captions it could
// not translate with CR LF, and turn every failure into its description.
#include <gtest/gtest.h>

#include "context/language.h"
#include "erp/api/frm_res_loader.h"
#include "erp/api/progids.h"
#include "fakes.h"

namespace wayfind::context {
namespace {

using platform::ScopedRegistration;
using platform::ScopedUnregistration;
using platform::sharedFactory;

class FakeFrmResLoader : public erp::api::IFrmResLoader {
 public:
  std::string SetFrmFont(platform::ObjectPtr& window, const std::string& code) override {
    fontCalls.push_back(code);
    lastWindow = window;
    if (failFont) platform::raise(5, "FrmRes.FrmResLoader", "no font");
    return "Noto Sans CJK SC";
  }
  platform::ObjectPtr LoadFrmResStrings(platform::ObjectPtr& window, const std::string& code,
                                        const std::string& dir, const std::string& base,
                                        platform::ObjectPtr& reserved) override {
    lastWindow = window;
    loadArgs = code + "|" + dir + "|" + base + "|" + (reserved ? "object" : "nothing");
    if (failLoad) platform::raise(32755, "FrmRes.FrmResLoader", "table unreadable");
    if (wrongAnswer) return std::make_shared<platform::Object>();
    return std::make_shared<erp::api::TextList>(missing);
  }
  std::vector<std::string> fontCalls;
  std::string loadArgs;
  platform::ObjectPtr lastWindow;
  std::vector<std::string> missing;
  bool failFont = false, failLoad = false, wrongAnswer = false;
};

class FormResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { LanguageState::instance().reset(); }
  void TearDown() override { LanguageState::instance().reset(); }

  std::shared_ptr<testing::FakeLangInfo> langInfo = std::make_shared<testing::FakeLangInfo>();
  ScopedRegistration langReg{erp::progid::kLangInfo, sharedFactory(langInfo)};
  std::shared_ptr<FakeFrmResLoader> loader = std::make_shared<FakeFrmResLoader>();
  int created = 0;
  ScopedRegistration loaderReg{erp::progid::kFrmResLoader, testing::countingFactory(loader, created)};
  platform::ObjectPtr window = std::make_shared<platform::Object>();
};

TEST_F(FormResourcesTest, TheLoaderGetsTheWindowTheLanguageAndTheBaseTables) {
  langInfo->code = "cht";
  loader->missing = {"甲", "乙"};
  EXPECT_EQ(ApplyFormResources(window), "甲\r\n乙\r\n");
  EXPECT_EQ(loader->fontCalls, std::vector<std::string>{"cht"});
  EXPECT_EQ(loader->loadArgs, "cht||T8Base|nothing");
  EXPECT_EQ(loader->lastWindow, window);
  loader->missing.clear();
  EXPECT_EQ(ApplyFormResources(window), "");
  EXPECT_EQ(created, 1) << "the loader is created once and kept";
  EXPECT_EQ(SetFormFont(window), "Noto Sans CJK SC");
}

TEST_F(FormResourcesTest, FailuresBecomeTheDescriptionAndNothingThrows) {
  langInfo->code = "en";
  loader->failFont = true;
  EXPECT_EQ(SetFormFont(window), "no font");
  EXPECT_EQ(ApplyFormResources(window), "") << "a font failure is dropped, the captions still load";
  loader->failLoad = true;
  EXPECT_EQ(ApplyFormResources(window), "table unreadable");
  loader->failLoad = false;
  loader->wrongAnswer = true;
  EXPECT_FALSE(ApplyFormResources(window).empty());
}

TEST_F(FormResourcesTest, AMissingLoaderIsTriedAgainNextTime) {
  {
    ScopedUnregistration none(erp::progid::kFrmResLoader);
    EXPECT_FALSE(ApplyFormResources(window).empty());
    EXPECT_FALSE(SetFormFont(window).empty());
  }
  EXPECT_EQ(SetFormFont(window), "Noto Sans CJK SC");
  EXPECT_EQ(created, 1);
}

}  // namespace
}  // namespace wayfind::context
