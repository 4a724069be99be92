// End to end on the demo company: a detail function created through dlgAddItem
// is in the tree that the program shows the same user in a new process.
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

#include "dialogs/dlg_add_item.h"
#include "platform/automation/conversions.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"

namespace wayfind::dialogs {
namespace {

using windowtests::join;

class NewItemEndToEndTest : public windowtests::WindowTest {
 protected:
  // "wayfind --user <id> tree" on the test's database, with a cache folder of its
  // own; answers the exit status and what it printed.
  std::pair<int, std::string> tree(int32_t userId) {
    const auto out = folder / "tree.txt";
    const std::string cmd = "WAYFIND_DB='" + database.string() + "' WAYFIND_CACHE_DIR='" +
                            (folder / "cli-cache").string() + "' '" WAYFIND_EXE "' --user " + std::to_string(userId) +
                            " tree >'" + out.string() + "' 2>&1 </dev/null";
    const int raw = std::system(cmd.c_str());
    std::ifstream in(out);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(std::istreambuf_iterator<char>(in), {})};
  }
};

TEST_F(NewItemEndToEndTest, ACreatedDetailFunctionIsInTheUsersTreeInANewProcess) {
  const auto program = folder / "month-end.sh";
  std::ofstream(program) << "#!/bin/sh\n";

  auto* dlg = qobject_cast<dlgAddItem*>(widgets::forms().form(dlgAddItem::kFormName));
  ASSERT_NE(dlg, nullptr);
  dlg->curLevel = "Sub10101";  // 凭证处理 under 总账
  dlg->Load();
  modal().push("dlgAddItem", [&](QDialog&) {
    dlg->txtName->setText("月末结账检查");
    dlg->txtHelpCode->setText("YMJZJC");
    dlg->txtPrgPath->setText(QString::fromStdString(program.string()));
    dlg->btnOk->click();
  });
  dlg->ShowModal();
  ASSERT_TRUE(modal().done()) << join(modal().failures());
  ASSERT_EQ(platform::CStr(dlg->Tag), "OK") << join(messages->warnings());

  const auto [status, text] = tree(windowtests::kAdministrator);
  ASSERT_EQ(status, 0) << text;
  // The line of the new function, inside the block of its sub-function.
  const size_t sub = text.find("    Sub 10101  ");
  const size_t line = text.find("  月末结账检查  [YMJZJC]  " + program.string());
  ASSERT_NE(sub, std::string::npos) << text;
  ASSERT_NE(line, std::string::npos) << text;
  const size_t nextSub = text.find("    Sub ", sub + 1);
  EXPECT_GT(line, sub);
  EXPECT_LT(line, nextSub) << "under 凭证处理";

  // Another user's tree does not have it.
  const auto [otherStatus, otherText] = tree(16385);
  ASSERT_EQ(otherStatus, 0) << otherText;
  EXPECT_EQ(otherText.find("月末结账检查"), std::string::npos);
}

}  // namespace
}  // namespace wayfind::dialogs
