// The windows' message boxes: titled with the looked-up "岚舟提示", the icon of
// their kind, Yes answering true; and the shorthands reach whichever service is
// installed, so tests answer them with the scripted one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "widgets/message_boxes.h"
#include "windows_support/window_test_support.h"

namespace wayfind::widgets {
namespace {

class MessageBoxesTest : public windowtests::WindowTest {
 protected:
  struct Seen {
    QString title, text, yes, no;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
  };
  // Answers the next message box by clicking the button of role, noting what it showed.
  void answerNextBox(QMessageBox::StandardButton button, Seen& seen) {
    QTimer::singleShot(0, [button, &seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.icon = box->icon();
      if (auto* y = box->button(QMessageBox::Yes)) seen.yes = y->text();
      if (auto* n = box->button(QMessageBox::No)) seen.no = n->text();
      box->button(button)->click();
    });
  }
};

TEST_F(MessageBoxesTest, QuestionsAreTitledInTheUsersLanguageAndYesIsTrue) {
  setLanguage("en");
  QtMessageService service;
  Seen seen;
  answerNextBox(QMessageBox::Yes, seen);
  EXPECT_TRUE(service.askYesNo("是否确认要删除该项目？"));
  EXPECT_EQ(seen.title.toStdString(), "Lanzhou Notice");
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.yes.toStdString(), "&Yes");
  EXPECT_EQ(seen.no.toStdString(), "&No");
  answerNextBox(QMessageBox::No, seen);
  EXPECT_FALSE(service.askYesNo("x"));
}

TEST_F(MessageBoxesTest, WarningsInformationAndErrorsCarryTheirIcons) {
  QtMessageService service;
  Seen seen;
  answerNextBox(QMessageBox::Ok, seen);
  service.warn("保存失败： 磁盘已满");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.title.toStdString(), "岚舟提示");
  answerNextBox(QMessageBox::Ok, seen);
  service.inform("用户16394的模板数据引入成功");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  answerNextBox(QMessageBox::Ok, seen);
  service.reportError(platform::AutomationError(5, "WayfindInfo", "连接失败"));
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.text.toStdString(), "连接失败\n\n错误号: 5");
}

TEST_F(MessageBoxesTest, ShorthandsGoToTheInstalledService) {
  messages->answers = {true};
  EXPECT_TRUE(MsgQuestion("继续吗？"));
  MsgWarning("警告");
  MsgInformation("完成");
  MsgError(platform::AutomationError(5, "WayfindInfo", "失败"));
  EXPECT_EQ(messages->questions(), std::vector<std::string>{"继续吗？"});
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"警告"});
  EXPECT_EQ(messages->informations(), std::vector<std::string>{"完成"});
  EXPECT_EQ(messages->count(erp::client::ScriptedMessageService::Kind::Error), 1);
}

}  // namespace
}  // namespace wayfind::widgets
