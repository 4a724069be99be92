// Lists whose rows change on every keystroke (a search's results): each cell's
// text is shaped once and its glyphs kept, so repainting the list or sizing its
// columns draws and measures texts already laid out instead of shaping every
// text again. Cells look as the style's own delegate draws them; a cell with an
// icon, a check box or several lines is left to that delegate.
#pragma once

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <utility>
#include <vector>

namespace wayfind::widgets {

class LaidOutTextDelegate : public QStyledItemDelegate {
 public:
  explicit LaidOutTextDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  // The cell's options when its text is all it shows, else nothing.
  bool plainText(QStyleOptionViewItem& opt, const QModelIndex& index) const;
  const QStaticText& laidOut(const QString& text, const QFont& font) const;

  // Texts laid out in each font a list uses (one or two); forgotten whole when
  // large, since a list shows a few hundred texts at most.
  mutable std::vector<std::pair<QFont, QHash<QString, QStaticText>>> texts_;
  mutable qsizetype count_ = 0;
};

// Gives view's cells the delegate above.
void LayOutTextsOnce(class QAbstractItemView* view);

}  // namespace wayfind::widgets
