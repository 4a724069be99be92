// dlgSetProp, the main-console editor: the navigation tree on the left down to the
// sub-functions, and on the right the grid of the selected node's children, in
// which names, visibility, order and (for detail functions) help codes are edited
// in place. The edits of one node's children are saved together through
// DatasUpdate when the user applies them, moves to another node or closes the
// editor. The toolbar creates, modifies, deletes and reorders items, restores the
// default, refreshes, imports and exports template files, applies the settings to
// other users and opens the company properties.
//
// Every procedure reads the store through a new DatasInfo created by ProgID (with
// RegetDataInfo first), so what the grid shows after a save is what the middle
// tier stored.
//
// The rows, their locks, moves, pending edits and save values are the model's
// (editor/set_prop_model.h); each grid is bound to its rows of the model.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/user_choice.h"
#include "editor/prop_grid_binding.h"
#include "editor/query_rows.h"
#include "editor/set_prop_model.h"
#include "platform/containers/dictionary.h"
#include "platform/navigation/levels.h"
#include "widgets/form.h"
#include "widgets/grid.h"
#include "widgets/keyed_tree.h"

class QCheckBox;
class QWidget;

namespace wayfind::widgets {
class ImageList;
class TitlePanel;
class ToolBar;
}  // namespace wayfind::widgets

namespace wayfind::store {
class DatasInfo;
}  // namespace wayfind::store

namespace wayfind::editor {

// A new query object on freshly loaded tables: the editor always shows (and
// checks against) what the middle tier holds now.
std::shared_ptr<store::DatasInfo> FreshQuery();

class dlgSetProp : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgSetProp";
  // Makes the window known to the form registry by its name, with the further
  // views its screenshots show.
  static void Register();

  explicit dlgSetProp(QWidget* parent = nullptr);
  ~dlgSetProp() override;

  // True once the list of top classes was changed while the editor was open: the
  // host then reloads its top level.
  bool Modified() const { return m_blnModified; }

  // The tree and its lazy filling.
  void RefreshTree();
  void BuildRoot();
  void ShowGrid(bool outline);
  void ShowTopClasses(int placeholderIndex);
  void ShowSubSystems(int32_t id, int placeholderIndex);
  void ShowSubFuncs(int32_t id, int placeholderIndex);
  void ShowDetailFuncs(int32_t id);
  void NodeClick(const widgets::TreeNode& node);
  void NodeExpand(const widgets::TreeNode& node);
  void NodeCollapse(const widgets::TreeNode& node);

  // Change tracking and saving. info is the dictionary the apply-to-users command
  // passes (a "TemplateUserID"), or null. A save sends what the user changed;
  // a field another user changed meanwhile is left as they stored it until the
  // user chooses to keep theirs. Answers false when the save failed: the edits
  // then stay pending.
  void MarkDirty();
  void CheckHelpCode(int row);
  void CheckOrderNumber(PropGridBinding& view, int row, const std::string& before);
  void dropPendingIfNothingToSave(const PropGridBinding& view);
  void warnDeleted(const std::vector<std::string>& names);
  bool SaveChanges(bool ask, platform::DictionaryPtr info);
  void SetSaveState(bool dirty);
  void UpdateRowCommands();
  bool IsCustomRow() const;
  bool IsRowEditable() const;
  bool CanMoveUp() const;

  // The toolbar's commands.
  void ToolClick(const std::string& name);
  void NewItem();
  void ModifyItem();
  void DeleteRow();
  void MoveRowUp();
  void MoveRowDown();
  void RestoreDefault();
  void ApplyToUsers();
  bool ImportTemplate();
  void ExportTemplate();

  // Form state, readable for the launcher and for tests.
  const std::string& currentKey() const { return m_strCurKey; }
  bool dirty() const { return model_.pending(); }
  bool saveShown() const { return m_blnSaveShown; }
  int32_t levelBase() const { return m_lngLevel; }
  int16_t admin() const { return m_intAdmin; }
  const SetPropModel& model() const { return model_; }
  // The user chooser's answer in the last apply-to-users command (nothing when it
  // was cancelled); once applied, its other users are those the server answered.
  const std::optional<dialogs::UserChoice>& userChoice() const { return m_userChoice; }

  widgets::KeyedTree* tvFunc() const { return tvFunc_; }
  widgets::Grid* vaOutlineProp() const { return vaOutlineProp_; }
  widgets::Grid* vaDetailProp() const { return vaDetailProp_; }
  widgets::ToolBar* Bar() const { return bar_; }
  // The grid the row commands work in: the one not hidden, and its binding.
  widgets::Grid* visibleGrid() const;
  PropGridBinding& visibleView() const;

 protected:
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void connectEvents();
  void FormResize();

  // The shared steps of the four fills.
  void settleEdits();
  void beginFill(int placeholderIndex, bool outline);
  void fillOutline(const std::string& parentKey, const std::vector<GridRow>& rows, nav::Level childLevel,
                   const char* image, bool placeholders, bool lockTemplateRows);
  // Shows the node again after a change, asking first about unsaved edits.
  void runNodeClickFor(const std::string& key);
  void showNode(const widgets::TreeNode& node);

  void saveLevel(SaveScope scope, platform::DictionaryPtr& info);
  void SaveTopClasses(SaveScope scope, platform::DictionaryPtr& info);
  void SaveSubSystems(SaveScope scope, platform::DictionaryPtr& info);
  void SaveSubFuncs(SaveScope scope, platform::DictionaryPtr& info);
  void SaveDetailFuncs(SaveScope scope, platform::DictionaryPtr& info);
  void saveRows(nav::Level level, SaveScope scope, platform::DictionaryPtr& info);
  void showStoredNames();
  // After a save: the rows the user left as read show what is stored now, other
  // users' changes included; the tree is not touched.
  void rereadShownRows();
  // The rows of the level the grid shows, as the middle tier holds them now;
  // none when the grid lists no level.
  std::optional<std::vector<GridRow>> readShownLevel();
  // After a failed save: the edits of rows whose items were deleted meanwhile
  // (here or by another window) are dropped, or no save could ever succeed.
  // Answers their names.
  std::vector<std::string> dropEditsOfDeletedItems();

  void moveRow(int from, int to);

  // A user's action on a cell of a grid.
  void cellAction(PropGridBinding& view, CellAction action, int col, int row);

  widgets::ImageList* imgLstTB_ = nullptr;
  widgets::ToolBar* bar_ = nullptr;
  QWidget* client_ = nullptr;
  widgets::TitlePanel* SSPTitleClass_ = nullptr;
  widgets::TitlePanel* SSPTitleItem_ = nullptr;
  widgets::KeyedTree* tvFunc_ = nullptr;
  widgets::Grid* vaOutlineProp_ = nullptr;
  widgets::Grid* vaDetailProp_ = nullptr;
  QCheckBox* chkVisible_ = nullptr;

  SetPropModel model_;
  std::unique_ptr<PropGridBinding> outlineView_;
  std::unique_ptr<PropGridBinding> detailView_;
  std::optional<dialogs::UserChoice> m_userChoice;

  std::string m_strCurKey;
  bool m_blnModified = false;
  bool m_blnSaveShown = false;
  int32_t m_lngLevel = nav::kTopClassBase;  // the level base of the grid's rows
  int16_t m_intAdmin = -1;
};

}  // namespace wayfind::editor
