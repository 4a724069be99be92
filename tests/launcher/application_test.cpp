// Application: the rights check before the main-console editor, the reload of the
// navigation tables after the favourites editor and the options dialog, and the
// late-bound face a host calls.
#include <QDialog>

#include <algorithm>
#include <cctype>

#include "launcher/application.h"
#include "launcher/editor_forms.h"
#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/security.h"
#include "editor/dlg_set_prop.h"
#include "favourites/dlg_set_normal.h"
#include "widgets/toolbar.h"
#include "options/dlg_options.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/containers/dictionary.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"

namespace wayfind::launcher {
namespace {

using erp::client::ScriptedMessageService;
using platform::Variant;
using windowtests::join;

constexpr int32_t kYang = 16389;  // production planner: no right to the main-console editor

// A query object that counts the reloads asked of it by name.
class CountingDatasInfo : public store::DatasInfo {
 public:
  explicit CountingDatasInfo(int* initials) : initials_(initials) {}
  Variant invoke(std::string_view name, platform::Args& args) override {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper == "INITIAL") ++*initials_;
    return store::DatasInfo::invoke(name, args);
  }

 private:
  int* initials_;
};

class FakeSecurity : public erp::api::ISecurityInfo {
 public:
  Variant answer = Variant(true);
  int calls = 0;
  std::string props;
  int16_t objectType = -1, objectId = -1, accessType = -1;
  bool showMessage = false;
  std::string caller;

  Variant AccessCheck(const std::string& p, int16_t type, int16_t id, int16_t access, bool show,
                      const std::string& c) override {
    ++calls;
    props = p;
    objectType = type;
    objectId = id;
    accessType = access;
    showMessage = show;
    caller = c;
    return answer;
  }
  bool IsAdministrator(const std::string&) override { return false; }
};

class ApplicationTest : public windowtests::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    registerApplication();
    counting = std::make_unique<platform::ScopedRegistration>(
        store::DatasInfo::kProgId, [this] { return std::make_shared<CountingDatasInfo>(&initials); },
        "{B2C7D6E4-0000-4000-8000-000000000001}");
  }
  void TearDown() override {
    counting.reset();
    WindowTest::TearDown();
  }

  // The first sub-function of subsystem 101 as the loaded tables show it.
  std::pair<int32_t, std::string> firstSubFunc() {
    auto rs = store::DatasInfo().GetSubFunc(101);
    rs->MoveFirst();
    return {platform::CLng(rs->value("FSubFuncID")), platform::CStr(rs->value("FFuncName"))};
  }
  // Renames a sub-function in the middle tier without loading the tables again.
  void renameBehindTheStore(int32_t subFuncId, const std::string& name) {
    std::string newName = name;
    update::DatasUpdate().UpdateSubSysFuncName(subFuncId, newName);
  }

  // Questions, warnings and error reports (file tests are no messages).
  int shownMessages() const {
    return static_cast<int>(messages->calls.size()) - messages->count(ScriptedMessageService::Kind::FileTest);
  }

  int initials = 0;
  std::unique_ptr<platform::ScopedRegistration> counting;
  Application app;
};

TEST_F(ApplicationTest, ADeniedAccessCheckShowsNothingReportsNothingAndLoadsNothing) {
  auto security = std::make_shared<FakeSecurity>();
  platform::ScopedRegistration fake(erp::progid::kSecurity, platform::sharedFactory(security));
  // A false Boolean, a zero and Empty all read as "no right".
  for (const Variant& no : {Variant(false), Variant(int32_t(0)), Variant()}) {
    security->answer = no;
    EXPECT_FALSE(app.ShowSetProp());
  }
  EXPECT_EQ(security->calls, 3);
  EXPECT_EQ(security->props, context::PropsString());
  EXPECT_EQ(security->objectType, 2001);
  EXPECT_EQ(security->objectId, 0);
  EXPECT_EQ(security->accessType, 1);
  EXPECT_TRUE(security->showMessage);
  EXPECT_EQ(security->caller, "BaseSys.Bar_Click");
  EXPECT_TRUE(modal().shown().empty()) << join(modal().shown());
  EXPECT_EQ(widgets::forms().existing("dlgSetProp"), nullptr);
  EXPECT_EQ(initials, 0);
  EXPECT_EQ(shownMessages(), 0);
}

TEST_F(ApplicationTest, AUserWithoutTheRightIsTurnedAwayByTheRealSecurityComponent) {
  login(kYang);
  EXPECT_FALSE(app.ShowSetProp());
  EXPECT_TRUE(modal().shown().empty()) << join(modal().shown());
  EXPECT_EQ(shownMessages(), 0);
}

TEST_F(ApplicationTest, AMissingSecurityComponentIsReportedAndAnswersFalse) {
  platform::ScopedUnregistration missing(erp::progid::kSecurity);
  EXPECT_FALSE(app.ShowSetProp());
  ASSERT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
  EXPECT_EQ(messages->callsOf(ScriptedMessageService::Kind::Error)[0].error->number(), 429);
  EXPECT_TRUE(modal().shown().empty()) << join(modal().shown());
  EXPECT_EQ(initials, 0);
}

TEST_F(ApplicationTest, AnAllowedUserSeesTheEditorWhichIsUnloadedAfterwardsWithoutAReload) {
  auto security = std::make_shared<FakeSecurity>();
  platform::ScopedRegistration fake(erp::progid::kSecurity, platform::sharedFactory(security));
  // Anything but false lets the user in, Null included.
  for (const Variant& yes : {Variant(true), Variant::null()}) {
    security->answer = yes;
    modal().push("dlgSetProp", [](QDialog& d) { d.hide(); });  // hidden, not unloaded, by the user
    EXPECT_TRUE(app.ShowSetProp());
    EXPECT_FALSE(widgets::forms().form("dlgSetProp")->isLoaded());
  }
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(initials, 0);
  EXPECT_EQ(shownMessages(), 0);
}

