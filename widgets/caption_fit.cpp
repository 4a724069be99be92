#include "widgets/caption_fit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace wayfind::widgets {

namespace {

// The width control wants for its caption when the caption does not fit in its
// width now; 0 when it fits or the control has no caption to fit.
int widthWanted(QWidget& control) {
  auto without = [](QString text) { return text.remove('&'); };
  int needed = 0;
  int wanted = 0;
  if (auto* tool = qobject_cast<QToolButton*>(&control)) {
    if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly || tool->text().isEmpty()) return 0;
    needed = wanted = tool->sizeHint().width();
  } else if (auto* push = qobject_cast<QPushButton*>(&control)) {
    if (push->text().isEmpty()) return 0;
    needed = push->fontMetrics().horizontalAdvance(without(push->text())) + 8;
    wanted = std::max(needed, push->sizeHint().width());
  } else if (auto* box = qobject_cast<QCheckBox*>(&control)) {
    needed = wanted = box->sizeHint().width();
  } else if (auto* label = qobject_cast<QLabel*>(&control)) {
    if (label->wordWrap() || !label->pixmap().isNull() || label->text().isEmpty()) return 0;
    needed = wanted = label->sizeHint().width();
  } else if (auto* group = qobject_cast<QGroupBox*>(&control)) {
    if (group->title().isEmpty()) return 0;
    needed = wanted = group->fontMetrics().horizontalAdvance(without(group->title())) + 16;
  }
  return needed > control.width() ? wanted : 0;
}

// The child widgets of container, left to right.
std::vector<QWidget*> childrenOf(QWidget& container) {
  std::vector<QWidget*> out;
  for (QObject* o : container.children())
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) out.push_back(w);
  std::stable_sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
  return out;
}

// Moves the siblings right of control's old right edge, on its row, by delta.
void shiftRowAfter(QWidget& control, int oldRight, int delta, const std::vector<QWidget*>& siblings) {
  for (QWidget* s : siblings) {
    if (s == &control || s->x() < oldRight - 1) continue;
    const bool sameRow = s->y() < control.y() + control.height() && s->y() + s->height() > control.y();
    if (sameRow) s->move(s->x() + delta, s->y());
  }
}

void widenTo(QWidget& widget, int width) {
  if (widget.minimumWidth() == widget.maximumWidth()) widget.setFixedWidth(width);
  if (widget.maximumWidth() < width) widget.setMaximumWidth(width);
  widget.resize(width, widget.height());
}

// Fits the captions inside container; a layout places its own children, so
// only a container without one has its children moved and widened here.
void fitChildren(QWidget& container) {
  const std::vector<QWidget*> children = childrenOf(container);
  if (container.layout()) {
    for (QWidget* c : children) fitChildren(*c);
    return;
  }
  int contentRight = 0;
  for (QWidget* c : children) contentRight = std::max(contentRight, c->geometry().right());
  const int margin = std::max(0, container.width() - 1 - contentRight);
  for (QWidget* c : children) {
    // A control the window keeps hidden shows no caption: it neither grows nor
    // pushes what is shown beside it.
    if (c->isHidden()) continue;
    const int before = c->width();
    fitChildren(*c);
    const int wanted = widthWanted(*c);
    if (wanted > c->width()) widenTo(*c, wanted);
    if (c->width() > before) shiftRowAfter(*c, c->x() + before, c->width() - before, children);
  }
  int right = 0;
  for (QWidget* c : children) right = std::max(right, c->geometry().right());
  if (right > contentRight && right + 1 + margin > container.width()) widenTo(container, right + 1 + margin);
}

}  // namespace

void FitCaptions(QWidget& window) { fitChildren(window); }

}  // namespace wayfind::widgets
