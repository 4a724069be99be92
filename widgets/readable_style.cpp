#include "widgets/readable_style.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>

namespace wayfind::widgets {

namespace {

QColor between(const QColor& a, const QColor& b, double towardA) {
  auto part = [towardA](int x, int y) { return static_cast<int>(x * towardA + y * (1 - towardA) + 0.5); };
  return QColor(part(a.red(), b.red()), part(a.green(), b.green()), part(a.blue(), b.blue()));
}

}  // namespace

ReadableStyle::ReadableStyle(const QString& baseStyle)
    : QProxyStyle(baseStyle.isEmpty() ? nullptr : QStyleFactory::create(baseStyle)) {}

void ReadableStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const {
  QProxyStyle::drawPrimitive(element, option, painter, widget);
  if ((element != PE_IndicatorCheckBox && element != PE_IndicatorItemViewItemCheck) || !option) return;
  const QPalette& palette = option->palette;
  const QColor field = palette.color(QPalette::Base);
  if (field.lightness() >= 128) return;  // on a light field the styles' own edge reads well
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setBrush(Qt::NoBrush);
  painter->setPen(between(palette.color(QPalette::Text), field, 0.6));
  const int side = std::min(option->rect.width(), option->rect.height());
  QRect box(0, 0, side, side);
  box.moveCenter(option->rect.center());
  painter->drawRect(box.adjusted(0, 0, -1, -1));
  painter->restore();
}

QSize ReadableStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                      const QWidget* widget) const {
  if (type != CT_HeaderSection) return QProxyStyle::sizeFromContents(type, option, size, widget);
  const auto* header = qobject_cast<const QHeaderView*>(widget);
  const auto* section = qstyleoption_cast<const QStyleOptionHeader*>(option);
  if (!header || !section || header->highlightSections())
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  QFont font = header->font();
  if (header->model()) {
    const QVariant own = header->model()->headerData(section->section, header->orientation(), Qt::FontRole);
    if (own.canConvert<QFont>()) font = own.value<QFont>();
  }
  QStyleOptionHeader plain(*section);
  plain.fontMetrics = QFontMetrics(font);
  return QProxyStyle::sizeFromContents(type, &plain, size, widget);
}

}  // namespace wayfind::widgets
