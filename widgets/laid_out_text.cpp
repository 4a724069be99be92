#include "widgets/laid_out_text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace wayfind::widgets {

namespace {

constexpr qsizetype kMostTexts = 4096;

const QStyle* styleOf(const QStyleOptionViewItem& opt) {
  return opt.widget ? opt.widget->style() : QApplication::style();
}

// The space the style leaves on either side of a cell's text.
int textMargin(const QStyleOptionViewItem& opt) {
  return styleOf(opt)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
}

}  // namespace

bool LaidOutTextDelegate::plainText(QStyleOptionViewItem& opt, const QModelIndex& index) const {
  initStyleOption(&opt, index);
  const auto others = QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator |
                      QStyleOptionViewItem::WrapText;
  return (opt.features & QStyleOptionViewItem::HasDisplay) && !(opt.features & others) &&
         !opt.text.contains(QChar::LineFeed) && opt.direction == Qt::LeftToRight;
}

const QStaticText& LaidOutTextDelegate::laidOut(const QString& text, const QFont& font) const {
  if (count_ >= kMostTexts) {
    texts_.clear();
    count_ = 0;
  }
  auto fonts = std::find_if(texts_.begin(), texts_.end(), [&](const auto& f) { return f.first == font; });
  if (fonts == texts_.end()) fonts = texts_.insert(texts_.end(), {font, {}});
  auto& inFont = fonts->second;
  auto found = inFont.find(text);
  if (found != inFont.end()) return *found;
  QStaticText laid(text);
  laid.setTextFormat(Qt::PlainText);
  laid.setPerformanceHint(QStaticText::AggressiveCaching);
  laid.prepare(QTransform(), font);
  ++count_;
  return *inFont.insert(text, laid);
}

void LaidOutTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  // The focused cell (one in a list) as the style draws it: its focus frame
  // is placed around the text's own layout.
  if (!plainText(opt, index) || (opt.state & QStyle::State_HasFocus))
    return QStyledItemDelegate::paint(painter, option, index);
  const QString text = opt.text;
  // The cell's background, selection and focus as the style draws them, without the text.
  opt.text.clear();
  opt.features &= ~QStyleOptionViewItem::HasDisplay;
  styleOf(opt)->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

  const int margin = textMargin(opt);
  const QRect room = opt.rect.adjusted(margin, 0, -margin, 0);
  const QStaticText* laid = &laidOut(text, opt.font);
  if (laid->size().width() > room.width())
    laid = &laidOut(QFontMetrics(opt.font).elidedText(text, opt.textElideMode, room.width()), opt.font);
  const QSizeF size = laid->size();
  QPointF at(room.left(), room.top() + (room.height() - size.height()) / 2);
  if (opt.displayAlignment & Qt::AlignRight) at.setX(room.right() + 1 - size.width());
  if (opt.displayAlignment & Qt::AlignHCenter) at.setX(room.left() + (room.width() - size.width()) / 2);

  const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                          : QPalette::Inactive;
  painter->save();
  painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                 : QPalette::Text));
  painter->setFont(opt.font);
  painter->setClipRect(room, Qt::IntersectClip);
  painter->drawStaticText(at, *laid);
  painter->restore();
}

QSize LaidOutTextDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  if (!plainText(opt, index)) return QStyledItemDelegate::sizeHint(option, index);
  const QSizeF text = laidOut(opt.text, opt.font).size();
  // As the style measures a line: its width and margins, and the height of the
  // tallest font the text falls back to (a Chinese font under a Latin one).
  return QSize(qCeil(text.width()) + 2 * textMargin(opt),
               std::max(QFontMetrics(opt.font).height(), qCeil(text.height())));
}

void LayOutTextsOnce(QAbstractItemView* view) { view->setItemDelegate(new LaidOutTextDelegate(view)); }

}  // namespace wayfind::widgets
