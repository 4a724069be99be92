#include "widgets/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace wayfind::widgets {

void FitToScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect room = screen->availableGeometry();
  // The window manager's frame: a title bar and borders.
  const QSize frame(16, 40);
  const QSize most = (room.size() - frame).expandedTo(window.minimumSize());
  const QSize size = window.size().boundedTo(most);
  if (size != window.size()) window.resize(size);
  const int x = std::clamp(window.x(), room.left(), std::max(room.left(), room.right() - size.width() - frame.width()));
  const int y = std::clamp(window.y(), room.top(), std::max(room.top(), room.bottom() - size.height() - frame.height()));
  window.move(x, y);
}

}  // namespace wayfind::widgets
