// dlgOptions on the demo company's profile: the eight settings as loaded and as
// written, the site-name limit, the "TEE" edition, a failing save and two dialogs
// open at once.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "context/language.h"
#include "erp/api/progids.h"
#include "erp/client/share_props.h"
#include "erp/middletier/datas_update.h"
#include "options/dlg_options.h"
#include "platform/automation/conversions.h"
#include "options/dlg_properties.h"
#include "platform/automation/registry.h"
#include "store/data_info.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "update/mock_update_server.h"
#include "widgets/form_registry.h"
#include "widgets/twips.h"
#include "windows_support/window_test_support.h"

namespace wayfind::options {
namespace {

using ::testing::_;
using ::testing::InSequence;
using erp::client::ScriptedMessageService;
using windowtests::join;

const char* const kSettings[] = {"T8EIS",       "T8HR",        "T8BRIO",       "CLICK_ACTIVATE",
                                 "RIGHT_ALIGN", "REFRESH_SYS", "REFRESH_FUNC", "SEARCH_NO_HABITS"};

std::string repeat(char c, size_t n) { return std::string(n, c); }

class DlgOptionsTest : public windowtests::WindowTest {
 protected:
  dlgOptions& form() {
    auto* f = qobject_cast<dlgOptions*>(widgets::forms().form(dlgOptions::kFormName));
    if (!f) throw std::runtime_error("dlgOptions is not the registered dlgOptions");
    return *f;
  }

  void setProfile(const std::string& name, const std::string& value) {
    platform::Registry::instance().createAs<update::DatasUpdate>(erp::progid::kDatasUpdate)->SetProfileValue(name, value);
  }
  std::string profile(const std::string& name) {
    auto info = platform::Registry::instance().createAs<store::DatasInfo>(erp::progid::kDatasInfo);
    info->RegetDataInfo();
    return info->GetProfileValue(name);
  }
  std::map<std::string, std::string> allSettings() {
    std::map<std::string, std::string> out;
    for (const char* s : kSettings) out[s] = profile(s);
    return out;
  }

  // Shows the dialog; act works on it while it is open and presses a button.
  void show(const std::function<void(dlgOptions&)>& act) {
    auto& dlg = form();
    modal().push("dlgOptions", [&](QDialog&) { act(dlg); });
    dlg.ShowModal();
    EXPECT_TRUE(modal().done()) << join(modal().failures());
  }

