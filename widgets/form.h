// Form: the base of every window of the component. A form is a QDialog whose
// objectName is its form name ("dlgSetProp"); its controls carry the names their
// code uses ("txtName", "btnOk"), and its captions are written in Chinese and
// translated when it loads.
//
// Life of a form, as the windows' code expects it:
//   - the constructor builds the controls (captions in Chinese);
//   - Load() runs once before the form is first shown: it applies the language's
//     font and captions (ApplyFormResources) and then calls Form_Load();
//   - ShowModal() loads the form if needed and shows it through the modal runner
//     (widgets/modal_runner.h); it answers when the form is hidden or unloaded;
//   - HideForm() ends the modal showing and keeps the form loaded;
//   - Unload() asks Form_QueryUnload, hides the form, calls Form_Unload() and
//     marks it unloaded; its member variables (the form's public variables) keep
//     their values, and the next showing loads it again.
// Closing the window with its title-bar button is an Unload.
//
// Forms are usually reached through the form registry (widgets/form_registry.h)
// as the process-wide instance of their form.
#pragma once

#include <QDialog>
#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::widgets {

class Form : public QDialog {
  Q_OBJECT

 public:
  explicit Form(const std::string& formName, QWidget* parent = nullptr);

  std::string formName() const { return objectName().toStdString(); }

  // The form's Tag: what a caller reads after the modal showing ended.
  platform::Variant Tag;

  bool isLoaded() const { return loaded_; }
  // Applies the form's resources and runs Form_Load, once until the next Unload.
  void Load();
  // Loads if needed, shows modally, answers the dialog's result.
  int ShowModal();
  void HideForm();
  // Answers false when Form_QueryUnload cancelled.
  bool Unload();

  // The form as an automation object (for the window resource loader).
  platform::ObjectPtr automationObject();
  // ApplyFormResources on this form; answers the captions without translation.
  std::string ApplyResources();
  // The captions the last Load found no translation for (one per line, CR LF ended).
  const std::string& untranslated() const { return untranslated_; }

 protected:
  virtual void Form_Load() {}
  // Set cancel to keep the form loaded.
  virtual void Form_QueryUnload(bool& cancel) { (void)cancel; }
  virtual void Form_Unload() {}
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // F1: the window's help
  void showEvent(QShowEvent* event) override;     // captions fitted (caption_fit.h)
  void reject() override;  // Esc and the title-bar button: Unload

 private:
  bool loaded_ = false;
  bool unloading_ = false;
  std::string untranslated_;
};

}  // namespace wayfind::widgets
