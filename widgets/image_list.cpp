#include "widgets/image_list.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "platform/automation/automation_error.h"

namespace wayfind::widgets {

namespace {

using Painter = std::function<void(QPainter&)>;

QIcon drawn(const Painter& paint) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    paint(p);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

QPen outline(const QColor& c) { return QPen(c.darker(160), 1.0); }

// A folder in the colour of its level.
Painter folder(const QColor& c) {
  return [c](QPainter& p) {
    p.setPen(outline(c));
    p.setBrush(c.lighter(120));
    p.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 9), 1.2, 1.2);
  };
}

void page(QPainter& p, const QColor& c) {
  QPainterPath path;
  path.moveTo(3.5, 1.5);
  path.lineTo(10, 1.5);
  path.lineTo(12.5, 4);
  path.lineTo(12.5, 14.5);
  path.lineTo(3.5, 14.5);
  path.closeSubpath();
  p.setPen(outline(QColor(120, 120, 120)));
  p.setBrush(Qt::white);
  p.drawPath(path);
  p.setPen(QPen(c, 1.0));
  for (double y : {6.0, 8.5, 11.0}) p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
}

void person(QPainter& p, const QColor& c, double dx = 0) {
  p.setPen(outline(c));
  p.setBrush(c);
  p.drawEllipse(QRectF(5 + dx, 2, 5, 5));
  QPainterPath body;
  body.moveTo(2.5 + dx, 14.5);
  body.cubicTo(2.5 + dx, 8.5, 12.5 + dx, 8.5, 12.5 + dx, 14.5);
  body.closeSubpath();
  p.drawPath(body);
}

void arrow(QPainter& p, bool up, const QColor& c) {
  QPainterPath path;
  if (up) {
    path.moveTo(8, 2);
    path.lineTo(14, 9);
    path.lineTo(10.5, 9);
    path.lineTo(10.5, 14);
    path.lineTo(5.5, 14);
    path.lineTo(5.5, 9);
    path.lineTo(2, 9);
  } else {
    path.moveTo(8, 14);
    path.lineTo(14, 7);
    path.lineTo(10.5, 7);
    path.lineTo(10.5, 2);
    path.lineTo(5.5, 2);
    path.lineTo(5.5, 7);
    path.lineTo(2, 7);
  }
  path.closeSubpath();
  p.setPen(outline(c));
  p.setBrush(c);
  p.drawPath(path);
}

void plus(QPainter& p, const QColor& c, QPointF at, double r) {
  p.setPen(QPen(c, 2.0));
  p.drawLine(at + QPointF(-r, 0), at + QPointF(r, 0));
  p.drawLine(at + QPointF(0, -r), at + QPointF(0, r));
}

// The drawings of more than a line, each 16 x 16.
void paintList(QPainter& p) {
  p.setPen(outline(QColor(70, 110, 170)));
  p.setBrush(QColor(90, 140, 210));
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
  p.setPen(QPen(Qt::white, 1.4));
  for (double y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(4, y), QPointF(12, y));
}

void paintGroup(QPainter& p) {
  person(p, QColor(150, 150, 170), 2.5);
  person(p, QColor(90, 120, 180), -1.5);
}

void paintUsers(QPainter& p) {
  person(p, QColor(150, 150, 170), 2.5);
  person(p, QColor(70, 150, 90), -1.5);
}

void paintFavourite(QPainter& p) {
  QPainterPath star;
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 == 0) ? 7.0 : 3.0;
    const double a = -M_PI / 2 + i * M_PI / 5;
    const QPointF pt(8 + r * std::cos(a), 8.5 + r * std::sin(a));
    if (i == 0) star.moveTo(pt);
    else star.lineTo(pt);
  }
  star.closeSubpath();
  p.setPen(outline(QColor(230, 180, 30)));
  p.setBrush(QColor(245, 200, 50));
  p.drawPath(star);
}

void paintNew(QPainter& p) {
  page(p, QColor(200, 200, 200));
  plus(p, QColor(40, 150, 60), QPointF(11.5, 11.5), 3.5);
}

