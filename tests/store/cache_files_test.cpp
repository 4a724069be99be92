// Where the cache files go and what they are called.
#include <cstdlib>
#include <fstream>

#include "erp/api/logging.h"
#include "erp/api/message_service.h"
#include "platform/containers/byte_io.h"
#include "platform/containers/checksum.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec.h"
#include "platform/recordset/recordset.h"
#include "store/cache_files.h"
#include "store/loading.h"
#include "store_fixture.h"

namespace wayfind::storetest {
namespace {

namespace fs = std::filesystem;

TEST(AddBackslash, TrimsAndEndsWithOneSlash) {
  EXPECT_EQ(store::AddBackslash(""), "/");
  EXPECT_EQ(store::AddBackslash("  /opt/wayfind  "), "/opt/wayfind/");
  EXPECT_EQ(store::AddBackslash("/opt/wayfind/"), "/opt/wayfind/");
}

TEST(SafeFileNamePart, HostTextCannotLeaveTheFolder) {
  EXPECT_EQ(store::SafeFileNamePart("3F2504E0-4F89-11D3"), "3F2504E0-4F89-11D3");
  EXPECT_EQ(store::SafeFileNamePart("../../etc/passwd"), "______etc_passwd");
  EXPECT_EQ(store::SafeFileNamePart("a\\b\nc\x7f"), "a_b_c_");
  EXPECT_EQ(store::SafeFileNamePart("..."), "__.");
  EXPECT_EQ(store::SafeFileNamePart("中文.id"), "中文.id");
}

TEST(CacheFileNames, CarryLanguageUuidAndUser) {
  EXPECT_EQ(store::TemplateFileName("en", "X1"), "TemplateenX1.dat");
  EXPECT_EQ(store::UserFileName("cht", "X1", 16394), "UserTemplatechtX116394.dat");
  EXPECT_EQ(store::UserFileName("chs", "../x", 5), "UserTemplatechs___x5.dat");
}

class CacheFolderTest : public StoreTest {};

TEST_F(CacheFolderTest, HostileUuidKeepsEveryFileInsideTheCacheFolder) {
  share->values["UUID"] = Variant("/../../escaped");
  store::Initial();
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(cacheDir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Templatechs_______escaped.dat",
                                              "UserTemplatechs_______escaped16394.dat"}));
  EXPECT_FALSE(fs::exists(cacheDir.parent_path().parent_path() / "escaped.dat"));
}

TEST_F(CacheFolderTest, LanguageNamesTheFiles) {
  setLanguage("en");
  store::Initial();
  EXPECT_TRUE(fs::exists(cacheDir / "Templateendemo.dat"));
  EXPECT_TRUE(fs::exists(cacheDir / "UserTemplateendemo16394.dat"));
}

TEST_F(CacheFolderTest, OptionWinsOverEnvironmentAndIsCreatedOnFirstUse) {
  const fs::path fromEnv = cacheDir.parent_path() / "env-folder";
  ::setenv(store::kCacheFolderEnv, fromEnv.c_str(), 1);
  EXPECT_EQ(store::CacheFolder(), store::AddBackslash(cacheDir.string()));
  EXPECT_TRUE(fs::is_directory(cacheDir));

  store::SetCacheFolder("");
  EXPECT_EQ(store::CacheFolder(), store::AddBackslash(fromEnv.string()));
  EXPECT_TRUE(fs::is_directory(fromEnv));
  ::unsetenv(store::kCacheFolderEnv);
}

TEST_F(CacheFolderTest, DefaultIsWayfindTempBesideTheComponentsLibrary) {
  const std::string folder = store::ComponentFolder();
  ASSERT_EQ(folder.back(), '/');
  bool libraryThere = false;
  for (const auto& e : fs::directory_iterator(folder)) {
    libraryThere |= e.path().filename().string().rfind("libwayfind_internal.so", 0) == 0;  // the private core
  }
  EXPECT_TRUE(libraryThere) << folder;

  store::SetCacheFolder("");
  ::unsetenv(store::kCacheFolderEnv);
  const std::string used = store::CacheFolder();
  // Beside the library when that folder can be written, else the user's cache.
  if (::access(folder.c_str(), W_OK) == 0) {
    EXPECT_EQ(used, folder + "WayfindTemp/");
  } else {
    EXPECT_NE(used.find("/wayfind/WayfindTemp/"), std::string::npos) << used;
  }
  fs::remove_all(used);  // leave no folder in the build tree
}

