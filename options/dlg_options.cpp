#include "options/dlg_options.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <map>
#include <vector>

#include "context/language.h"
#include "context/login_props.h"
#include "context/save_outcome.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
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

// The designed layout, in twips: the site names above the operation switches.
constexpr int kFormWidth = 8700;
constexpr int kFormHeight = 4620;
constexpr Box kFrame1{180, 120, 8340, 1560};
constexpr Box kLabel2{240, 360, 3600, 270};
constexpr Box kTxtDecision{3900, 300, 4200, 345};
constexpr Box kLabel3{240, 780, 3600, 270};
constexpr Box kTxtHr{3900, 720, 4200, 345};
constexpr Box kLabel4{240, 1200, 3600, 270};
constexpr Box kTxtBrio{3900, 1140, 4200, 345};
constexpr Box kFrame2{180, 1800, 8340, 2160};
constexpr Box kChkSingleClick{240, 330, 7900, 300};
constexpr Box kChkRightAlign{240, 690, 7900, 300};
constexpr Box kCheckRefresh{240, 1050, 7900, 300};
constexpr Box kChkRefreshFunc{240, 1410, 7900, 300};
constexpr Box kChkNoHabits{240, 1770, 7900, 300};
constexpr int kButtonGap = 60;
constexpr Box kOKButton{5820, kFrame2.top + kFrame2.height + kButtonGap, 1200, 405};
constexpr Box kCancelButton{7140, kFrame2.top + kFrame2.height + kButtonGap, 1200, 405};

constexpr int kMaxSiteName = 255;

using widgets::place;

// A caption without the colon that ends it, to name its setting in a sentence.
std::string withoutColon(std::string text) {
  for (const char* colon : {"：", ":"}) {
    const std::string c = colon;
    text = platform::trimSpaces(text);
    if (text.size() >= c.size() && text.compare(text.size() - c.size(), c.size(), c) == 0)
      text.erase(text.size() - c.size());
  }
  return platform::trimSpaces(text);
}

// One site-name box and what is said when its name is too long.
struct SiteName {
  QLineEdit* box;
  const char* tooLong;
};

}  // namespace

dlgOptions::dlgOptions() : widgets::Form(kFormName) {
  widgets::SetHelpContext(*this, 520011);
  setWindowTitle(QStringLiteral("选项设置"));

  Frame1 = new QGroupBox(QStringLiteral("站点名称"), this);
  Frame1->setObjectName("Frame1");
  Label2 = place<QLabel>(Frame1, "Label2", kLabel2, QStringLiteral("决策信息系统站点名称："));
  txtDecisionTitle = place<QLineEdit>(Frame1, "txtDecisionTitle", kTxtDecision);
  Label3 = place<QLabel>(Frame1, "Label3", kLabel3, QStringLiteral("人力资源系统站点名称："));
  txtHrTitle = place<QLineEdit>(Frame1, "txtHrTitle", kTxtHr);
  Label4 = place<QLabel>(Frame1, "Label4", kLabel4, QStringLiteral("管理门户站点名称："));
  txtBrioTitle = place<QLineEdit>(Frame1, "txtBrioTitle", kTxtBrio);

  Frame2 = new QGroupBox(QStringLiteral("操作方式"), this);
  Frame2->setObjectName("Frame2");
  chkSingleClick = place<QCheckBox>(Frame2, "chkSingleClick", kChkSingleClick,
                                    QStringLiteral("鼠标单击主控台菜单或流程图节点进入明细功能"));
  chkRightAlign = place<QCheckBox>(Frame2, "chkRightAlign", kChkRightAlign, QStringLiteral("当前选择的系统类始终位于右边"));
  CheckRefresh = place<QCheckBox>(Frame2, "CheckRefresh", kCheckRefresh, QStringLiteral("选择系统时动态刷新下级菜单"));
  chkRefreshFunc = place<QCheckBox>(Frame2, "chkRefreshFunc", kChkRefreshFunc, QStringLiteral("选择子功能时动态刷新下级菜单"));
  chkNoHabits = place<QCheckBox>(Frame2, "chkNoHabits", kChkNoHabits, QStringLiteral("查找功能时不把常用的功能排在前面"));

  OKButton = new QPushButton(QStringLiteral("确定(&O)"), this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("取消(&C)"), this);
  CancelButton->setObjectName("CancelButton");
  designedLayout();

  connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
}