void paintModify(QPainter& p) {
  page(p, QColor(200, 200, 200));
  p.setPen(QPen(QColor(200, 120, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14, 5), QPointF(7, 12));
}

void paintDelete(QPainter& p) {
  p.setPen(QPen(QColor(200, 50, 50), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
  p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void paintSave(QPainter& p) {
  p.setPen(outline(QColor(60, 90, 150)));
  p.setBrush(QColor(70, 110, 180));
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 1.5, 8, 5));
  p.setBrush(QColor(210, 220, 235));
  p.drawRect(QRectF(4, 9, 8, 5.5));
}

void paintApply(QPainter& p) {
  p.setPen(QPen(QColor(40, 150, 60), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath tick;
  tick.moveTo(2.5, 8.5);
  tick.lineTo(6.5, 12.5);
  tick.lineTo(13.5, 3.5);
  p.drawPath(tick);
}

void paintImport(QPainter& p) {
  folder(QColor(214, 160, 40))(p);
  arrow(p, false, QColor(40, 150, 60));
}

void paintExport(QPainter& p) {
  folder(QColor(214, 160, 40))(p);
  arrow(p, true, QColor(200, 90, 40));
}

void paintRefresh(QPainter& p) {
  p.setPen(QPen(QColor(40, 140, 90), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 40 * 16, 280 * 16);
  QPainterPath head;
  head.moveTo(12.8, 1.5);
  head.lineTo(13.5, 6.5);
  head.lineTo(8.8, 5.2);
  head.closeSubpath();
  p.setBrush(QColor(40, 140, 90));
  p.drawPath(head);
}

void paintClose(QPainter& p) {
  p.setPen(outline(QColor(180, 60, 60)));
  p.setBrush(QColor(210, 80, 80));
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
  p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

void paintHelp(QPainter& p) {
  p.setPen(outline(QColor(60, 110, 190)));
  p.setBrush(QColor(80, 140, 220));
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, "?");
}

void paintFind(QPainter& p) {
  p.setPen(QPen(QColor(80, 80, 90), 1.6));
  p.setBrush(QColor(220, 235, 250));
  p.drawEllipse(QRectF(2, 2, 8.5, 8.5));
  p.setPen(QPen(QColor(80, 80, 90), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 13.5));
}

void paintCopy(QPainter& p) {
  p.setPen(outline(QColor(130, 130, 130)));
  p.setBrush(QColor(235, 235, 235));
  p.drawRect(QRectF(1.5, 1.5, 8.5, 10));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(5.5, 4.5, 8.5, 10));
}

void paintOptions(QPainter& p) {
  p.setPen(QPen(QColor(90, 90, 100), 1.4));
  for (double y : {4.0, 8.0, 12.0}) p.drawLine(QPointF(2, y), QPointF(14, y));
  p.setBrush(QColor(80, 130, 200));
  p.drawEllipse(QPointF(5, 4), 2, 2);
  p.drawEllipse(QPointF(11, 8), 2, 2);
  p.drawEllipse(QPointF(7, 12), 2, 2);
}

void paintProperties(QPainter& p) {
  page(p, QColor(80, 130, 200));
  p.setPen(outline(QColor(40, 150, 60)));
  p.setBrush(QColor(60, 170, 80));
  p.drawEllipse(QRectF(8.5, 8.5, 6, 6));
}

const std::map<std::string, Painter>& painters() {
  static const std::map<std::string, Painter> all = {
      {"List", paintList},
      {"Top", folder(QColor(214, 160, 40))},
      {"Sys", folder(QColor(70, 150, 90))},
      {"Sub", folder(QColor(80, 130, 200))},
      {"Detail", [](QPainter& p) { page(p, QColor(80, 130, 200)); }},
      {"Group", paintGroup},
      {"User", [](QPainter& p) { person(p, QColor(90, 120, 180)); }},
      {"Users", paintUsers},
      {"Favourite", paintFavourite},
      {"New", paintNew},
      {"Modify", paintModify},
      {"Delete", paintDelete},
      {"Up", [](QPainter& p) { arrow(p, true, QColor(60, 120, 200)); }},
      {"Down", [](QPainter& p) { arrow(p, false, QColor(60, 120, 200)); }},
      {"Save", paintSave},
      {"Apply", paintApply},
      {"Import", paintImport},
      {"Export", paintExport},
      {"Refresh", paintRefresh},
      {"Close", paintClose},
      {"Help", paintHelp},
      {"Find", paintFind},
      {"Copy", paintCopy},
      {"Options", paintOptions},
      {"Properties", paintProperties},
  };
  return all;
}

}  // namespace

QIcon standardIcon(const std::string& key) {
  auto it = painters().find(key);
  if (it == painters().end())
    return drawn([](QPainter& p) {
      p.setPen(outline(QColor(160, 160, 160)));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
    });
  return drawn(it->second);
}

std::vector<std::string> standardIconKeys() {
  std::vector<std::string> out;
  for (const auto& [key, painter] : painters()) out.push_back(key);
  return out;
}

QIcon ImageList::icon(const std::string& key) const {
  auto it = icons_.find(key);
  if (it == icons_.end()) platform::raise(35601, "ImageList", "Element not found: no image has the key \"" + key + "\"");
  return it->second;
}

std::vector<std::string> ImageList::keys() const {
  std::vector<std::string> out;
  for (const auto& [key, icon] : icons_) out.push_back(key);
  return out;
}

ImageList* ImageList::standard(QObject* parent, const std::vector<std::string>& keys) {
  auto* list = new ImageList(parent);
  for (const std::string& key : keys.empty() ? standardIconKeys() : keys) list->Add(key, standardIcon(key));
  return list;
}

}  // namespace wayfind::widgets
