#include "widgets/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "context/language.h"

namespace wayfind::widgets {

namespace {

QString lang(const char* chinese) { return QString::fromStdString(context::GetLangText(chinese)); }

int show(QMessageBox::Icon icon, const std::string& text, bool question) {
  QMessageBox box(messageParent());
  box.setObjectName("MsgBox");
  box.setIcon(icon);
  box.setWindowTitle(lang("岚舟提示"));
  box.setText(QString::fromStdString(text));
  if (question) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(lang("是(&Y)"));
    box.button(QMessageBox::No)->setText(lang("否(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(lang("确定"));
  }
  return box.exec();
}

}  // namespace

QWidget* messageParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

bool MsgQuestion(const std::string& text) { return erp::api::messages().askYesNo(text); }
void MsgWarning(const std::string& text) { erp::api::messages().warn(text); }
void MsgInformation(const std::string& text) { erp::api::messages().inform(text); }
void MsgError(const platform::AutomationError& error) { erp::api::messages().reportError(error); }

bool QtMessageService::askYesNo(const std::string& text) {
  return show(QMessageBox::Question, text, true) == QMessageBox::Yes;
}

void QtMessageService::warn(const std::string& text) { show(QMessageBox::Warning, text, false); }

void QtMessageService::inform(const std::string& text) { show(QMessageBox::Information, text, false); }

void QtMessageService::reportError(const platform::AutomationError& error) {
  show(QMessageBox::Critical,
       error.description() + "\n\n" + context::GetLangText("错误号: ") + std::to_string(error.number()), false);
}

bool QtMessageService::fileExists(const std::string& path) { return erp::api::QuietMessageService().fileExists(path); }

}  // namespace wayfind::widgets
