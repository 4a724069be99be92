// dlgAddItem: the dialog in which the user creates a custom navigation item (a top
// class, a subsystem, a sub-function, or a detail function that starts a program
// of the user's choice), creates a group of frequently used functions, or modifies
// a custom detail function.
//
// The caller chooses the mode, loads the form, may fill the text boxes, shows it
// modally, reads Tag and unloads it:
//
//   auto& dlg = widgets::forms().instance<dialogs::dlgAddItem>();
//   dlg.curLevel = "Sub10000101";   // "All0", "Top1001", "Grp1", "Sys100001", "Sub..." or "EditDetail"
//   dlg.DetailFuncID = id;          // "EditDetail" only
//   dlg.Load();                     // the mode, its captions and layout, translated
//   dlg.txtName->setText(...);      // optional: wins over what loading looked up
//   dlg.ReadValues["NewName"] = ...; // "EditDetail": the values the caller read
//   dlg.ShowModal();
//   const bool created = dlg.Tag.isString() && platform::CStr(dlg.Tag) == "OK";
//   dlg.Unload();
//
// The mode key: its first three letters choose the level ("All" top class, "Top"
// subsystem under top class <id>, "Grp" favourites group, "Sys" sub-function under
// subsystem <id>, "Sub" detail function under sub-function <id>); the rest is the
// parent's identifier. Tag is "OK" after a successful create or modify and
// "Cancel" after btnCancel; both buttons hide the dialog and leave it loaded.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "widgets/form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace wayfind::dialogs {

class dlgAddItem : public widgets::Form {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "dlgAddItem";
  // Makes the window known to the form registry by its name.
  static void Register();

  dlgAddItem();

  // Set by the caller before loading.
  std::string curLevel;
  int32_t DetailFuncID = 0;
  // "EditDetail": the values the user's changes are told from, by key ("NewName",
  // "HelpCode", "ClassName"): loading reads the program path, the caller adds what
  // it showed the user. Only keys typed otherwise are sent, with these as the
  // values read, so a change another window made meanwhile is not undone.
  std::map<std::string, std::string> ReadValues;

  // The checks of the entered texts, in order; the first failure is shown through
  // the message service, its box gets the focus, and the answer is false.
  bool ValidateInput();

  void btnOk_Click();
  void btnCancel_Click();
  void btnOpen_Click();

  // The mode as loaded: the level number of the new item (1..4, 0 for a key of no
  // known mode), the parent's identifier, and whether it is the favourites-group mode.
  int32_t levelNumber() const { return levelNumber_; }
  int32_t parentId() const { return parentId_; }
  bool isGroupMode() const { return group_; }

  QLabel* lblName;
  QLineEdit* txtName;
  QLabel* lblZJM;
  QLineEdit* txtHelpCode;
  QLabel* lblPath;
  QLineEdit* txtPrgPath;
  QPushButton* btnOpen;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  void Form_Load() override;
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Activate();
  void designedLayout();
  void layoutForLevel();
  void lookUpDetailFunc();
  void createItem();
  void storeItem(const std::string& name, const std::string& helpCode, const std::string& path);
  void modifyDetail(const std::string& name, const std::string& helpCode, const std::string& path);

  int32_t levelNumber_ = 0;
  int32_t parentId_ = 0;
  bool group_ = false;
};

}  // namespace wayfind::dialogs
