// frmAllFunc, "可选功能": the picker from which functions go into the favourites
// list. It shows the navigation tree the user may see (top classes, subsystems,
// sub-functions, detail functions), each level loaded when its parent is first
// expanded. A detail function is added to the editor's grid by double-clicking
// it, by "选中", or by dragging it onto the grid.
//
// While it is open from the running program the picker is modeless, so the
// editor's grid can take the drop; the editor's other controls wait until it
// closes.
#pragma once

#include <QPoint>
#include <cstdint>
#include <string>

#include "widgets/form.h"
#include "widgets/grid.h"
#include "widgets/keyed_tree.h"

class QEventLoop;
class QPushButton;

namespace wayfind::widgets {
class ImageList;
}

namespace wayfind::favourites {

class frmAllFunc : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frmAllFunc";
  // Makes the window known to the form registry by its name.
  static void Register();

  explicit frmAllFunc(QWidget* parent = nullptr);

  // Keeps the grid (the editor's vaNormal) and shows the picker until it closes.
  void ShowMe(widgets::Grid* objVaSpread);
  widgets::Grid* keptGrid() const { return grid_; }

  void LoadTopClasses();
  void LoadSubSystems(const widgets::TreeNode& parent, int32_t topClassId);
  void LoadSubFuncs(const widgets::TreeNode& parent, int32_t subSystemId);
  void LoadDetailFuncs(const widgets::TreeNode& parent, int32_t subFuncId);
  void ExpandNode(const widgets::TreeNode& node);
  void NodeClick(const widgets::TreeNode& node);
  // Double click and "选中": the selected detail function into the kept grid.
  void PickSelected();
  void AddToList(int32_t detailFuncId);

  widgets::KeyedTree* tvFunc = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  widgets::ImageList* imgLstTB = nullptr;

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void startDrag(const widgets::TreeNode& node);
  void placeBeside(const QWidget& owner);

  widgets::Grid* grid_ = nullptr;
  QPoint mouseDown_;
  bool hadMouseDown_ = false;
  bool keyboardChoice_ = false;  // the selected node was reached with the keys
  bool keyPressing_ = false;
  QEventLoop* waiting_ = nullptr;  // the loop ShowMe waits in while the picker is modeless
};

}  // namespace wayfind::favourites
