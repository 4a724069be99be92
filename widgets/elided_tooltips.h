// Elided texts in lists, trees and grids: an item whose text does not fit its
// cell (so the view shows it cut short with "…") shows the whole text as its
// tooltip when the pointer rests on it. A text that fits shows no tooltip, and an
// item with a tooltip of its own keeps it.
#pragma once

#include <QString>

class QAbstractItemView;
class QModelIndex;

namespace wayfind::widgets {

// Installs the behaviour on view (the grids and keyed trees have it already).
void ShowElidedTextTips(QAbstractItemView* view);

// The whole text when the item at index is shown cut short in view, else empty.
QString elidedTextOf(const QAbstractItemView& view, const QModelIndex& index);

}  // namespace wayfind::widgets
