// The application's style with check boxes that can be seen in every palette:
// on a dark palette (our own, or a dark desktop theme) the styles draw an
// unticked box's edge nearly in the colour of the field behind it; here it gets
// an edge between the text's colour and the field's, which reads at more than
// 3:1 against the field, as controls should. A header that highlights no
// section is measured in its own font, the font its text is drawn in (the
// styles measure every header in bold, for the bold text of a highlighted
// section; a bold face is then loaded for nothing).
#pragma once

#include <QProxyStyle>

namespace wayfind::widgets {

class ReadableStyle : public QProxyStyle {
 public:
  // Wraps the style of that name (the platform's when empty).
  explicit ReadableStyle(const QString& baseStyle = {});

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;
};

}  // namespace wayfind::widgets
