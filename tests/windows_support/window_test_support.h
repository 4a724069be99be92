// What a window test needs, set up fresh for each test:
//   - one QApplication for the test executable (offscreen; window_test_main.cpp);
//   - the embedded ERP on a copy of a fresh demo database in a temporary folder,
//     with the ERP's components and the component's public classes registered;
//   - a logged-in user (by default 16394 "王芳", an administrator of the demo company)
//     in simplified Chinese, unless the test asks for another language;
//   - the scripted message service (messages), the scripted modal runner
//     (modal) and a scripted file chooser (answer with widgets::ScopedFileChoices;
//     unanswered it cancels), and the windows started (the window resource
//     loader registered).
//
//   class DlgGroupTest : public wayfind::windowtests::WindowTest {};
//   TEST_F(DlgGroupTest, ClosedWithoutOkAnswersMinusOne) {
//     modal().push("dlgGroup", [](QDialog& d) { d.reject(); });
//     ...
//     EXPECT_TRUE(modal().done()) << join(modal().failures());
//   }
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "erp/client/scripted_message_service.h"
#include "widgets/form.h"
#include "widgets/modal_runner.h"

namespace wayfind::windowtests {

inline constexpr int32_t kAdministrator = 16394;  // "王芳"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Logs another user in (a user of the demo company), in a language ("chs", "en",
  // "cht"); the language cache of the component is reset so lookups see it.
  void login(int32_t userId, const std::string& languageCode = "chs");
  void setLanguage(const std::string& languageCode);
  // Offers the pseudo-language "qps" (pseudo_language.h) until the test ends: the
  // table of languages knows it and the translations come from its resources folder.
  void offerPseudoLanguage();

  std::filesystem::path folder;    // the test's own temporary folder
  std::filesystem::path database;  // folder / "wayfind.db"
  std::shared_ptr<erp::client::ScriptedMessageService> messages;
  std::unique_ptr<widgets::ScopedModalScripts> modalScripts;
  widgets::ScopedModalScripts& modal() { return *modalScripts; }

 private:
  bool pseudoLanguageOffered_ = false;
};

// The name of the demo user userId, from the database.
std::string userName(const std::filesystem::path& database, int32_t userId);
// Lines joined for a failure message.
std::string join(const std::vector<std::string>& lines);
// The registered window name opened afresh as its picture shows it: a new
// instance, loaded and prepared; with shown, also shown off screen with its
// layout done.
widgets::Form& openAsPictured(const std::string& window, bool shown);

}  // namespace wayfind::windowtests
