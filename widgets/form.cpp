#include "widgets/form.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QShowEvent>

#include "context/language.h"
#include "erp/api/window_object.h"
#include "widgets/accessible_names.h"
#include "widgets/caption_fit.h"
#include "widgets/help_window.h"
#include "widgets/modal_runner.h"
#include "widgets/qt_translations.h"

namespace wayfind::widgets {

Form::Form(const std::string& formName, QWidget* parent) : QDialog(parent) {
  setObjectName(QString::fromStdString(formName));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

platform::ObjectPtr Form::automationObject() { return erp::api::windowObject(this); }

std::string Form::ApplyResources() {
  untranslated_ = context::ApplyFormResources(automationObject());
  return untranslated_;
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  try {
    UseQtTranslations();
    ApplyResources();
    Form_Load();
  } catch (...) {
    // Not loaded: the next showing loads it afresh.
    loaded_ = false;
    hide();
    throw;
  }
  NameControls(this);
}

int Form::ShowModal() {
  Load();
  if (!loaded_) return result();  // Form_Load unloaded the form again
  return runModal(*this);
}

void Form::HideForm() { hide(); }

bool Form::Unload() {
  if (unloading_) return true;
  bool cancel = false;
  Form_QueryUnload(cancel);
  if (cancel) return false;
  unloading_ = true;
  hide();
  if (loaded_) Form_Unload();
  loaded_ = false;
  unloading_ = false;
  return true;
}

void Form::keyPressEvent(QKeyEvent* event) {
  // F1 anywhere in a window: its help.
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && HelpContextOf(*this) != 0) {
    ShowHelpFor(*this);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Form::showEvent(QShowEvent* event) {
  // Translated captions are often longer than the Chinese the window was drawn for.
  if (!event->spontaneous()) FitCaptions(*this);
  QDialog::showEvent(event);
}

void Form::closeEvent(QCloseEvent* event) {
  if (unloading_ || !loaded_) {
    event->accept();
    return;
  }
  if (Unload())
    event->accept();
  else
    event->ignore();
}

void Form::reject() {
  if (Unload()) QDialog::reject();
}

}  // namespace wayfind::widgets
