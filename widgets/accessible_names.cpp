#include "widgets/accessible_names.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <vector>

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

// Whether a caption says something in words: "<<" or ">" does not.
bool hasWords(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// A control's own caption; a caption of symbols alone is read as its tooltip.
QString ownCaption(const QWidget* w) {
  QString caption;
  if (auto* tool = qobject_cast<const QToolButton*>(w); tool && tool->defaultAction())
    caption = readable(tool->defaultAction()->text());
  else if (auto* button = qobject_cast<const QAbstractButton*>(w))
    caption = readable(button->text());
  else if (auto* group = qobject_cast<const QGroupBox*>(w))
    caption = readable(group->title());
  if (!caption.isEmpty() && !hasWords(caption)) caption = readable(w->toolTip());
  return caption;
}

// The title of the tab whose page w is (or lies on), empty when none.
QString tabTitleFor(const QWidget* w) {
  for (const QWidget* page = w; page && !page->isWindow(); page = page->parentWidget()) {
    const QWidget* stack = page->parentWidget();
    auto* tabs = stack ? qobject_cast<const QTabWidget*>(stack->parentWidget()) : nullptr;
    const int index = tabs ? tabs->indexOf(const_cast<QWidget*>(page)) : -1;
    if (index >= 0) return readable(tabs->tabText(index));
  }
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
  if (QString tab = tabTitleFor(w); !tab.isEmpty()) return tab;
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

// A combo box as a screen reader meets it: its name (the one the window or
// NameControls gave it, else its label's), its current item as its value, the
// list it drops as its child, and the actions that drop it.
class NamedComboBox : public QAccessibleWidget {
 public:
  explicit NamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return static_cast<int>(parts().size()); }
  QAccessibleInterface* child(int index) const override {
    const auto all = parts();
    return index >= 0 && index < static_cast<int>(all.size()) ? QAccessible::queryAccessibleInterface(all[index])
                                                              : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto all = parts();
    for (size_t i = 0; child && i < all.size(); ++i)
      if (child->object() == all[i]) return static_cast<int>(i);
    return -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = combo()->view() && combo()->view()->isVisible();
    s.editable = combo()->isEditable();
    return s;
  }
  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action == showMenuAction() || action == pressAction()) combo()->showPopup();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QComboBox* combo() const { return static_cast<QComboBox*>(object()); }
  std::vector<QObject*> parts() const {
    std::vector<QObject*> out;
    if (combo()->view()) out.push_back(combo()->view());
    if (combo()->lineEdit()) out.push_back(combo()->lineEdit());
    return out;
  }
};

QAccessibleInterface* namedComboBoxes(const QString& className, QObject* object) {
  if (className == QLatin1String("QComboBox") && object && object->isWidgetType())
    return new NamedComboBox(static_cast<QComboBox*>(object));
  return nullptr;
}

}  // namespace

void ReadComboBoxesByName() {
  static const bool installed = [] {
    QAccessible::installFactory(namedComboBoxes);
    return true;
  }();
  (void)installed;
}

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
    // A tree without a visible header still reports its column to a screen
    // reader: by the tree's name, not Qt's column number "1".
    if (auto* tree = qobject_cast<QTreeWidget*>(w); tree && tree->isHeaderHidden() && tree->columnCount() == 1)
      tree->headerItem()->setText(0, w->accessibleName());
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