void dlgOptions::designedLayout() {
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));
  place(Frame1, kFrame1);
  place(Frame2, kFrame2);
  place(OKButton, kOKButton);
  place(CancelButton, kCancelButton);
  Frame1->show();
}

std::vector<dlgOptions::Setting> dlgOptions::settings() const {
  return {{"T8EIS", Frame1, Label2, txtDecisionTitle, nullptr},
          {"T8HR", Frame1, Label3, txtHrTitle, nullptr},
          {"T8BRIO", Frame1, Label4, txtBrioTitle, nullptr},
          {"CLICK_ACTIVATE", Frame2, nullptr, nullptr, chkSingleClick},
          {"RIGHT_ALIGN", Frame2, nullptr, nullptr, chkRightAlign},
          {"REFRESH_SYS", Frame2, nullptr, nullptr, CheckRefresh},
          {"REFRESH_FUNC", Frame2, nullptr, nullptr, chkRefreshFunc},
          {"SEARCH_NO_HABITS", Frame2, nullptr, nullptr, chkNoHabits}};
}

// A site name shows without the blanks around it; a switch is on only for "1".
std::string dlgOptions::Setting::shown(const std::string& stored) const {
  return box ? platform::trimSpaces(stored) : (stored == "1" ? "1" : "0");
}

std::string dlgOptions::Setting::value() const {
  return box ? box->text().toStdString() : (check->isChecked() ? "1" : "0");
}

void dlgOptions::Setting::show(const std::string& stored) const {
  if (box) box->setText(QString::fromStdString(shown(stored)));
  else check->setChecked(stored == "1");
}

void dlgOptions::Form_Load() {
  designedLayout();
  read_.clear();
  stored_.clear();
  OKButton->setEnabled(true);
  try {
    auto info = store::newDatasInfo();
    // The data loaded (or brought up to date) first: a setting read without
    // it reads as unset, and a change made over that would be taken for
    // another user's. When it cannot be loaded, nothing is offered to save.
    info->Initial();
    // Read in this order: the site names, then the switches.
    for (const Setting& s : settings()) {
      stored_[s.name] = info->GetProfileValue(s.name);
      s.show(stored_[s.name]);
      read_[s.name] = s.value();
    }
    if (context::GetVersionText() == "TEE") hideSiteNames();
  } catch (const AutomationError& e) {
    OKButton->setEnabled(false);
    erp::api::messages().reportError(e);
  }
}

void dlgOptions::hideSiteNames() {
  Frame1->hide();
  Frame2->move(Frame2->x(), Frame1->y());
  const int top = twipsToPixels(widgets::pixelsToTwips(Frame2->y() + Frame2->height()) + kButtonGap);
  OKButton->move(OKButton->x(), top);
  CancelButton->move(CancelButton->x(), top);
  setFixedSize(width(), height() - Frame1->height());
}

bool dlgOptions::Save() {
  const SiteName sites[] = {
      {txtDecisionTitle, "决策信息系统站点名称过长（必须小于等于255），请重新设置。"},
      {txtHrTitle, "人力资源系统站点名称过长（必须小于等于255），请重新设置。"},
      {txtBrioTitle, "绩效管理平台站点名称过长（必须小于等于255），请重新设置。"},
  };
  for (const SiteName& s : sites) {
    if (platform::charLength(platform::trimSpaces(s.box->text().toStdString())) > kMaxSiteName) {
      erp::api::messages().warn(context::GetLangText(s.tooLong));
      s.box->setFocus();
      return false;
    }
  }
  try {
    storeChangedSettings();
    return true;
  } catch (const AutomationError& e) {
    // Nothing the user set is lost: what was not stored stays in the dialog,
    // marked changed against what was read, and OK tries it again.
    erp::api::messages().warn(context::GetLangText("保存失败： ") + context::SaveFailureDescription(e) + "\r\n\r\n" +
                              context::GetLangText("错误号： ") + std::to_string(e.number()));
    return false;
  }
}

