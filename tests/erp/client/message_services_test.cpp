#include <sstream>

#include <gtest/gtest.h>

#include "erp/client/scripted_message_service.h"
#include "erp/client/terminal_message_service.h"

namespace wayfind::erp::client {
namespace {

using platform::AutomationError;

TEST(TerminalMessageService, AsksOnlyWhenThereIsATerminal) {
  std::istringstream in("y\n no\n");
  std::ostringstream out;
  TerminalMessageService interactive(in, out, true);
  EXPECT_TRUE(interactive.askYesNo("是否保存？"));
  EXPECT_FALSE(interactive.askYesNo("是否保存？"));
  EXPECT_FALSE(interactive.askYesNo("是否保存？"));  // input ended

  std::istringstream unused("y\n");
  std::ostringstream out2;
  TerminalMessageService batch(unused, out2, false);
  EXPECT_FALSE(batch.askYesNo("是否继续？"));
  EXPECT_NE(out2.str().find("是否继续？"), std::string::npos);
}

TEST(TerminalMessageService, ErrorsShowNumberSourceAndDescription) {
  std::istringstream in;
  std::ostringstream out;
  TerminalMessageService service(in, out, false);
  service.reportError(AutomationError(5, "WayfindInfo.DatasUpdate", "保存失败"));
  service.warn("显示名称不能为空!");
  EXPECT_EQ(out.str(), "error 5 (WayfindInfo.DatasUpdate): 保存失败\n显示名称不能为空!\n");
}

TEST(ScriptedMessageService, AnswersFromTheQueueAndRecordsEveryCall) {
  ScriptedMessageService s;
  s.answers = {true};
  s.existingFiles = {"/no/such/dir/t.dat"};
  s.realFileSystem = false;
  EXPECT_TRUE(s.askYesNo("q1"));
  EXPECT_FALSE(s.askYesNo("q2"));  // queue empty: defaultAnswer
  s.warn("w");
  s.reportError(AutomationError(429, "x", "cannot create"));
  EXPECT_TRUE(s.fileExists("/no/such/dir/t.dat"));
  EXPECT_FALSE(s.fileExists("/etc/hostname"));
  ASSERT_EQ(s.calls.size(), 6u);
  EXPECT_EQ(s.questions(), (std::vector<std::string>{"q1", "q2"}));
  EXPECT_EQ(s.warnings(), std::vector<std::string>{"w"});
  EXPECT_EQ(s.callsOf(ScriptedMessageService::Kind::Error).at(0).error->number(), 429);
  EXPECT_EQ(s.count(ScriptedMessageService::Kind::FileTest), 2);
}

TEST(ScriptedMessageService, InstallsAsTheServiceOfTheProcess) {
  auto scripted = std::make_shared<ScriptedMessageService>();
  scripted->answers = {true};
  auto previous = api::installMessageService(scripted);
  EXPECT_TRUE(api::messages().askYesNo("q"));
  api::installMessageService(previous);
  EXPECT_EQ(scripted->calls.size(), 1u);
}

}  // namespace
}  // namespace wayfind::erp::client
