// Template files: export through the information server, import through the update
// server, and refusal of files that are not exported user data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "context/language.h"
#include "fake_info_server.h"
#include "fake_login.h"
#include "mock_update_server.h"
#include "store/template_files.h"
#include "update/datas_update.h"

using namespace wayfind;
using namespace wayfind::fakes;
using platform::AutomationError;
using platform::Variant;
using ::testing::_;
using ::testing::Eq;
namespace fs = std::filesystem;

namespace {

platform::DictionaryPtr userData(const char* name) {
  auto d = std::make_shared<platform::Dictionary>();
  for (const char* key : {"TopClass", "SubSystem", "SubFunc", "DetailFunc", "Profile"}) {
    auto rs = std::make_shared<platform::Recordset>();
    rs->appendField("FName", platform::DataType::VarWChar, 80);
    rs->open();
    rs->AddNew();
    rs->setValue("FName", Variant(name));
    d->SetValue(key, Variant(rs));
  }
  return d;
}

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Unsaveable : platform::Object {};

class TemplateFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context::LanguageState::instance().reset();
    dir = fs::temp_directory_path() / ("wayfind-template-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void expectInvalidFile(const fs::path& file) {
    try {
      update::DatasUpdate().Import(Variant(file.string()));
      FAIL() << "accepted " << file;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_EQ(e.source(), "WayfindInfo.DataInfo.Import");
      EXPECT_EQ(e.description(), "无效或错误的模板文件，请重新选择。");
    }
  }

  fs::path dir;
  ScopedLogin login;
  std::shared_ptr<MockUpdateServer> updates = std::make_shared<MockUpdateServer>();
  std::shared_ptr<FakeInfoServer> info = std::make_shared<FakeInfoServer>();
  platform::ScopedRegistration regUpdate{erp::progid::kServerDatasUpdate, platform::sharedFactory(updates)};
  platform::ScopedRegistration regInfo{erp::progid::kServerDatasInfo, platform::sharedFactory(info)};
};

}  // namespace

TEST_F(TemplateFilesTest, ImportRefusesFilesThatAreNotExportedUserData) {
  EXPECT_CALL(*updates, ImportUserData(_, _)).Times(0);
  std::ofstream(dir / "text.dat") << "这不是模板";
  expectInvalidFile(dir / "text.dat");
  expectInvalidFile(dir / "missing.dat");
  // A saved dictionary of another shape is refused too.
  platform::Dictionary other;
  other.SetValue("TimeStamp", Variant("7"));
  other.Save(dir / "other.dat");
  expectInvalidFile(dir / "other.dat");
}

TEST_F(TemplateFilesTest, ExportThenImportHandsTheServerTheSameContent) {
  info->exportUserData = [] { return userData("凭证"); };
  store::Export((dir / "mine.dat").string());
  platform::DictionaryPtr received;
  EXPECT_CALL(*updates, ImportUserData(_, _)).WillOnce([&](const std::string& props, platform::DictionaryPtr& d) {
    EXPECT_NE(props.find("UserID=16394"), std::string::npos);
    received = d;
  });
  update::DatasUpdate().Import(Variant((dir / "mine.dat").string()));
  ASSERT_TRUE(received);
  auto rs = received->GetValue("DetailFunc").objectAs<platform::Recordset>();
  ASSERT_TRUE(rs);
  rs->MoveFirst();
  EXPECT_EQ(rs->value("FName"), Variant("凭证"));
}

TEST_F(TemplateFilesTest, ExportReplacesAnExistingFileOnlyWithACompleteOne) {
  const fs::path file = dir / "mine.dat";
  info->exportUserData = [] { return userData("旧"); };
  store::Export(file.string());
  const std::string before = readAll(file);

  // The server fails: the old file stays.
  info->exportUserData = nullptr;
  EXPECT_THROW(store::Export(file.string()), AutomationError);
  EXPECT_EQ(readAll(file), before);

  // The dictionary cannot be saved part-way through: the old file stays, and no
  // temporary file is left behind.
  info->exportUserData = [] {
    auto d = userData("新");
    d->SetValue("Bad", Variant(std::make_shared<Unsaveable>()));
    return d;
  };
  EXPECT_THROW(store::Export(file.string()), AutomationError);
  EXPECT_EQ(readAll(file), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  info->exportUserData = [] { return userData("新"); };
  store::Export(file.string());
  EXPECT_NE(readAll(file), before);
}

// A named pipe, a device (through a link) or a folder where the template file
// should be: export refuses and leaves it as it is, import refuses at once
// instead of waiting for a writer, and the server is never asked to import.
TEST_F(TemplateFilesTest, SpecialFilesAreNeitherReplacedNorWaitedOn) {
  EXPECT_CALL(*updates, ImportUserData(_, _)).Times(0);
  info->exportUserData = [] { return userData("凭证"); };
  const fs::path pipe = dir / "pipe.dat", device = dir / "device.dat", folder = dir / "folder.dat";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_symlink("/dev/null", device);
  fs::create_directory(folder);
  const std::pair<fs::path, fs::file_type> specials[] = {
      {pipe, fs::file_type::fifo}, {device, fs::file_type::character}, {folder, fs::file_type::directory}};
  for (const auto& [path, type] : specials) {
    SCOPED_TRACE(path.string());
    for (const auto& attempt : std::vector<std::function<void()>>{
             [&] { store::Export(path.string()); }, [&] { update::DatasUpdate().Import(Variant(path.string())); }}) {
      try {
        attempt();
        ADD_FAILURE() << "accepted";
      } catch (const AutomationError& e) {
        EXPECT_NE(e.description().find("not a regular file"), std::string::npos) << e.description();
      }
    }
    EXPECT_EQ(fs::status(path).type(), type);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << "a temporary file was left";
}
