// The one way a window shows a dialog modally. The program runs the dialog's real
// modal loop; tests switch the runner to scripts: each modal showing takes the
// next script, which acts on the dialog as a user would (fills fields, clicks OK)
// and ends by closing or hiding it. No test ever waits on an event loop.
//
//   ScopedModalScripts scripts;                    // tests: scripted from here on
//   scripts.push("dlgGroup", [](QDialog& d) {      // the next dialog must be dlgGroup
//     d.findChild<QPushButton*>("cmdOK")->click();
//   });
//   ... code that shows dlgGroup modally ...
//   EXPECT_TRUE(scripts.done());                   // every script used, no surprise dialog
//
// A dialog shown while no script is left, of another name than the script
// expects, or still open after its script, is a failure recorded in failures()
// (and it is closed, answering Rejected), so a test sees it rather than hangs.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace wayfind::widgets {

using ModalScript = std::function<void(QDialog&)>;

// Shows dialog modally and answers its result (QDialog::Accepted or Rejected).
int runModal(QDialog& dialog);

class ModalRunner {
 public:
  static ModalRunner& instance();

  bool scripted() const { return scripted_; }
  void setScripted(bool on);
  // Queues a script for the next modal dialog; a non-empty formName must match the
  // dialog's objectName.
  void push(ModalScript script, const std::string& formName = {});
  int pending() const { return static_cast<int>(queue_.size()); }
  const std::vector<std::string>& failures() const { return failures_; }
  // The objectNames of the dialogs shown modally, in order.
  const std::vector<std::string>& shown() const { return shown_; }
  void reset();  // empty queue, no failures, back to the real loop

  int run(QDialog& dialog);

 private:
  struct Pending {
    ModalScript script;
    std::string formName;
  };
  bool scripted_ = false;
  std::vector<Pending> queue_;
  std::vector<std::string> failures_;
  std::vector<std::string> shown_;
};

// Scripts for a test's lifetime: switches the runner to scripts, and back to the
// state before when it ends.
class ScopedModalScripts {
 public:
  ScopedModalScripts();
  ~ScopedModalScripts();
  ScopedModalScripts(const ScopedModalScripts&) = delete;
  ScopedModalScripts& operator=(const ScopedModalScripts&) = delete;

  ScopedModalScripts& push(const std::string& formName, ModalScript script);
  ScopedModalScripts& push(ModalScript script);
  // True when every script was used and nothing failed.
  bool done() const;
  std::vector<std::string> failures() const { return ModalRunner::instance().failures(); }
  std::vector<std::string> shown() const { return ModalRunner::instance().shown(); }

 private:
  bool wasScripted_;
};

}  // namespace wayfind::widgets
