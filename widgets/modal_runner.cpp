#include "widgets/modal_runner.h"

#include "widgets/screen_fit.h"

namespace wayfind::widgets {

ModalRunner& ModalRunner::instance() {
  static ModalRunner runner;
  return runner;
}

void ModalRunner::setScripted(bool on) { scripted_ = on; }

void ModalRunner::push(ModalScript script, const std::string& formName) {
  queue_.push_back({std::move(script), formName});
}

void ModalRunner::reset() {
  scripted_ = false;
  queue_.clear();
  failures_.clear();
  shown_.clear();
}

int ModalRunner::run(QDialog& dialog) {
  const std::string name = dialog.objectName().toStdString();
  shown_.push_back(name);
  if (!scripted_) {
    FitToScreen(dialog);
    return dialog.exec();
  }

  dialog.setResult(QDialog::Rejected);
  if (queue_.empty()) {
    failures_.push_back("no script for the modal dialog " + name);
    dialog.hide();
    return QDialog::Rejected;
  }
  Pending next = std::move(queue_.front());
  queue_.erase(queue_.begin());
  if (!next.formName.empty() && next.formName != name) {
    failures_.push_back("the script for " + next.formName + " met the modal dialog " + name);
    dialog.hide();
    return QDialog::Rejected;
  }
  // Shown as the real loop would show it, so the script meets visible controls.
  dialog.setModal(true);
  dialog.show();
  next.script(dialog);
  if (dialog.isVisible()) {
    failures_.push_back("the modal dialog " + name + " was still open after its script");
    dialog.hide();
  }
  return dialog.result();
}

int runModal(QDialog& dialog) { return ModalRunner::instance().run(dialog); }

ScopedModalScripts::ScopedModalScripts() : wasScripted_(ModalRunner::instance().scripted()) {
  auto& runner = ModalRunner::instance();
  runner.reset();
  runner.setScripted(true);
}

ScopedModalScripts::~ScopedModalScripts() {
  auto& runner = ModalRunner::instance();
  runner.reset();
  runner.setScripted(wasScripted_);
}

ScopedModalScripts& ScopedModalScripts::push(const std::string& formName, ModalScript script) {
  ModalRunner::instance().push(std::move(script), formName);
  return *this;
}

ScopedModalScripts& ScopedModalScripts::push(ModalScript script) {
  ModalRunner::instance().push(std::move(script));
  return *this;
}

bool ScopedModalScripts::done() const {
  auto& runner = ModalRunner::instance();
  return runner.pending() == 0 && runner.failures().empty();
}

}  // namespace wayfind::widgets
