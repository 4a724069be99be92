#include "widgets/accessible_names.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>
#include <climits>

#include "context/language.h"
#include "platform/automation/variant.h"

namespace wayfind::widgets {

namespace {

constexpr const char* kAutoName = "wayfindAutoAccessibleName";
constexpr const char* kAutoDescription = "wayfindAutoAccessibleDescription";

// A caption as it is read: without the access key's "&" and the closing colon.
QString readable(QString text) {
  text.replace("&&", "\x01");
  text.remove('&');
  text.replace("\x01", "&");
  text = text.trimmed();
  while (text.endsWith(QChar(0xFF1A)) || text.endsWith(':')) text.chop(1);
  return text.trimmed();
}

QString ownCaption(const QWidget* w) {
  if (auto* tool = qobject_cast<const QToolButton*>(w); tool && tool->defaultAction())
    return readable(tool->defaultAction()->text());
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) return readable(button->text());
  if (auto* group = qobject_cast<const QGroupBox*>(w)) return readable(group->title());
  return {};
}

// The label naming w: its buddy, else the nearest label on w's left on the same
// line, else the nearest one just above.
const QLabel* labelWidgetFor(const QWidget* w) {
  if (!w->parentWidget()) return nullptr;
  const QWidget* window = w->window();
  for (const QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy() == w && !label->text().isEmpty()) return label;
  const QRect me(w->mapTo(window, QPoint(0, 0)), w->size());
  const QLabel* best = nullptr;
  int bestDistance = INT_MAX;
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || label->isHidden() || label->property("wayfindNoTranslate").toBool()) continue;
    const QRect r(label->mapTo(window, QPoint(0, 0)), label->size());
    int distance = INT_MAX;
    const bool sameLine = r.center().y() >= me.top() && r.center().y() <= me.bottom();
    if (sameLine && r.right() <= me.left() + 2) distance = me.left() - r.right();
    const bool above = r.bottom() <= me.top() + 2 && r.left() < me.right() && r.right() > me.left();
    if (above) distance = std::min(distance, (me.top() - r.bottom()) * 2 + 1);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = label;
    }
  }
  return best && bestDistance < 120 ? best : nullptr;
}

QString labelFor(const QWidget* w) {
  const QLabel* label = labelWidgetFor(w);
  return label ? readable(label->text()) : QString();
}

QString nameFor(const QWidget* w) {
  if (QString own = ownCaption(w); !own.isEmpty()) return own;
  if (QString label = labelFor(w); !label.isEmpty()) return label;
  return readable(w->window()->windowTitle());
}

// Sets a name or description unless the window chose its own.
void setAuto(QWidget* w, const char* marker, const QString& current, const QString& value,
             void (QWidget::*set)(const QString&)) {
  const bool ours = w->property(marker).toString() == current;
  if (!current.isEmpty() && !ours) return;
  (w->*set)(value);
  w->setProperty(marker, value);
}

}  // namespace

bool isControl(const QWidget* w) {
  // Qt's own inner parts (headers, a tab bar's scroll buttons, a combo box's
  // field, the toolbars' extension button) are read as part of their owner.
  if (w->objectName().startsWith("qt_") || qobject_cast<const QHeaderView*>(w)) return false;
  if (w->window()->windowType() == Qt::Popup) return false;  // a combo box's list, a menu
  if (const QWidget* p = w->parentWidget();
      p && (qobject_cast<const QTabBar*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QAbstractItemView*>(p->parentWidget())))
    return false;
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTabBar*>(w) ||
         qobject_cast<const QTextEdit*>(w);
}

void NameControls(QWidget* window) {
  // The labels are found by where they stand: lay the window out first.
  if (window->layout()) window->layout()->activate();
  const QString title = readable(window->windowTitle());
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!isControl(w)) continue;
    const QString name = nameFor(w);
    // The label that names a field is its buddy: screen readers read the field
    // by it, and the label's access key (Alt+letter) goes to the field.
    if (ownCaption(w).isEmpty())
      if (auto* label = const_cast<QLabel*>(labelWidgetFor(w)); label && !label->buddy()) label->setBuddy(w);
    setAuto(w, kAutoName, w->accessibleName(), name, &QWidget::setAccessibleName);
    const QString tip = w->toolTip().isEmpty() ? QString() : readable(w->toolTip());
    const QString description =
        !tip.isEmpty() && tip != name
            ? tip
            : QString::fromStdString(context::FormatLangText(
                  "%1窗口的%2", {platform::Variant(title.toStdString()), platform::Variant(w->accessibleName().toStdString())}));
    setAuto(w, kAutoDescription, w->accessibleDescription(), description, &QWidget::setAccessibleDescription);
  }
}

}  // namespace wayfind::widgets