  void loginWithEdition(const std::string& edition) {
    auto login = erp::client::makeLogin(windowtests::kAdministrator,
                                        windowtests::userName(database, windowtests::kAdministrator), "Industry",
                                        "window-tests");
    const std::string from = "T8Version=9.0";
    login.propsString.replace(login.propsString.find(from), from.size(), "T8Version=" + edition);
    erp::client::publishLogin(login);
  }
};

TEST_F(DlgOptionsTest, LoadsTheSettingsAndWritesOnlyThoseChanged) {
  setProfile("T8EIS", "  决策站点  ");
  setProfile("T8BRIO", "");
  setProfile("CLICK_ACTIVATE", "1");
  setProfile("RIGHT_ALIGN", "0");
  setProfile("REFRESH_SYS", "");
  setProfile("REFRESH_FUNC", "yes");  // anything but "1" is a cleared box
  show([&](dlgOptions& dlg) {
    EXPECT_EQ(dlg.txtDecisionTitle->text().toStdString(), "决策站点");
    EXPECT_TRUE(dlg.chkSingleClick->isChecked());
    EXPECT_FALSE(dlg.chkRightAlign->isChecked());
    EXPECT_FALSE(dlg.CheckRefresh->isChecked());
    EXPECT_FALSE(dlg.chkRefreshFunc->isChecked());
    dlg.txtHrTitle->setText("人力");
    dlg.chkRightAlign->setChecked(true);
    dlg.OKButton->click();
  });
  // What the user left stays as stored, blanks and all.
  const std::map<std::string, std::string> expected = {
      {"T8EIS", "  决策站点  "}, {"T8HR", "人力"},       {"T8BRIO", ""},          {"CLICK_ACTIVATE", "1"},
      {"RIGHT_ALIGN", "1"},    {"REFRESH_SYS", ""}, {"REFRESH_FUNC", "yes"},  {"SEARCH_NO_HABITS", ""}};
  EXPECT_EQ(allSettings(), expected);
}

TEST_F(DlgOptionsTest, SiteNamesAreSentAsTypedInTheirOrderAndFlagsAfterThem) {
  auto server = std::make_shared<fakes::MockUpdateServer>();
  platform::ScopedRegistration fake(erp::progid::kServerDatasUpdate, platform::sharedFactory(server));
  const std::string padded = "  " + repeat('x', 255) + " ";
  std::vector<std::pair<std::string, std::string>> written;
  EXPECT_CALL(*server, SetProfileValues(_, _, _))
      .WillOnce([&](const std::string&, platform::DictionaryPtr& values, platform::DictionaryPtr&) {
        // One change of all eight, each sent against the value the dialog read.
        for (const auto& key : values->Keys())
          if (key != "Read") written.push_back({key, platform::CStr(values->GetValue(key))});
        EXPECT_EQ(values->GetValue("Read").objectAs<platform::Dictionary>()->Count(), 8u);
      });
  std::string flags;
  show([&](dlgOptions& dlg) {
    dlg.txtDecisionTitle->setText(QString::fromStdString(padded));
    dlg.txtHrTitle->setText(QString::fromStdString(repeat('y', 255)));
    dlg.txtBrioTitle->setText("brio");
    // Every switch turned: all eight are changed.
    for (QCheckBox* box : {dlg.chkSingleClick, dlg.chkRightAlign, dlg.CheckRefresh, dlg.chkRefreshFunc, dlg.chkNoHabits}) {
      box->setChecked(!box->isChecked());
      flags += box->isChecked() ? "1" : "0";
    }
    dlg.OKButton->click();
  });
  EXPECT_TRUE(messages->warnings().empty()) << join(messages->warnings());
  ASSERT_EQ(written.size(), 8u);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(written[i].first, kSettings[i]);
  EXPECT_EQ(written[0].second, padded) << "stored with its blanks";
  EXPECT_EQ(written[1].second, repeat('y', 255));
  EXPECT_EQ(written[3].second + written[4].second + written[5].second + written[6].second + written[7].second, flags);
}

TEST_F(DlgOptionsTest, ALongestSiteNameWithBlanksIsStoredByTheRealMiddleTier) {
  const std::string padded = "  " + repeat('z', 255) + "  ";
  show([&](dlgOptions& dlg) {
    dlg.txtBrioTitle->setText(QString::fromStdString(padded));
    dlg.OKButton->click();
  });
  EXPECT_TRUE(messages->warnings().empty()) << join(messages->warnings());
  EXPECT_EQ(profile("T8BRIO"), padded);
}

TEST_F(DlgOptionsTest, TooLongSiteNameIsRefusedFirstOneOnlyAndNothingWritten) {
  const auto before = allSettings();
  show([&](dlgOptions& dlg) {
    QApplication::setActiveWindow(&dlg);
    dlg.txtHrTitle->setText(QString::fromStdString(" " + repeat('h', 256) + " "));
    dlg.txtBrioTitle->setText(QString::fromStdString(repeat('b', 300)));
    dlg.chkSingleClick->setChecked(true);
    dlg.OKButton->click();
    EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
    EXPECT_EQ(dlg.focusWidget(), dlg.txtHrTitle);
    dlg.CancelButton->click();
  });
  EXPECT_EQ(messages->warnings(),
            std::vector<std::string>{"人力资源系统站点名称过长（必须小于等于255），请重新设置。"});
  EXPECT_EQ(allSettings(), before);
}

TEST_F(DlgOptionsTest, TheTeeEditionHidesTheSiteNamesAndLeavesThemAsStored) {
  setProfile("T8EIS", " eis ");
  setProfile("T8HR", "hr");
  setProfile("T8BRIO", "");
  setProfile("RIGHT_ALIGN", "0");
  setProfile("REFRESH_SYS", "0");
  loginWithEdition("TEE");
  auto expected = allSettings();
  expected["REFRESH_FUNC"] = "1";
  auto& dlg = form();
  const int designedHeight = dlg.height();
  show([&](dlgOptions& d) {
    EXPECT_FALSE(d.Frame1->isVisible());
    EXPECT_EQ(d.Frame2->y(), d.Frame1->y());
    const int buttonTop = widgets::twipsToPixels(widgets::pixelsToTwips(d.Frame2->y() + d.Frame2->height()) + 60);
    EXPECT_EQ(d.OKButton->y(), buttonTop);
    EXPECT_EQ(d.CancelButton->y(), buttonTop);
    EXPECT_EQ(d.height(), designedHeight - d.Frame1->height());
    EXPECT_GE(d.height(), d.OKButton->y() + d.OKButton->height()) << "the buttons fit";
    d.CancelButton->setFocus();
    d.chkRefreshFunc->setChecked(true);
    d.OKButton->click();
  });
  EXPECT_EQ(expected["T8EIS"], " eis ");
  EXPECT_EQ(allSettings(), expected);
}

TEST_F(DlgOptionsTest, AFailedSaveIsReportedWithItsNumberAndTheDialogStaysOpen) {
  platform::ScopedUnregistration noServer(erp::progid::kServerDatasUpdate);
  show([&](dlgOptions& dlg) {
    dlg.chkRightAlign->setChecked(!dlg.chkRightAlign->isChecked());
    dlg.OKButton->click();
    EXPECT_TRUE(dlg.isVisible());
    dlg.CancelButton->click();
  });
  ASSERT_EQ(messages->warnings().size(), 1u);
  const std::string text = messages->warnings()[0];
  EXPECT_EQ(text.rfind("保存失败： ", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n\r\n错误号： 429"), std::string::npos) << text;

  // Settings that cannot be loaded are not shown as unset, to be saved over.
  messages->calls.clear();
  {
    store::DataInfo::instance().reset();
    platform::ScopedUnregistration noData(erp::progid::kServerDataInfo);
    show([&](dlgOptions& dlg) {
      EXPECT_FALSE(dlg.OKButton->isEnabled());
      dlg.CancelButton->click();
    });
  }
  EXPECT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
  show([&](dlgOptions& dlg) {
    EXPECT_TRUE(dlg.OKButton->isEnabled());
    dlg.CancelButton->click();
  });
}

TEST_F(DlgOptionsTest, AWriteFailingBelowTheDialogKeepsTheInputAndOKStoresItOnTheSecondTry) {
  setProfile("T8HR", "hr");
  setProfile("RIGHT_ALIGN", "0");
  int writes = 0;
  erp::middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method == "SetProfileValues" && point == "write" && ++writes == 1)
      throw platform::AutomationError(999, "ZelWayfind.DatasUpdate", "磁盘已满");
  });
  show([&](dlgOptions& dlg) {
    dlg.txtHrTitle->setText("hr2");
    dlg.chkRightAlign->setChecked(true);
    dlg.OKButton->click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.txtHrTitle->text().toStdString(), "hr2");
    EXPECT_TRUE(dlg.chkRightAlign->isChecked());
    EXPECT_EQ(profile("RIGHT_ALIGN"), "0");
    erp::middletier::setChangeFaultHookForTesting({});
    dlg.OKButton->click();
  });
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"保存失败： 磁盘已满\r\n\r\n错误号： 999"});
  EXPECT_EQ(profile("T8HR"), "hr2");
  EXPECT_EQ(profile("RIGHT_ALIGN"), "1");
}

