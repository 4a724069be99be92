// The list of dlgSetNormal: the grid's columns and rows, loading a group's list,
// adding and removing functions, the checks before saving and the save itself.
#include <QDragEnterEvent>
#include <cstdint>
#include <string>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>

#include "context/language.h"
#include "context/login_props.h"
#include "context/save_outcome.h"
#include "favourites/dlg_set_normal.h"
#include "favourites/function_rows.h"
#include "favourites/normal_rows.h"
#include "favourites/ports.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "favourites/favourite_columns.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/node_keys.h"
#include "widgets/busy_state.h"
#include "widgets/message_boxes.h"
#include "widgets/toolbar.h"

namespace wayfind::favourites {

using platform::Variant;

namespace {

constexpr int kColName = favourite_col::kName;
constexpr int kColHelpCode = favourite_col::kHelpCode;
constexpr int kColShowName = favourite_col::kShowName;

std::string lang(const char* chinese) { return context::GetLangText(chinese); }

// "功能项 [name" + tail, each fixed piece looked up on its own.
std::string aboutFunction(const std::string& name, const char* tail) {
  return lang("功能项 [") + name + lang(tail);
}

}  // namespace

void dlgSetNormal::setUpGrid() {
  vaNormal->SetMaxCols(favourite_col::kCount);
  vaNormal->SetMaxRows(0);
  vaNormal->SetHeaderText(kColName, "名称");
  vaNormal->SetHeaderText(kColHelpCode, "助记码");
  vaNormal->SetHeaderText(kColShowName, "显示名称");
  // Widths in the grid's character units: the width of a digit, plus a margin.
  const double digit = QFontMetrics(vaNormal->font()).horizontalAdvance('0');
  const double widths[] = {15, 7.12, 13.12};
  for (int col = 1; col <= favourite_col::kCount; ++col) vaNormal->SetColWidth(col, static_cast<int>(widths[col - 1] * digit + 8));
  // The two names share whatever width the list has beyond the help code: an
  // English name is longer than its Chinese one.
  for (int col : {kColName, kColShowName}) vaNormal->horizontalHeader()->setSectionResizeMode(col - 1, QHeaderView::Stretch);
  // The name is the function's own and is stored as it is shown.
  vaNormal->SetColLock(kColName, true);
  vaNormal->SetColMaxLength(kColHelpCode, 50);
  vaNormal->SetColMaxLength(kColShowName, nav::kNameChars);
  // A cell counts as changed when its edit ends with a new text (keystrokes taken
  // back with Esc leave nothing to save); leaving a cell, the commands and
  // closing all end an open edit first.
  connect(vaNormal, &widgets::Grid::change, this, [this](int, int) { m_bDirty = true; });
  vaNormal->viewport()->setAcceptDrops(true);
  vaNormal->viewport()->installEventFilter(this);
}

void dlgSetNormal::LoadGroupItems(int32_t groupId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailNormalFunc(groupId); });
  vaNormal->ClearRows();
  for (; rs && !rs->isEOF(); rs->MoveNext()) appendNormalRow(*vaNormal, NormalRowOfList(*rs));
  btnDel->setEnabled(vaNormal->MaxRows() > 0);
  readRows_ = listRows();
}

std::vector<NormalRow> dlgSetNormal::storedRows(int32_t groupId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailNormalFunc(groupId); });
  std::vector<NormalRow> rows;
  for (; rs && !rs->isEOF(); rs->MoveNext()) rows.push_back(NormalRowOfList(*rs));
  return rows;
}

bool dlgSetNormal::IsInList(int32_t detailFuncId) const {
  for (int row = 1; row <= vaNormal->MaxRows(); ++row)
    if (vaNormal->RowItemData(row) == detailFuncId) return true;
  return false;
}

void dlgSetNormal::AddFunctionRow(int32_t detailFuncId) {
  if (IsInList(detailFuncId)) return;
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailFuncInfo(detailFuncId); });
  if (hasRecord(rs)) {
    m_bDirty = true;
    appendFunctionRow(*vaNormal, detailFuncId, *rs);
  }
  if (!btnDel->isEnabled()) btnDel->setEnabled(true);
}

void dlgSetNormal::RemoveActiveRow() {
  const int row = vaNormal->ActiveRow();
  if (row < 1 || row > vaNormal->MaxRows()) return;
  vaNormal->DeleteRows(row);
  m_bDirty = true;
}

std::vector<NormalRow> dlgSetNormal::listRows() const {
  std::vector<NormalRow> rows;
  for (int row = 1; row <= vaNormal->MaxRows(); ++row)
    rows.push_back({vaNormal->RowItemData(row), vaNormal->Text(kColName, row), vaNormal->Text(kColHelpCode, row),
                    vaNormal->Text(kColShowName, row)});
  return rows;
}

