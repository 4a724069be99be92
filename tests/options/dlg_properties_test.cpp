// dlgProperties against an account manager that remembers what it was asked and
// told: the three ways the switches load, chkSave following chkCompany, and what
// OK writes (only the switches changed in the window).
#include <QCheckBox>
#include <QPushButton>

#include "erp/api/account_manager.h"
#include "erp/api/progids.h"
#include "options/dlg_properties.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"

namespace wayfind::options {
namespace {

using windowtests::join;

class RecordingAcctMgr : public erp::api::IAcctMgr {
 public:
  std::map<std::string, std::string> stored;
  std::vector<std::pair<std::string, std::string>> written;
  std::string failOn;  // SetProfile of this name fails

  std::string GetProfile(const std::string& name) override {
    auto it = stored.find(name);
    return it == stored.end() ? std::string() : it->second;
  }
  void SetProfile(const std::string& name, const std::string& value) override {
    if (name == failOn) throw platform::AutomationError(5, "QvSvrMgr.AcctMgr", "账套管理不可用");  // lang:data
    written.push_back({name, value});
    stored[name] = value;
  }
};

using Writes = std::vector<std::pair<std::string, std::string>>;

class DlgPropertiesTest : public windowtests::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    registration = std::make_unique<platform::ScopedRegistration>(erp::progid::kAcctMgr, platform::sharedFactory(manager));
  }
  void TearDown() override {
    registration.reset();
    WindowTest::TearDown();
  }

  dlgProperties& form() {
    auto* f = qobject_cast<dlgProperties*>(widgets::forms().form(dlgProperties::kFormName));
    if (!f) throw std::runtime_error("dlgProperties is not the registered dlgProperties");
    return *f;
  }
  void show(const std::function<void(dlgProperties&)>& act) {
    auto& dlg = form();
    modal().push("dlgProperties", [&](QDialog&) { act(dlg); });
    dlg.ShowModal();
    EXPECT_TRUE(modal().done()) << join(modal().failures());
  }

  std::shared_ptr<RecordingAcctMgr> manager = std::make_shared<RecordingAcctMgr>();
  std::unique_ptr<platform::ScopedRegistration> registration;
};

TEST_F(DlgPropertiesTest, CompanyShownHidesNothingAndLeavesSaveOffAndDisabled) {
  manager->stored = {{"ENTERPRISE_LOGO", "1"}, {"COMPANY_NOTSHOW", "0"}, {"COMPANY_NOTSAVE", "1"}};
  show([&](dlgProperties& dlg) {
    EXPECT_TRUE(dlg.chkLogo->isChecked());
    EXPECT_FALSE(dlg.chkCompany->isChecked());
    EXPECT_FALSE(dlg.chkSave->isEnabled());
    EXPECT_FALSE(dlg.chkSave->isChecked()) << "whatever COMPANY_NOTSAVE holds";
    // Another administrator changes a switch meanwhile; this one changes another.
    manager->stored["COMPANY_NOTSHOW"] = "1";
    dlg.chkLogo->click();
    dlg.OKButton->click();
  });
  // Only what was changed here is written: the other's change and the stored
  // COMPANY_NOTSAVE stay.
  EXPECT_EQ(manager->written, (Writes{{"ENTERPRISE_LOGO", "0"}}));
  EXPECT_EQ(manager->stored["COMPANY_NOTSHOW"], "1");
  EXPECT_EQ(manager->stored["COMPANY_NOTSAVE"], "1");
}

TEST_F(DlgPropertiesTest, CompanyHiddenWithSaveUnsetShowsSaveTicked) {
  manager->stored = {{"COMPANY_NOTSHOW", "1"}};
  show([&](dlgProperties& dlg) {
    EXPECT_FALSE(dlg.chkLogo->isChecked());
    EXPECT_TRUE(dlg.chkCompany->isChecked());
    EXPECT_TRUE(dlg.chkSave->isEnabled());
    EXPECT_TRUE(dlg.chkSave->isChecked());
    dlg.CancelButton->click();
  });
  EXPECT_TRUE(manager->written.empty());
}

