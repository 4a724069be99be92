#include "favourites/favourite_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace wayfind::favourites {

namespace {

constexpr int kSize = 16;

QPixmap blank() {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  return pm;
}

QIcon folder(bool open) {
  QPixmap pm = blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(150, 110, 20));
  p.setBrush(QColor(240, 200, 80));
  p.drawRect(1, 4, 13, 10);   // back of the folder
  p.drawRect(1, 2, 5, 2);     // its tab
  if (open) {
    QPainterPath front;
    front.moveTo(3, 7);
    front.lineTo(15, 7);
    front.lineTo(13, 14);
    front.lineTo(1, 14);
    front.closeSubpath();
    p.setBrush(QColor(255, 225, 130));
    p.drawPath(front);
  }
  return QIcon(pm);
}

QIcon function() {
  QPixmap pm = blank();
  QPainter p(&pm);
  p.setPen(QColor(40, 80, 150));
  p.setBrush(QColor(220, 235, 255));
  p.drawRect(2, 1, 11, 14);
  p.drawLine(4, 5, 11, 5);
  p.drawLine(4, 8, 11, 8);
  p.drawLine(4, 11, 9, 11);
  return QIcon(pm);
}

QIcon dragged() {
  QPixmap pm = blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(40, 80, 150));
  p.setBrush(QColor(220, 235, 255, 220));
  p.drawRect(1, 1, 10, 12);
  p.setBrush(QColor(40, 150, 60));
  p.setPen(Qt::NoPen);
  p.drawRect(10, 7, 6, 2);   // a plus: the function goes into the list
  p.drawRect(12, 5, 2, 6);
  return QIcon(pm);
}

QIcon noDrop() {
  QPixmap pm = blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(200, 30, 30), 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(2, 2, 12, 12);
  p.drawLine(4, 12, 12, 4);
  return QIcon(pm);
}

QIcon pictureOf(const std::string& key) {
  if (key == "Close") return folder(false);
  if (key == "Open") return folder(true);
  if (key == "Acct") return function();
  if (key == "DragIcon") return dragged();
  if (key == "NoDrop") return noDrop();
  return widgets::standardIcon(key);
}

}  // namespace

widgets::ImageList* favouriteImages(QObject* parent, const std::vector<std::string>& keys) {
  auto* list = new widgets::ImageList(parent);
  for (const auto& key : keys) list->Add(key, pictureOf(key));
  return list;
}

}  // namespace wayfind::favourites
