// dlgProperties: three switches of the ERP's login and main window, kept by the
// account manager ("QvSvrMgr.AcctMgr"), not by the navigation store. The main
// console editor opens it from its "Property" tool.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "widgets/form.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace wayfind::options {

class dlgProperties : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgProperties";
  // Makes the window known to the form registry by its name.
  static void Register();

  dlgProperties();

  void chkCompany_Click();
  void OKButton_Click();
  void CancelButton_Click();

  QGroupBox* Frame1;
  QCheckBox* chkLogo;
  QCheckBox* chkCompany;
  QCheckBox* chkSave;
  QCheckBox* chkSingleUI;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  // The three switches from the account manager; chkSingleUI starts cleared.
  void Form_Load() override;

 private:
  // Each switch's setting name and box.
  std::vector<std::pair<const char*, QCheckBox*>> switches() const;
  std::map<std::string, bool> read_;  // each box's tick as loaded (or last stored)
  std::optional<bool> storedNotSave_;  // COMPANY_NOTSAVE as stored (unset is on); none when unread
};

}  // namespace wayfind::options
