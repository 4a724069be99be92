#include "options/dlg_properties.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <string_view>

#include "erp/api/account_manager.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"
#include "widgets/busy_state.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/twips.h"
#include "widgets/twips_layout.h"

namespace wayfind::options {

using platform::AutomationError;
using widgets::twipsToPixels;

namespace {

using widgets::Box;

constexpr int kFormWidth = 7680;
constexpr int kFormHeight = 2760;
constexpr Box kFrame1{180, 120, 7320, 1860};
constexpr Box kChkLogo{240, 330, 6960, 300};
constexpr Box kChkCompany{240, 690, 6960, 300};
constexpr Box kChkSave{240, 1050, 6960, 300};
constexpr Box kChkSingleUI{240, 1410, 6960, 300};
constexpr Box kOKButton{4980, 2160, 1200, 405};
constexpr Box kCancelButton{6300, 2160, 1200, 405};

using widgets::place;


}  // namespace

dlgProperties::dlgProperties() : widgets::Form(kFormName) {
  widgets::SetHelpContext(*this, 520012);
  setWindowTitle(QStringLiteral("选项"));
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));

  Frame1 = place<QGroupBox>(this, "Frame1", kFrame1, QStringLiteral("选项设置"));
  chkLogo = place<QCheckBox>(Frame1, "chkLogo", kChkLogo, QStringLiteral("启用企业界面应用方案"));
  chkCompany = place<QCheckBox>(Frame1, "chkCompany", kChkCompany, QStringLiteral("登录界面不显示所有组织机构的代码和名称"));
  chkSave = place<QCheckBox>(Frame1, "chkSave", kChkSave, QStringLiteral("保存上次登录时输入的组织机构代码"));
  chkSingleUI = place<QCheckBox>(Frame1, "chkSingleUI", kChkSingleUI, QStringLiteral("允许多个主界面同时存在"));

  OKButton = place<QPushButton>(this, "OKButton", kOKButton, QStringLiteral("确定(&O)"));
  OKButton->setDefault(true);
  CancelButton = place<QPushButton>(this, "CancelButton", kCancelButton, QStringLiteral("取消(&C)"));

  // A click, by mouse or keyboard; setChecked from the code raises none.
  connect(chkCompany, &QCheckBox::clicked, this, [this] { chkCompany_Click(); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
}

void dlgProperties::Form_Load() {
  // Nothing survives between showings: a form loaded again starts as designed.
  chkSingleUI->setChecked(false);
  storedNotSave_.reset();
  try {
    auto manager = platform::Registry::instance().createAs<erp::api::IAcctMgr>(erp::progid::kAcctMgr);
    chkLogo->setChecked(manager->GetProfile("ENTERPRISE_LOGO") == "1");
    storedNotSave_ = manager->GetProfile("COMPANY_NOTSAVE") != "0";
    if (manager->GetProfile("COMPANY_NOTSHOW") != "1") {
      chkCompany->setChecked(false);
      chkSave->setEnabled(false);
      chkSave->setChecked(false);
    } else {
      chkCompany->setChecked(true);
      chkSave->setEnabled(true);
      chkSave->setChecked(*storedNotSave_);
    }
  } catch (const AutomationError& e) {
    erp::api::messages().reportError(e);
  }
  for (const auto& [name, box] : switches()) read_[name] = box->isChecked();
}

std::vector<std::pair<const char*, QCheckBox*>> dlgProperties::switches() const {
  return {{"ENTERPRISE_LOGO", chkLogo}, {"COMPANY_NOTSHOW", chkCompany}, {"COMPANY_NOTSAVE", chkSave}};
}

void dlgProperties::chkCompany_Click() {
  if (chkCompany->isChecked()) {
    chkSave->setEnabled(true);
    chkSave->setChecked(true);
  } else {
    chkSave->setEnabled(false);
  }
}

void dlgProperties::OKButton_Click() {
  try {
    // Only the switches changed here are written: another administrator's change
    // of the others meanwhile stays. (A switch is yes or no: one changed meanwhile
    // either is what the user set, or goes back to what the window read.)
    // The save switch, shown cleared while the company name is shown, is also
    // changed where the user can set it and it differs from what is stored.
    std::vector<std::pair<const char*, bool>> changed;
    for (const auto& [name, box] : switches())
      if (box->isChecked() != read_[name] ||
          (box == chkSave && storedNotSave_ && box->isEnabled() && box->isChecked() != *storedNotSave_))
        changed.emplace_back(name, box->isChecked());
    widgets::RunBusy(this, [&] {
      auto manager = platform::Registry::instance().createAs<erp::api::IAcctMgr>(erp::progid::kAcctMgr);
      for (const auto& [name, ticked] : changed) {
        manager->SetProfile(name, ticked ? "1" : "0");
        read_[name] = ticked;
        if (std::string_view(name) == "COMPANY_NOTSAVE") storedNotSave_ = ticked;
      }
    });
  } catch (const AutomationError& e) {
    // The dialog stays open with the user's choices; what was written before the
    // failing call stays written.
    erp::api::messages().reportError(e);
    return;
  }
  setResult(QDialog::Accepted);
  Unload();
}

void dlgProperties::CancelButton_Click() {
  setResult(QDialog::Rejected);
  Unload();
}

void dlgProperties::Register() { widgets::registerForm<dlgProperties>(); }

}  // namespace wayfind::options
