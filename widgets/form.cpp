#include "widgets/form.h"

#include <QCloseEvent>

#include "context/language.h"
#include "erp/frmres/window_object.h"
#include "widgets/modal_runner.h"
#include "widgets/qt_translations.h"

namespace wayfind::widgets {

Form::Form(const std::string& formName, QWidget* parent) : QDialog(parent) {
  setObjectName(QString::fromStdString(formName));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

platform::ObjectPtr Form::automationObject() { return erp::frmres::windowObject(this); }

std::string Form::ApplyResources() {
  untranslated_ = context::ApplyFormResources(automationObject());
  return untranslated_;
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  UseQtTranslations();
  ApplyResources();
  Form_Load();
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
