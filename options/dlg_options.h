// dlgOptions: how the main console behaves (four switches) and the site names of
// the three web systems it links to, read from the user's profile and written
// back through the update class. It keeps nothing of its own.
#pragma once

#include "widgets/form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wayfind::options {

class dlgOptions : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgOptions";
  // Makes the window known to the form registry by its name.
  static void Register();

  dlgOptions();

  // Checks the site names and writes the seven settings; false (dialog stays
  // open) when a name is too long or writing failed.
  bool Save();

  void OKButton_Click();
  void CancelButton_Click();

  QGroupBox* Frame1;
  QLabel* Label2;
  QLineEdit* txtDecisionTitle;
  QLabel* Label3;
  QLineEdit* txtHrTitle;
  QLabel* Label4;
  QLineEdit* txtBrioTitle;
  QGroupBox* Frame2;
  QCheckBox* chkSingleClick;
  QCheckBox* chkRightAlign;
  QCheckBox* CheckRefresh;
  QCheckBox* chkRefreshFunc;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  // The seven settings from the profile; without the site names for the "TEE"
  // edition.
  void Form_Load() override;

 private:
  void designedLayout();
  void hideSiteNames();
};

}  // namespace wayfind::options