TEST_F(DlgPropertiesTest, CompanyHiddenWithSaveZeroShowsSaveCleared) {
  manager->stored = {{"COMPANY_NOTSHOW", "1"}, {"COMPANY_NOTSAVE", "0"}};
  show([&](dlgProperties& dlg) {
    EXPECT_TRUE(dlg.chkSave->isEnabled());
    EXPECT_FALSE(dlg.chkSave->isChecked());
    dlg.CancelButton->click();
  });
}

TEST_F(DlgPropertiesTest, SaveFollowsCompanyAndKeepsItsTickWhenDisabled) {
  manager->stored = {{"COMPANY_NOTSHOW", "0"}};
  show([&](dlgProperties& dlg) {
    dlg.chkCompany->click();
    EXPECT_TRUE(dlg.chkSave->isEnabled());
    EXPECT_TRUE(dlg.chkSave->isChecked()) << "ticking the company ticks save";
    dlg.chkCompany->click();
    EXPECT_FALSE(dlg.chkSave->isEnabled());
    EXPECT_TRUE(dlg.chkSave->isChecked()) << "clearing the company keeps save's tick";
    dlg.chkSingleUI->click();
    EXPECT_TRUE(dlg.chkSingleUI->isChecked());
    dlg.OKButton->click();
  });
  // The kept tick is written; the single-window switch is stored nowhere.
  EXPECT_EQ(manager->written, (Writes{{"COMPANY_NOTSAVE", "1"}}));
}

// The save switch, shown cleared while the company name is shown, cleared by the
// user after hiding the name: written, though it looks as it did when loaded.
TEST_F(DlgPropertiesTest, ASaveSwitchClearedAfterHidingTheCompanyIsWritten) {
  manager->stored = {{"COMPANY_NOTSHOW", "0"}, {"COMPANY_NOTSAVE", "1"}};
  show([&](dlgProperties& dlg) {
    dlg.chkCompany->click();
    dlg.chkSave->click();
    EXPECT_FALSE(dlg.chkSave->isChecked());
    dlg.OKButton->click();
  });
  EXPECT_EQ(manager->written, (Writes{{"COMPANY_NOTSHOW", "1"}, {"COMPANY_NOTSAVE", "0"}}));
}

TEST_F(DlgPropertiesTest, AFailingAccountManagerIsReportedAndStopsTheWrites) {
  manager->stored = {{"COMPANY_NOTSHOW", "1"}};
  manager->failOn = "COMPANY_NOTSHOW";
  show([&](dlgProperties& dlg) {
    dlg.chkLogo->click();
    dlg.chkCompany->click();
    dlg.OKButton->click();
    EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
    EXPECT_FALSE(dlg.chkCompany->isChecked()) << "with the user's choices";
    dlg.CancelButton->click();
  });
  EXPECT_EQ(messages->count(erp::client::ScriptedMessageService::Kind::Error), 1);
  EXPECT_EQ(manager->written, (Writes{{"ENTERPRISE_LOGO", "1"}}));
}

TEST_F(DlgPropertiesTest, EachShowingReadsTheAccountManagerAgain) {
  manager->stored = {{"ENTERPRISE_LOGO", "0"}};
  show([&](dlgProperties& dlg) {
    dlg.chkLogo->click();
    dlg.chkSingleUI->click();
    dlg.CancelButton->click();
  });
  show([&](dlgProperties& dlg) {
    EXPECT_FALSE(dlg.chkLogo->isChecked()) << "the cancelled tick is gone";
    EXPECT_FALSE(dlg.chkSingleUI->isChecked());
    dlg.CancelButton->click();
  });
}

}  // namespace
}  // namespace wayfind::options
