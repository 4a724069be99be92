// dlgOptions: how the main console behaves (four switches) and the site names of
// the three web systems it links to, read from the user's profile and written
// back through the update class. It keeps nothing of its own.
#pragma once

#include <map>
#include <string>
#include <vector>

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

  // Checks the site names and writes the settings changed since the dialog
  // read them; a setting another user changed meanwhile as well is the user's
  // to keep or give up. False (dialog stays open, its input kept) when a name
  // is too long or writing failed.
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
  QCheckBox* chkNoHabits;  // SEARCH_NO_HABITS: the search keeps the tree's order among equal matches
  QPushButton* OKButton;
  QPushButton* CancelButton;

 protected:
  // The eight settings from the profile; without the site names for the "TEE"
  // edition.
  void Form_Load() override;

 private:
  // A setting and the control that shows it: a site-name box or a switch.
  struct Setting {
    const char* name;
    QGroupBox* frame;
    QLabel* label;
    QLineEdit* box;
    QCheckBox* check;
    std::string shown(const std::string& stored) const;  // as the control shows a stored value
    std::string value() const;                           // what the control holds, as stored
    void show(const std::string& stored) const;
    std::string frameCaption() const;
    std::string caption() const;
  };
  // The eight settings in the order they are read and stored.
  std::vector<Setting> settings() const;
  void storeChangedSettings();
  void designedLayout();
  void hideSiteNames();

  std::map<std::string, std::string> read_;    // each setting's value as the dialog read it
  std::map<std::string, std::string> stored_;  // and as it was stored then
};

}  // namespace wayfind::options
