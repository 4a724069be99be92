// frmSelectUser: the users to whom the main console's settings are to be applied.
// The ERP's user groups are listed with their users in a tree with check boxes, a
// group's users loaded when it is first expanded; "全部应用" stands for all users.
//
// The dialog applies nothing: Choose() shows it modally and answers the user's
// choice when the user confirmed, and nothing after cancel or the close box. The
// choice stays readable (choice()) after the dialog is unloaded.
#pragma once

#include <optional>
#include <string>

#include "dialogs/user_choice.h"
#include "widgets/form.h"
#include "widgets/keyed_tree.h"

class QCheckBox;
class QPushButton;

namespace wayfind::widgets {
class ImageList;
}  // namespace wayfind::widgets

namespace wayfind::dialogs {

class frmSelectUser : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frmSelectUser";
  // Makes the window known to the form registry by its name.
  static void Register();

  frmSelectUser();

  // Shows the dialog modally and answers the choice made in this showing.
  std::optional<UserChoice> Choose();
  // How many users "全部应用" gives the settings to: every user of the company
  // but the one applying them, also users in no group and disabled users.
  static int32_t AllUsersCount();
  // The choice of the last showing through Choose(); nothing when it was cancelled
  // or closed.
  const std::optional<UserChoice>& choice() const { return choice_; }

  // Each time the dialog is shown: "全部应用" ticked, every group loaded and
  // checked, the tree disabled.
  void Form_Activate();

  void chkAll_Click();
  void cmdOk_Click();
  void cmdCancel_Click();
  void tvUserGroup_Expand(widgets::TreeNode node);
  void tvUserGroup_NodeCheck(widgets::TreeNode node);

  // Checks or clears every group with all its users, loading the users first.
  void CheckNode(bool checked);
  void LoadAllUserGroup();
  void LoadUserByGroup(widgets::TreeNode group);
  // The user id of a user node's key "U<user>,<group>".
  static std::string GetUserID(const std::string& key);

  // The two queries, as sent to the data access component.
  static std::string groupsQuery();
  static std::string usersQuery(int32_t groupId);

  widgets::KeyedTree* tvUserGroup;
  QCheckBox* chkAll;
  QPushButton* cmdOk;
  QPushButton* cmdCancel;
  widgets::ImageList* imlMain;

 protected:
  // Captions, fonts and the groups, each with its placeholder.
  void Form_Load() override;
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyCaptions();
  void DeleteChildNodes(widgets::TreeNode node);
  // What expanding and checking a node do, failures passed on.
  void loadGroupOnExpand(widgets::TreeNode node);
  void spreadCheck(widgets::TreeNode node);
  std::string placeholderText() const;

  std::optional<UserChoice> choice_;
};

}  // namespace wayfind::dialogs
