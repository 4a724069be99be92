#include "windows_support/window_test_support.h"

#include <unistd.h>

#include <QLayout>
#include <random>

#include "api/host_start.h"
#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/message_service.h"
#include "erp/frmres/frm_res_loader.h"
#include "erp/client/data_services.h"
#include "erp/client/lang_info.h"
#include "erp/client/register_client.h"
#include "widgets/form_registry.h"
#include "erp/text/resource_folder.h"
#include "erp/text/translation_table.h"
#include "erp/middletier/register_server.h"
#include "erp/storage/database.h"
#include "store/cache_files.h"
#include "store/call_log.h"
#include "store/data_info.h"
#include "widgets/busy_state.h"
#include "widgets/file_chooser.h"
#include "widgets/windows_runtime.h"

namespace wayfind::windowtests {

namespace {

namespace fs = std::filesystem;

fs::path uniqueFolder(const std::string& stem) {
  std::random_device rd;
  fs::path p = fs::temp_directory_path() /
               (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(rd() % 1000000));
  fs::create_directories(p);
  return p;
}

// A demo database made once per test executable; each test works on a copy.
const fs::path& demoDatabase() {
  static const fs::path path = [] {
    fs::path folder = uniqueFolder("wayfind-windows-demo");
    fs::path db = folder / "demo.db";
    erp::middletier::registerServerComponents();  // installs the demo seeder
    erp::storage::prepareDatabase(db, erp::storage::Seed::Demo);
    erp::storage::releaseThreadConnections();
    return db;
  }();
  return path;
}

void resetProcessState() {
  store::DataInfo::instance().reset();
  store::CallLogState::instance().reset();
  context::LanguageState::instance().reset();
  context::HelpState::instance().reset();
  erp::client::resetLoginLanguage();
  erp::text::TranslationCache::instance().reset();
}

}  // namespace

widgets::Form& openAsPictured(const std::string& window, bool shown) {
  auto& forms = widgets::forms();
  forms.release(window);
  widgets::Form* form = forms.form(window);
  form->Load();
  if (auto prepare = forms.screenshotPrepare(window)) prepare(*form);
  if (shown) {
    form->setAttribute(Qt::WA_DontShowOnScreen, true);
    form->show();
    if (form->layout()) form->layout()->activate();
  }
  return *form;
}

std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

std::string userName(const fs::path& database, int32_t userId) {
  auto conn = erp::storage::connectionFor(database);
  auto st = conn->prepare("SELECT FName FROM t_User WHERE FUserID = ?");
  st.bind(1, userId);
  return st.step() ? st.text(0) : std::string();
}

void WindowTest::SetUp() {
  const fs::path& demo = demoDatabase();
  folder = uniqueFolder("wayfind-window-test");
  database = folder / "wayfind.db";
  fs::copy_file(demo, database);
  erp::storage::releaseThreadConnections();
  resetProcessState();
  erp::storage::CurrentDatabase::set(database);
  api::registerEverything();
  store::SetCacheFolder((folder / "cache").string());
  messages = std::make_shared<erp::client::ScriptedMessageService>();
  erp::api::installMessageService(messages);
  modalScripts = std::make_unique<widgets::ScopedModalScripts>();
  // A file chooser nobody scripted cancels rather than waits for a person.
  widgets::FileChooserScript::instance().reset();
  widgets::FileChooserScript::instance().active = true;
  widgets::busySettings() = {};
  erp::frmres::registerFrmResLoader();
  widgets::startWindows(/*keepMessages=*/true);
  login(kAdministrator, "chs");
}

void WindowTest::TearDown() {
  if (pseudoLanguageOffered_) {
    ::unsetenv("WAYFIND_TEST_LANGUAGES");
    erp::text::setResourceFolder({});
  }
  widgets::stopWindows();
  widgets::FileChooserScript::instance().reset();
  modalScripts.reset();
  erp::api::installMessageService(nullptr);
  resetProcessState();
  erp::storage::releaseThreadConnections();
  erp::storage::CurrentDatabase::clear();
  std::error_code ec;
  fs::remove_all(folder, ec);
}

void WindowTest::login(int32_t userId, const std::string& languageCode) {
  erp::client::publishLogin(erp::client::makeLogin(userId, userName(database, userId), "Industry", "window-tests"));
  store::DataInfo::instance().reset();
  setLanguage(languageCode);
}

void WindowTest::offerPseudoLanguage() {
  pseudoLanguageOffered_ = true;
  ::setenv("WAYFIND_TEST_LANGUAGES", "1", 1);
  erp::text::setResourceFolder(WAYFIND_PSEUDO_RESOURCES);
  erp::text::TranslationCache::instance().reset();
}

void WindowTest::setLanguage(const std::string& languageCode) {
  erp::client::setLoginLanguage(languageCode);
  context::LanguageState::instance().reset();
}

}  // namespace wayfind::windowtests
