// A control's place on a form, written in twips as the forms are designed, and the
// one call that puts a widget there.
#pragma once

#include <QWidget>
#include <utility>

#include "widgets/twips.h"

namespace wayfind::widgets {

struct Box {
  int left, top, width, height;
};

inline void place(QWidget* w, const Box& b) {
  w->setGeometry(twipsToPixels(b.left), twipsToPixels(b.top), twipsToPixels(b.width), twipsToPixels(b.height));
}

// A new control of parent, named (the object name tests and screen readers find
// it by) and put at b; args go to its constructor before the parent:
//   ok = place<QPushButton>(this, "cmdOk", kCmdOk, QStringLiteral("确定(&O)"));
template <class W, class... Args>
W* place(QWidget* parent, const char* name, const Box& b, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(name);
  place(w, b);
  return w;
}

}  // namespace wayfind::widgets
