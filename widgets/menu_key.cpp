#include "widgets/menu_key.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

namespace wayfind::widgets {

namespace {

class ShiftF10Filter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier) return false;
    auto* widget = static_cast<QWidget*>(watched);
    // Where the Menu key points: the widget's input cursor (a view's current
    // item), else its middle.
    const QRect cursor = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const QPoint at = cursor.isValid() ? cursor.center() : widget->rect().center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &menu);
    return true;
  }
};

}  // namespace

void OpenMenuWithShiftF10(QWidget* widget) { widget->installEventFilter(new ShiftF10Filter(widget)); }

}  // namespace wayfind::widgets
