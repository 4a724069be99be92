#include "widgets/toolbar.h"

#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "platform/automation/automation_error.h"
#include "widgets/image_list.h"

namespace wayfind::widgets {

namespace {
constexpr const char* kSource = "ToolBar";
}

ToolBar::ToolBar(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QToolBar* ToolBar::AddBand(const std::string& name) {
  for (const auto& [n, band] : bands_)
    if (n == name) platform::raise(35602, kSource, "Key is not unique in collection: band " + name);
  auto* band = new QToolBar(this);
  band->setObjectName(QString::fromStdString(name));
  band->setIconSize(QSize(16, 16));
  band->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  band->setMovable(false);
  band->setFloatable(false);
  layout()->addWidget(band);
  bands_.emplace_back(name, band);
  return band;
}

QToolBar* ToolBar::Band(const std::string& name) const {
  for (const auto& [n, band] : bands_)
    if (n == name) return band;
  platform::raise(35601, kSource, "Element not found: band " + name);
}

std::vector<std::string> ToolBar::bandNames() const {
  std::vector<std::string> out;
  for (const auto& [n, band] : bands_) out.push_back(n);
  return out;
}

QAction* ToolBar::AddTool(const std::string& band, const std::string& name, const std::string& caption,
                          const std::string& imageKey, bool showCaption) {
  if (tools_.count(name)) platform::raise(35602, kSource, "Key is not unique in collection: tool " + name);
  QToolBar* bar = Band(band);
  auto* action = new QAction(QString::fromStdString(caption), bar);
  action->setObjectName(QString::fromStdString(name));
  action->setToolTip(QString::fromStdString(caption));
  if (!imageKey.empty()) action->setIcon(images_ && images_->Contains(imageKey) ? images_->icon(imageKey)
                                                                                 : standardIcon(imageKey));
  bar->addAction(action);
  if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
    if (!showCaption) button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->installEventFilter(this);  // the tooltip with the shortcut
  }
  const QString qname = QString::fromStdString(name);
  connect(action, &QAction::triggered, this, [this, qname] { emit toolClick(qname); });
  tools_[name] = action;
  order_.push_back(name);
  return action;
}

void ToolBar::AddSeparator(const std::string& band) { Band(band)->addSeparator(); }

QAction* ToolBar::Tool(const std::string& name) const {
  auto it = tools_.find(name);
  if (it == tools_.end()) platform::raise(35601, kSource, "Element not found: tool " + name);
  return it->second;
}

std::vector<std::string> ToolBar::toolNames() const { return order_; }

std::string ToolBar::ToolCaption(const std::string& name) const { return Tool(name)->text().toStdString(); }

void ToolBar::SetToolCaption(const std::string& name, const std::string& caption) {
  QAction* a = Tool(name);
  a->setText(QString::fromStdString(caption));
  a->setToolTip(QString::fromStdString(caption));
}

bool ToolBar::ToolEnabled(const std::string& name) const { return Tool(name)->isEnabled(); }
void ToolBar::SetToolEnabled(const std::string& name, bool enabled) { Tool(name)->setEnabled(enabled); }
bool ToolBar::ToolVisible(const std::string& name) const { return Tool(name)->isVisible(); }
void ToolBar::SetToolVisible(const std::string& name, bool visible) { Tool(name)->setVisible(visible); }
void ToolBar::SetToolShortcut(const std::string& name, const QKeySequence& keys) {
  QAction* a = Tool(name);
  a->setShortcut(keys);
  a->setShortcutContext(Qt::WindowShortcut);
}

QKeySequence ToolBar::ToolShortcut(const std::string& name) const { return Tool(name)->shortcut(); }

QString ToolBar::ToolTipShown(const std::string& name) const {
  const QAction* a = Tool(name);
  QString tip = a->toolTip();
  if (!a->shortcut().isEmpty()) tip += " (" + a->shortcut().toString(QKeySequence::NativeText) + ")";
  return tip;
}

bool ToolBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip)
    if (auto* button = qobject_cast<QToolButton*>(watched); button && button->defaultAction()) {
      const QAction* a = button->defaultAction();
      auto* help = static_cast<QHelpEvent*>(event);
      QToolTip::showText(help->globalPos(), ToolTipShown(a->objectName().toStdString()), button);
      return true;
    }
  return QWidget::eventFilter(watched, event);
}

bool ToolBar::ToolChecked(const std::string& name) const { return Tool(name)->isChecked(); }

void ToolBar::SetToolChecked(const std::string& name, bool checked) {
  QAction* a = Tool(name);
  a->setCheckable(true);
  a->setChecked(checked);
}

bool ToolBar::ClickTool(const std::string& name) {
  QAction* a = Tool(name);
  if (!a->isEnabled() || !a->isVisible()) return false;
  a->trigger();
  return true;
}

}  // namespace wayfind::widgets
