// dlgSetNormal, "常用功能设置": the window in which the user keeps groups of
// frequently used functions. The groups are listed on the left (their names are
// edited in place); the right-hand grid holds the selected group's functions, in
// list order, each with the user's own help code and show name. Functions come in
// from the picker (frmAllFunc), by double click, "选中" or dragging them onto the
// grid.
//
// The grid's list is saved under the group it was loaded for (the current group
// id) when the user applies it, picks a group, refreshes or closes the window;
// each of these asks first when the list was changed. A save stores what was
// changed here against the list as loaded, in one change or not at all; what
// another user changed meanwhile stays theirs unless the user, asked about the
// fields both changed, keeps their own. A failed save keeps the edits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "favourites/normal_rows.h"
#include "platform/automation/automation_error.h"
#include "widgets/form.h"
#include "widgets/grid.h"
#include "widgets/keyed_tree.h"

class QLabel;
class QPushButton;

namespace wayfind::widgets {
class ImageList;
class ToolBar;
}  // namespace wayfind::widgets

namespace wayfind::favourites {

class dlgSetNormal : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgSetNormal";
  // Makes the window known to the form registry by its name.
  static void Register();
  static constexpr int32_t kHelpContext = 520014;
  static constexpr int kMaxGroupNameChars = 50;

  explicit dlgSetNormal(QWidget* parent = nullptr);

  // The list in the grid has changed and is not saved. The picker sets it too.
  bool m_bDirty = false;
  bool Modified() const { return m_bDirty; }
  // Whether anything was stored since the window was loaded: the list, or a
  // group made, renamed or deleted.
  bool Saved() const { return saved_; }
  // The group whose list the grid shows (0 before any was loaded).
  int32_t currentGroupId() const { return currentGroup_; }

  // The window as a whole.
  void RefreshEditor();
  void LoadGroupTree();
  // Saves a changed list after asking, then shows the selected group's stored
  // list. False when the list failed its checks (or could not be saved).
  bool SaveAndSwitchGroup();
  void AddNew();
  void DeleteSelected();
  void ShowMainConsoleEditor();  // Command1
  void KeyDown(int16_t keyCode);

  // The list in the grid.
  void LoadGroupItems(int32_t groupId);
  bool IsInList(int32_t detailFuncId) const;
  void AddFunctionRow(int32_t detailFuncId);
  void RemoveActiveRow();
  bool ValidateList();
  // The grid's rows as values.
  std::vector<NormalRow> listRows() const;
  // Stores what was changed in the grid against the list as loaded under the
  // current group (after ValidateList); fields another user changed meanwhile
  // are the user's to keep or give up.
  void SaveList();

  // Whether the grid takes a dragged function: not when it is no detail function
  // or already listed. Where it is not taken, the drag shows "NoDrop".
  bool acceptsDrop(int32_t detailFuncId) const { return detailFuncId != -1 && !IsInList(detailFuncId); }

  // The controls, by the names the window's code uses.
  widgets::ToolBar* Bar = nullptr;
  QLabel* lblFunc = nullptr;
  widgets::KeyedTree* tvGroup = nullptr;
  QLabel* lblNormal = nullptr;
  widgets::Grid* vaNormal = nullptr;
  QPushButton* btnDel = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* btnCancel = nullptr;
  widgets::ImageList* imgLstTB = nullptr;

 protected:
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildControls();
  void setUpGrid();
  void onToolClick(const QString& name);
  void onGroupLabelEdited(widgets::TreeNode node, std::string& newText, bool& cancel);
  void onDelClicked();
  void reportSaveFailure(const platform::AutomationError& error);
  void reportReadFailure(const platform::AutomationError& error);
  void showReadRows();  // the list as last read (or stored) from its group
  void editNameAgain(const widgets::TreeNode& node, const std::string& typed);
  void keepEdits();
  bool groupTreeHasFocus() const;
  bool gridHasFocus() const;
  static int32_t groupIdOf(const widgets::TreeNode& node);
  // The detail function a drag over the grid carries.
  static int32_t draggedFunctionId(const class QMimeData* mime);

  // A group's list as stored now, as rows; a group's name as stored now (none
  // when the group is gone).
  std::vector<NormalRow> storedRows(int32_t groupId);
  std::optional<std::string> storedGroupName(int32_t groupId);

  int32_t currentGroup_ = 0;
  std::vector<NormalRow> readRows_;  // the current group's list as loaded
  bool saved_ = false;
};

}  // namespace wayfind::favourites
