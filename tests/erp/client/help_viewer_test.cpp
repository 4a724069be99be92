#include "erp/client/help_viewer.h"

#include <gtest/gtest.h>

#include "context/login_props.h"
#include "erp/client/register_client.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::client {
namespace {

class HelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerClientComponents();
    context::HelpState::instance().reset();
    previous = installHelpSink([this](const HelpTopic& t) { shown.push_back(t); });
  }
  void TearDown() override {
    installHelpSink(previous);
    context::HelpState::instance().reset();
  }
  HelpSink previous;
  std::vector<HelpTopic> shown;
};

TEST_F(HelpViewerTest, F1InTheFavouritesEditorShowsItsTopic) {
  EXPECT_TRUE(context::ShowHELP(112, 520014, "", 0, "", 0));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].helpContext, 520014);
  EXPECT_EQ(shown[0].title, "常用功能设置");
  EXPECT_NE(shown[0].text.find("常用功能组"), std::string::npos);
}

TEST_F(HelpViewerTest, AContextWithoutATopicIsAnError) {
  HelpViewer viewer;
  int32_t helpContext = 999999, l = 0;
  std::string t;
  EXPECT_THROW(viewer.ShowHELP(helpContext, 0, t, l, t, l), platform::AutomationError);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(context::ShowHELP(112, 999999, "", 0, "", 0));  // the component still handled F1
}

}  // namespace
}  // namespace wayfind::erp::client