void dlgOptions::storeChangedSettings() {
  // Only the settings changed here are written, in one change against what the
  // dialog read; a setting another user changed meanwhile (to something else) is
  // not written unasked.
  std::map<std::string, Setting> byName;
  std::vector<std::string> order;  // the settings' own order: site names, then switches
  for (const Setting& s : settings()) {
    byName.emplace(s.name, s);
    order.push_back(s.name);
  }
  // The settings of a round in their order, each with the stored value it is
  // written against.
  auto inOrder = [&](const std::map<std::string, std::string>& round) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& name : order)
      if (round.count(name)) out.emplace_back(name, round.at(name));
    return out;
  };
  auto describe = [](const Setting& s, const std::string& shown) {
    if (s.box) return shown;
    return context::GetLangText(shown == "1" ? "已勾选" : "未勾选");
  };
  // What goes in a round: each setting with the stored value it is written against.
  std::map<std::string, std::string> send;
  for (const auto& [name, s] : byName)
    if (s.value() != read_[name]) send[name] = stored_[name];
  while (!send.empty()) {
    auto values = std::make_shared<platform::Dictionary>(), read = std::make_shared<platform::Dictionary>();
    for (const auto& [name, against] : inOrder(send)) {
      values->SetValue(name, platform::Variant(byName.at(name).value()));
      read->SetValue(name, platform::Variant(against));
    }
    values->SetValue("Read", platform::Variant(read));
    auto info = std::make_shared<platform::Dictionary>();
    widgets::RunBusy(this, [&] { update::newDatasUpdate()->SetProfileValues(values, info); });
    std::map<std::string, std::string> theirs;
    for (const auto& c : erp::api::TakeConflicts(*info)) theirs[c.key] = platform::textOrEmpty(c.theirsValue);
    for (const auto& [name, against] : send) {
      if (theirs.count(name)) continue;
      read_[name] = stored_[name] = byName.at(name).value();
    }
    // A value stored meanwhile that the dialog shows as it read it, or as the
    // user set it, is no conflict: the first goes again against it, the second is done.
    std::vector<erp::api::SaveConflict> asked;
    std::map<std::string, std::string> again;
    for (const auto& [name, stored] : theirs) {
      const Setting& s = byName.at(name);
      const std::string mine = s.value();
      stored_[name] = stored;
      if (s.shown(stored) == s.shown(mine)) {
        read_[name] = mine;
      } else if (s.shown(stored) == read_[name]) {
        again[name] = stored;
      } else {
        asked.push_back({s.frameCaption(), s.caption(), describe(s, s.shown(stored)), describe(s, s.shown(mine)), 0,
                         name, platform::Variant(stored)});
      }
    }
    const bool keepMine = asked.empty() || context::AskKeepMine(asked);
    for (const auto& c : asked) {
      const Setting& s = byName.at(c.key);
      if (keepMine) {
        again[c.key] = stored_[c.key];
      } else {
        s.show(stored_[c.key]);
        read_[c.key] = s.value();
      }
    }
    send = std::move(again);
  }
}

// Where a setting is and what it is called, as the dialog shows them.
std::string dlgOptions::Setting::frameCaption() const { return withoutColon(frame->title().toStdString()); }

std::string dlgOptions::Setting::caption() const {
  return withoutColon(label ? label->text().toStdString() : check->text().toStdString());
}

void dlgOptions::OKButton_Click() {
  if (!Save()) return;
  setResult(QDialog::Accepted);
  Unload();
}

void dlgOptions::CancelButton_Click() {
  setResult(QDialog::Rejected);
  Unload();
}

void dlgOptions::Register() { widgets::registerForm<dlgOptions>(); }

}  // namespace wayfind::options
