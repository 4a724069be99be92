// A window as it crosses the automation boundary: the component hands windows to
// the ERP's window resource loader as plain automation objects, and the loader
// reaches the Qt widget behind them through this wrapper. The wrapper does not own
// the widget; once the widget is gone widget() answers nullptr.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/automation/object.h"

namespace wayfind::erp::api {

class WindowObject : public platform::Object {
 public:
  explicit WindowObject(QWidget* widget) : widget_(widget) {}
  QWidget* widget() const { return widget_.data(); }

 private:
  QPointer<QWidget> widget_;
};

// The automation object of a widget.
inline platform::ObjectPtr windowObject(QWidget* widget) { return std::make_shared<WindowObject>(widget); }

}  // namespace wayfind::erp::api