TEST_F(DlgOptionsTest, TwoDialogsKeepEachOthersSettingsAndAskAboutTheOneBothChanged) {
  for (const bool keepMine : {true, false}) {
    SCOPED_TRACE(keepMine ? "keep mine" : "take theirs");
    setProfile("T8EIS", "eis");
    setProfile("T8HR", "hr");
    setProfile("RIGHT_ALIGN", "0");
    setProfile("REFRESH_FUNC", "yes");
    allSettings();  // the store takes in what was just set
    messages->calls.clear();
    show([&](dlgOptions& mine) {
      dlgOptions other;  // the same user's second dialog, open beside the first
      other.Load();
      other.txtDecisionTitle->setText("theirs");
      other.txtHrTitle->setText("其他人力");
      other.chkRightAlign->setChecked(true);
      ASSERT_TRUE(other.Save());
      mine.txtDecisionTitle->setText("mine");
      mine.chkRightAlign->setChecked(true);  // the same change: nothing to ask
      messages->answers = {keepMine};
      mine.OKButton->click();
      EXPECT_EQ(mine.txtDecisionTitle->text().toStdString(), keepMine ? "mine" : "theirs");
    });
    const auto questions = messages->questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("站点名称 的决策信息系统站点名称：其他用户的是“theirs”，您的是“mine”"), std::string::npos)
        << questions[0];
    const std::map<std::string, std::string> expected = {
        {"T8EIS", keepMine ? "mine" : "theirs"}, {"T8HR", "其他人力"}, {"RIGHT_ALIGN", "1"}, {"REFRESH_FUNC", "yes"}};
    for (const auto& [name, value] : expected) EXPECT_EQ(profile(name), value) << name;
  }
}

TEST_F(DlgOptionsTest, TranslatedCaptionsFitTheirControls) {
  for (const char* language : {"en", "cht"}) {
    setLanguage(language);
    for (const char* name : {dlgOptions::kFormName, dlgProperties::kFormName}) {
      widgets::Form* dlg = widgets::forms().form(name);
      dlg->Load();
      for (QWidget* w : dlg->findChildren<QWidget*>()) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        if (text.isEmpty()) continue;
        // A push button's size hint has a minimum width of its own: measure its text.
        const int needed = qobject_cast<QPushButton*>(w)
                               ? w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 8
                               : w->sizeHint().width();
        EXPECT_LE(needed, w->width()) << language << " " << name << "." << w->objectName().toStdString() << ": "
                                      << text.toStdString();
      }
      dlg->Unload();
    }
  }
}

}  // namespace
}  // namespace wayfind::options
