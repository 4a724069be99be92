// The list of dlgSetNormal: the grid's columns and rows, loading a group's list,
// adding and removing functions, the checks before saving and the save itself.
#include <QDragEnterEvent>
#include <cstdint>
#include <string>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QPushButton>

#include "context/language.h"
#include "context/login_props.h"
#include "favourites/dlg_set_normal.h"
#include "favourites/function_rows.h"
#include "favourites/ports.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/navigation/grid_columns.h"
#include "platform/navigation/node_keys.h"
#include "widgets/busy_state.h"
#include "widgets/message_boxes.h"
#include "widgets/toolbar.h"

namespace wayfind::favourites {

using platform::Variant;

namespace {

constexpr int kColName = nav::favourite_col::kName;
constexpr int kColHelpCode = nav::favourite_col::kHelpCode;
constexpr int kColShowName = nav::favourite_col::kShowName;

std::string lang(const char* chinese) { return context::GetLangText(chinese); }

// "功能项 [name" + tail, each fixed piece looked up on its own.
std::string aboutFunction(const std::string& name, const char* tail) {
  return lang("功能项 [") + name + lang(tail);
}

}  // namespace

void dlgSetNormal::setUpGrid() {
  vaNormal->SetMaxCols(nav::favourite_col::kCount);
  vaNormal->SetMaxRows(0);
  vaNormal->SetHeaderText(kColName, "名称");
  vaNormal->SetHeaderText(kColHelpCode, "助记码");
  vaNormal->SetHeaderText(kColShowName, "显示名称");
  // Widths in the grid's character units: the width of a digit, plus a margin.
  const double digit = QFontMetrics(vaNormal->font()).horizontalAdvance('0');
  const double widths[] = {15, 7.12, 13.12};
  for (int col = 1; col <= nav::favourite_col::kCount; ++col) vaNormal->SetColWidth(col, static_cast<int>(widths[col - 1] * digit + 8));
  // The name is the function's own and is stored as it is shown.
  vaNormal->SetColLock(kColName, true);
  vaNormal->SetColMaxLength(kColHelpCode, 50);
  vaNormal->SetColMaxLength(kColShowName, 60);
  connect(vaNormal, &widgets::Grid::editChange, this, [this](int, int) { m_bDirty = true; });
  connect(vaNormal, &widgets::Grid::change, this, [this](int, int) { m_bDirty = true; });
  vaNormal->viewport()->setAcceptDrops(true);
  vaNormal->viewport()->installEventFilter(this);
}

void dlgSetNormal::LoadGroupItems(int32_t groupId) {
  auto rs = widgets::RunBusy(this, [&] { return newDatasInfo()->GetDetailNormalFunc(groupId); });
  vaNormal->ClearRows();
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    const int row = vaNormal->MaxRows() + 1;
    vaNormal->InsertRows(row);
    vaNormal->SetRowItemData(row, platform::CLng(rs->value("FDetailFuncID")));
    vaNormal->SetText(kColName, row, platform::fieldText(*rs, "FFuncName"));
    vaNormal->SetText(kColHelpCode, row, platform::fieldText(*rs, "FHelpCode"));
    vaNormal->SetText(kColShowName, row, platform::fieldText(*rs, "FShowName"));
  }
  btnDel->setEnabled(vaNormal->MaxRows() > 0);
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

bool dlgSetNormal::ValidateList() {
  // Help codes are counted in a dictionary, which compares its keys without
  // regard to letter case: "PZ" and "pz" are the same code.
  platform::Dictionary count, lastRow;
  for (int row = 1; row <= vaNormal->MaxRows(); ++row) {
    const std::string name = vaNormal->Text(kColName, row);
    const std::string help = platform::trimSpaces(vaNormal->Text(kColHelpCode, row));
    if (context::HasInvalidChar(help)) {
      vaNormal->SetActiveCell(kColHelpCode, row);
      widgets::MsgWarning(aboutFunction(name, "] 的助记码含有非法字符(如单引号)！"));
      return false;
    }
    if (context::HasInvalidChar(vaNormal->Text(kColShowName, row))) {
      vaNormal->SetActiveCell(kColShowName, row);
      widgets::MsgWarning(aboutFunction(name, "] 的显示名称含有非法字符(如单引号)！"));
      return false;
    }
    if (!help.empty()) {
      count.SetValue(help, Variant(platform::CLng(count.GetValue(help, Variant(0))) + 1));
      lastRow.SetValue(help, Variant(row));
    }
  }
  for (const std::string& help : count.Keys()) {
    if (platform::CLng(count.GetValue(help)) <= 1) continue;
    const int row = platform::CLng(lastRow.GetValue(help));
    vaNormal->SetActiveCell(kColName, row);
    widgets::MsgWarning(aboutFunction(vaNormal->Text(kColName, row), "] 的助记码与其它功能项的助记码重复, 请修改!"));
    return false;
  }
  return true;
}

void dlgSetNormal::SaveList() {
  // The whole list goes to the server in one call, which stores all of it or
  // none of it: a failure never leaves the group with part of the list.
  auto rows = std::make_shared<platform::Vector>();
  bool emptyShowName = false;
  for (int row = 1; row <= vaNormal->MaxRows(); ++row) {
    const std::string name = vaNormal->Text(kColName, row);
    std::string show = vaNormal->Text(kColShowName, row);
    if (platform::trimSpaces(show).empty()) {
      show = name;
      emptyShowName = true;
    }
    auto item = std::make_shared<platform::Dictionary>();
    item->SetValue("FDetailFuncID", Variant(vaNormal->RowItemData(row)));
    item->SetValue("FHelpCode", Variant(vaNormal->Text(kColHelpCode, row)));
    item->SetValue("FShowName", Variant(show));
    item->SetValue("FFuncName", Variant(name));
    rows->Append(Variant(platform::ObjectPtr(item)));
  }
  const int32_t group = currentGroup_;
  widgets::RunBusy(this, [&] { newDatasUpdate()->ReplaceNormalList(group, rows); });
  m_bDirty = false;
  if (emptyShowName) widgets::MsgWarning(lang("显示名称不能为空!"));
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
      AddFunctionRow(draggedFunctionId(drop->mimeData()));
      return true;
    }
    default:
      return widgets::Form::eventFilter(watched, event);
  }
}

void appendFunctionRow(widgets::Grid& grid, int32_t detailFuncId, const platform::Recordset& info) {
  const int row = grid.MaxRows() + 1;
  grid.InsertRows(row);
  grid.SetRowItemData(row, detailFuncId);
  grid.SetText(kColName, row, platform::fieldText(info, "FFuncName"));
  grid.SetText(kColHelpCode, row, platform::fieldText(info, "FHelpCode"));
  const std::string show = platform::fieldText(info, "FShowName");
  grid.SetText(kColShowName, row, context::RemoveLineBreaks(show.empty() ? platform::fieldText(info, "FFuncName") : show));
}

}  // namespace wayfind::favourites
