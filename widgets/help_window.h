// The help window: F1 in any window, and the console's Help menu, show the
// window's help topic here, in the session's language, with the window's picture.
// The topics come from the ERP's help viewer ("T8CHMResTool.ClsCHMHelp"); while
// the windows run, its topics are shown in this window instead of being printed.
//
// Each window says its own help context (SetHelpContext when it builds); F1
// anywhere in a form shows its topic. The help window is not modal: it stays beside the window it helps
// with (it belongs to the window that was active when F1 was pressed, so a modal
// dialog does not shut it out) and the user goes on working.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "erp/api/help.h"

class QPushButton;
class QTextBrowser;

namespace wayfind::widgets {

// A window's help context travels with the window (a property of the widget):
// every window sets its own while it builds. 0 (or never set): no help.
void SetHelpContext(QWidget& window, int32_t context);
int32_t HelpContextOf(const QWidget& window);
// The help context of a registered form ("dlgSetNormal" -> 520014), as its
// window says; 0 for a name the form registry does not know.
int32_t HelpContextOf(const std::string& formName);
// While the windows run (startWindows ... stopWindows), the help viewer presents
// its topics in the help window; stopping puts back the presenter there was.
void PresentHelpInTheWindow();
void StopPresentingHelp();
// Asks for the help of a window as F1 does (context::ShowHELP with key code 112);
// nothing for a window without help.
void ShowHelpFor(const QWidget& window);
// The same for a registered form by its name.
void ShowHelpFor(const std::string& formName);

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  // The help window of the session (created on first use).
  static HelpWindow& instance();
  // Destroys the session's help window, if any.
  static void release();

  // Shows topic, above the window that asked (or the active window).
  void ShowTopic(const erp::api::HelpTopic& topic);
  int32_t shownContext() const { return context_; }

  QTextBrowser* txtHelp = nullptr;
  QPushButton* cmdClose = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  HelpWindow();
  void fitPictures();
  int32_t context_ = 0;
};

}  // namespace wayfind::widgets