bool dlgSetNormal::ValidateList() {
  const std::vector<NormalRow> rows = listRows();
  const auto problem = CheckNormalList(rows);
  if (!problem) return true;
  using Kind = NormalListProblem::Kind;
  const int row = static_cast<int>(problem->row) + 1;
  const std::string& name = rows[problem->row].name;
  switch (problem->kind) {
    case Kind::InvalidHelpCode:
      vaNormal->SetActiveCell(kColHelpCode, row);
      widgets::MsgWarning(aboutFunction(name, "] 的助记码含有非法字符(如单引号)！"));
      break;
    case Kind::InvalidShowName:
      vaNormal->SetActiveCell(kColShowName, row);
      widgets::MsgWarning(aboutFunction(name, "] 的显示名称含有非法字符(如单引号)！"));
      break;
    case Kind::DuplicateHelpCode:
      vaNormal->SetActiveCell(kColName, row);
      widgets::MsgWarning(aboutFunction(name, "] 的助记码与其它功能项的助记码重复, 请修改!"));
      break;
  }
  return false;
}

void dlgSetNormal::SaveList() {
  // The whole list goes to the server in one call, which stores all of it or
  // none of it: a failure never leaves the group with part of the list. With it
  // goes the list as this window read it, so the server stores only what was
  // changed here and leaves what another user changed meanwhile.
  bool emptyShowName = false;
  const std::vector<NormalRow> rows = listRows();
  const int32_t group = currentGroup_;
  std::vector<NormalRow> read = readRows_;
  for (;;) {
    NormalListSave save = NormalListMergeData(rows, read, emptyShowName);
    widgets::RunBusy(this, [&] { newDatasUpdate()->ReplaceNormalList(group, save.rows); });
    const auto conflicts = erp::api::TakeConflicts(*save.info);
    // Both answers leave the list saved: No keeps the other user's values, Yes
    // saves the same rows again with theirs as read, which stores the user's.
    if (conflicts.empty() || !context::AskKeepMine(conflicts)) break;
    read = ReadRowsKeepingMine(read, storedRows(group), conflicts);
  }
  m_bDirty = false;
  saved_ = true;
  // What this window stored is what it has read from now on: should the read
  // that follows fail, the next save must not take its own earlier changes for
  // another user's.
  readRows_ = rows;
  if (emptyShowName) widgets::MsgWarning(lang("显示名称不能为空!"));
}

void dlgSetNormal::showReadRows() {
  vaNormal->ClearRows();
  for (const NormalRow& r : readRows_) appendNormalRow(*vaNormal, r);
  btnDel->setEnabled(vaNormal->MaxRows() > 0);
}

int32_t detailFuncIdOfKey(const std::string& key) {
  if (nav::LevelOfKey(key) != nav::Level::DetailFunc) return -1;
  const auto id = nav::KeyId(key);
  return id && *id >= 0 ? *id : -1;
}

int32_t dlgSetNormal::draggedFunctionId(const QMimeData* mime) {
  if (!mime || !mime->hasFormat(kTreeNodeMimeType)) return -1;
  return detailFuncIdOfKey(mime->data(kTreeNodeMimeType).toStdString());
}

bool dlgSetNormal::eventFilter(QObject* watched, QEvent* event) {
  if (watched != vaNormal->viewport()) return widgets::Form::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      // Refused where the function is no detail function or is listed already:
      // the drag then shows the picker's "NoDrop" picture.
      if (acceptsDrop(draggedFunctionId(drag->mimeData()))) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      // Inside the drag's own event loop: a failure is reported here, never
      // thrown through Qt.
      try {
        AddFunctionRow(draggedFunctionId(drop->mimeData()));
      } catch (const platform::AutomationError& e) {
        widgets::MsgError(e);
      }
      return true;
    }
    default:
      return widgets::Form::eventFilter(watched, event);
  }
}

void appendNormalRow(widgets::Grid& grid, const NormalRow& r) {
  const int row = grid.MaxRows() + 1;
  grid.InsertRows(row);
  grid.SetRowItemData(row, r.detailFuncId);
  grid.SetText(kColName, row, r.name);
  grid.SetText(kColHelpCode, row, r.helpCode);
  grid.SetText(kColShowName, row, r.showName);
}

void appendFunctionRow(widgets::Grid& grid, int32_t detailFuncId, const platform::Recordset& info) {
  appendNormalRow(grid, NormalRowOfFunction(detailFuncId, info));
}

}  // namespace wayfind::favourites
