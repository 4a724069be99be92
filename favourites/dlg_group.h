// dlgGroup: asks into which group of frequently used functions a function is to be
// added, when it is added without a group and the user has more than one.
//
// The caller loads a new instance, fills cboGroup (text = group name, item data =
// group id, in record order), shows it modally and reads m_lGruopID: the chosen
// group, or -1 when the dialog was closed without OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "update/group_chooser.h"
#include "widgets/form.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace wayfind::favourites {

class dlgGroup : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgGroup";
  // Makes the window known to the form registry by its name, and installs it
  // as the group chooser while the windows run.
  static void Register();

  dlgGroup();

  // The chosen group's id (the name is spelled so); -1 until OK is pressed.
  int32_t m_lGruopID = -1;

  // One group in the list: its name, with its id as item data.
  void AddGroup(const std::string& name, int32_t groupId);

  void cmdOk_Click();

  QLabel* Label1;
  QComboBox* cboGroup;
  QPushButton* cmdOk;

 protected:
  void Form_Load() override;
  void showEvent(QShowEvent* event) override;
};

// The windows' answer to "which group?" when a function is added without one:
// dlgGroup on a new instance.
class DialogGroupChooser : public update::IGroupChooser {
 public:
  int32_t choose(const std::vector<update::GroupChoice>& groups) override;
};

}  // namespace wayfind::favourites