TEST_F(CacheFolderTest, ReadCachedDictionaryAsksTheMessageServiceWhetherTheFileExists) {
  struct NoFiles : erp::api::QuietMessageService {
    int asked = 0;
    bool fileExists(const std::string&) override { return ++asked, false; }
  };
  auto service = std::make_shared<NoFiles>();
  fs::create_directories(cacheDir);
  const std::string file = (cacheDir / "Templatechsdemo.dat").string();
  emptyTemplate("T1")->Save(file);
  auto previous = erp::api::installMessageService(service);
  EXPECT_EQ(store::ReadCachedDictionary("Template", "T1", file), nullptr);
  erp::api::installMessageService(previous);
  EXPECT_EQ(service->asked, 1);
  EXPECT_NE(store::ReadCachedDictionary("Template", "T1", file), nullptr);
  EXPECT_EQ(store::ReadCachedDictionary("Template", "T2", file), nullptr);
}

// A cache file as earlier builds wrote it (format version 1: record sets row by
// row), stamped with version.
std::string version1CacheFile(const std::string& version) {
  using platform::fileformat::ByteWriter;
  using platform::fileformat::Tag;
  std::string content;
  ByteWriter w(content);
  w.u32(2);
  w.u32(9);
  w.bytes("TimeStamp");
  w.u8(static_cast<uint8_t>(Tag::String));
  w.u32(static_cast<uint32_t>(version.size()));
  w.bytes(version);
  w.u32(8);
  w.bytes("TopClass");
  w.u8(static_cast<uint8_t>(Tag::Recordset));
  w.u8(1);
  w.u32(1);
  w.u32(11);
  w.bytes("FTopClassID");
  w.u32(static_cast<uint32_t>(DataType::Integer));
  w.u32(4);
  w.u32(0);
  w.u16(0);  // precision, scale
  w.u32(1);
  w.u8(static_cast<uint8_t>(Tag::Long));
  w.u32(7);
  std::string file(platform::fileformat::kMagic, sizeof platform::fileformat::kMagic);
  ByteWriter h(file);
  h.u32(1);
  h.u32(platform::crc32(content));
  h.u64(content.size());
  return file + content;
}

uint32_t formatVersionOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(platform::fileformat::kHeaderSize, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  platform::fileformat::Header header;
  platform::fileformat::readHeader(head, header);
  return header.version;
}

TEST_F(CacheFolderTest, ACacheFileOfAnEarlierFormatIsWrittenAgainInTheCurrentOneWhenItIsUsed) {
  fs::create_directories(cacheDir);
  const fs::path file = cacheDir / "Templatechsdemo.dat";
  std::ofstream(file, std::ios::binary) << version1CacheFile("T1");
  ASSERT_EQ(formatVersionOf(file), 1u);
  // A file of another version is not used, and not touched.
  EXPECT_EQ(store::ReadCachedDictionary("Template", "T2", file.string()), nullptr);
  EXPECT_EQ(formatVersionOf(file), 1u);
  auto dict = store::ReadCachedDictionary("Template", "T1", file.string());
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(formatVersionOf(file), platform::fileformat::kFormatVersion);
  auto again = store::ReadCachedDictionary("Template", "T1", file.string());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->LoadedFormatVersion(), platform::fileformat::kFormatVersion);
  auto table = again->GetValue("TopClass").objectAs<platform::Recordset>();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->storedValue(0, 0), Variant(int32_t{7}));
}

// The call log: Initial writes its start and end entries.
class RecordingLog : public erp::api::ILog {
 public:
  std::vector<std::string> entries;
  Variant IsEnabled() override { return Variant(true); }
  Variant LogStart(std::string& name) override {
    entries.push_back("start " + name);
    return Variant(int32_t{41});
  }
  void LogEnd(int32_t& handle, int32_t& code) override {
    entries.push_back("end " + std::to_string(handle) + " " + std::to_string(code));
  }
};

TEST_F(CacheFolderTest, InitialIsLogged) {
  auto log = std::make_shared<RecordingLog>();
  platform::ScopedRegistration reg(erp::progid::kLog, platform::sharedFactory(log));
  store::CallLogState::instance().reset();
  store::Initial();
  EXPECT_EQ(log->entries, (std::vector<std::string>{"start WayfindInfo.DataInfo.Initial", "end 41 0"}));
  store::CallLogState::instance().reset();
}

}  // namespace
}  // namespace wayfind::storetest
