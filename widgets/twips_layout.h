// A control's place on a form, written in twips as the forms are designed, and the
// one call that puts a widget there.
#pragma once

#include <QWidget>

#include "widgets/twips.h"

namespace wayfind::widgets {

struct Box {
  int left, top, width, height;
};

inline void place(QWidget* w, const Box& b) {
  w->setGeometry(twipsToPixels(b.left), twipsToPixels(b.top), twipsToPixels(b.width), twipsToPixels(b.height));
}

}  // namespace wayfind::widgets