TEST_F(ApplicationTest, TheFavouritesEditorReloadsTheTablesEvenWhenNothingChanged) {
  const auto [id, name] = firstSubFunc();
  renameBehindTheStore(id, "改过的名称");
  ASSERT_EQ(firstSubFunc().second, name);  // the loaded tables do not know yet

  modal().push("dlgSetNormal", [](QDialog& d) { d.reject(); });
  EXPECT_FALSE(app.ShowSetNormal());
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(initials, 1);
  EXPECT_EQ(firstSubFunc().second, "改过的名称");
}

TEST_F(ApplicationTest, TheFavouritesEditorAnswersItsModifiedValue) {
  modal().push("dlgSetNormal", [](QDialog& d) {
    auto& editor = static_cast<favourites::dlgSetNormal&>(d);
    editor.m_bDirty = true;
    editor.HideForm();
  });
  EXPECT_TRUE(app.ShowSetNormal());
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(initials, 1);
}

// What a host is told: whether the user stored anything (the Modified value is
// cleared by every close).
TEST_F(ApplicationTest, TheFavouritesEditorSaysWhetherItStoredAnything) {
  for (const bool apply : {false, true}) {
    messages->answers = {apply};  // asked whether to save the list
    modal().push("dlgSetNormal", [apply](QDialog& d) {
      auto& editor = static_cast<favourites::dlgSetNormal&>(d);
      if (apply) {
        editor.m_bDirty = true;
        editor.Bar->ClickTool("SetProps");
      }
      d.reject();
    });
    EXPECT_FALSE(app.ShowSetNormal());
    EXPECT_EQ(launcher::favouritesEditorSaved(*widgets::forms().form(launcher::kSetNormalForm)), apply);
  }
  EXPECT_TRUE(modal().done()) << join(modal().failures());
}

TEST_F(ApplicationTest, TheOptionsDialogReloadsTheTablesAfterEveryClose) {
  for (const char* value : {"网站一", "网站二"}) {
    update::DatasUpdate().SetProfileValue("T8EIS", value);
    modal().push("dlgOptions", [](QDialog& d) { d.reject(); });
    app.ShowOption();
    EXPECT_EQ(store::DatasInfo().GetProfileValue("T8EIS"), value);
  }
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(initials, 2);
}

// Replaces a form's registration by one whose creation fails, for one test.
class FailingForm {
 public:
  template <class Real>
  static FailingForm of() {
    return FailingForm(Real::kFormName, [] { return static_cast<widgets::Form*>(new Real()); });
  }
  ~FailingForm() {
    widgets::forms().release(name_);
    widgets::forms().add(name_, real_, prepare_);
  }

 private:
  FailingForm(const char* name, widgets::FormRegistry::Factory real)
      : name_(name), real_(std::move(real)), prepare_(widgets::forms().screenshotPrepare(name)) {
    widgets::forms().release(name_);
    widgets::forms().add(name_, []() -> widgets::Form* {
      throw platform::AutomationError(7, "dlgTest", "Out of memory");
    });
  }
  std::string name_;
  widgets::FormRegistry::Factory real_;
  widgets::FormRegistry::Prepare prepare_;
};

TEST_F(ApplicationTest, AMainConsoleEditorThatFailsToLoadIsReportedAndAnswersFalse) {
  auto failing = FailingForm::of<editor::dlgSetProp>();
  EXPECT_FALSE(app.ShowSetProp());
  ASSERT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
  EXPECT_EQ(messages->callsOf(ScriptedMessageService::Kind::Error)[0].error->number(), 7);
  EXPECT_EQ(initials, 0);
}

TEST_F(ApplicationTest, AnOptionsDialogThatFailsReachesTheCallerWithoutAReload) {
  auto failing = FailingForm::of<options::dlgOptions>();
  try {
    app.ShowOption();
    ADD_FAILURE() << "the failure did not reach the caller";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), 7);
  }
  EXPECT_EQ(initials, 0);
  EXPECT_EQ(shownMessages(), 0);
}

TEST_F(ApplicationTest, AHostReachesItByProgIdOrClassIdAndCallsItByName) {
  for (const char* id : {"WayfindInfo.Application", "{1983be5b-dd6e-41e1-8c48-d635dab95fd8}"}) {
    auto object = platform::Registry::instance().create(id);
    auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(object);
    ASSERT_NE(dispatch, nullptr) << id;
    EXPECT_EQ(dispatch->methodNames(), (std::vector<std::string>{"ShowSetNormal", "ShowSetProp", "ShowOption"}));
  }
  auto security = std::make_shared<FakeSecurity>();
  security->answer = Variant(false);
  platform::ScopedRegistration fake(erp::progid::kSecurity, platform::sharedFactory(security));
  auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(
      platform::Registry::instance().create("WayfindInfo.Application"));
  platform::Args none;
  const Variant shown = dispatch->invoke("showsetprop", none);
  EXPECT_TRUE(shown.type() == platform::VarType::Boolean && !platform::CBool(shown));
  try {
    dispatch->invoke("ShowEverything", none);
    ADD_FAILURE() << "an unknown method was answered";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), 438);
  }
}

}  // namespace
}  // namespace wayfind::launcher
