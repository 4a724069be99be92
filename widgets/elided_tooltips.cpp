#include "widgets/elided_tooltips.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>

namespace wayfind::widgets {

namespace {

class ElidedTextTips : public QObject {
 public:
  explicit ElidedTextTips(QAbstractItemView* view) : QObject(view), view_(view) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip || watched != view_->viewport()) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = view_->indexAt(help->pos());
    if (!index.isValid() || index.data(Qt::ToolTipRole).isValid()) return false;
    const QString text = elidedTextOf(*view_, index);
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, view_->viewport(), view_->visualRect(index));
    }
    return true;
  }

 private:
  QAbstractItemView* view_;
};

}  // namespace

QString elidedTextOf(const QAbstractItemView& view, const QModelIndex& index) {
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return {};
  QFont font = view.font();
  if (const QVariant f = index.data(Qt::FontRole); f.isValid()) font = f.value<QFont>();
  int needed = QFontMetrics(font).horizontalAdvance(text) + 8;  // the cell's own margins
  if (index.data(Qt::DecorationRole).isValid()) {
    const QSize icon = view.iconSize().isValid() ? view.iconSize() : QSize(16, 16);
    needed += icon.width() + 4;
  }
  return needed > view.visualRect(index).width() ? text : QString();
}

void ShowElidedTextTips(QAbstractItemView* view) {
  view->viewport()->installEventFilter(new ElidedTextTips(view));
}

}  // namespace wayfind::widgets
