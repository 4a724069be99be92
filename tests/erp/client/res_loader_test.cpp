#include "erp/client/res_loader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "context/language.h"
#include "erp/client/lang_info.h"
#include "erp/client/register_client.h"
#include "erp/client/text_formatter.h"
#include "erp/text/translation_table.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::client {
namespace {

namespace fs = std::filesystem;
using platform::AutomationError;
using namespace text;
using platform::Variant;

TranslationTable parse(const std::string& text) {
  std::istringstream in(text);
  return TranslationTable::parse(in, "t.tsv");
}

std::string parseError(const std::string& text) {
  try {
    parse(text);
  } catch (const AutomationError& e) {
    return e.description();
  }
  return "no error";
}

TEST(TranslationTable, ReadsTheFileFormat) {
  auto table = parse("\xEF\xBB\xBF# comment\r\n名称\tName\r\n\n删除\tDe\\tlete\\\\\n空\t\n");
  ASSERT_EQ(table.entries().size(), 3u);
  EXPECT_EQ(*table.find("名称"), "Name");
  EXPECT_EQ(*table.find("删除"), "De\tlete\\");
  EXPECT_EQ(*table.find("空"), "");
  EXPECT_EQ(table.find("# comment"), nullptr);
  EXPECT_EQ(table.find("未知"), nullptr);
}

TEST(TranslationTable, RefusesMalformedFilesNamingTheLine) {
  EXPECT_EQ(parseError("名称\tName\n删除 Delete\n"), "t.tsv:2: no tab between the text and its translation");
  EXPECT_EQ(parseError("名称\tName\n名称\tTitle\n"), "t.tsv:2: the text has a translation already");
  EXPECT_EQ(parseError("\tName\n"), "t.tsv:1: empty text");
  EXPECT_EQ(parseError("名称\tName\n 确定 \tOK\n"), "t.tsv:2: spaces around the text");
  EXPECT_NE(parseError("名称\tNa\\me\n").find("t.tsv:1: unknown escape"), std::string::npos);
}

TEST(TranslationTable, FileNamesStayInsideTheFolder) {
  EXPECT_EQ(translationFile("/r/lang", "T8Base", "en"), fs::path("/r/lang/T8Base.en.tsv"));
  EXPECT_THROW(translationFile("/r/lang", "T8Base", "../../etc/passwd"), AutomationError);
  EXPECT_THROW(translationFile("/r/lang", "a/b", "en"), AutomationError);
  EXPECT_THROW(translationFile("/r/lang", "T8Base", ""), AutomationError);
}

class ResLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("wayfind-res-" + std::to_string(::getpid()));
    fs::create_directories(root / "lang");
    write("T8Base.en.tsv", "名称\tName\n");
    setResourceFolder(root);
    TranslationCache::instance().reset();
  }
  void TearDown() override {
    setResourceFolder({});
    TranslationCache::instance().reset();
    fs::remove_all(root);
  }
  void write(const std::string& name, const std::string& text, const fs::path& folder = {}) {
    std::ofstream(folder.empty() ? root / "lang" / name : folder / name) << text;
  }
  int32_t errorNumber(ResLoader& loader, const std::string& text) {
    try {
      loader.LoadString(text);
    } catch (const AutomationError& e) {
      return e.number();
    }
    return 0;
  }

  fs::path root;
};

TEST_F(ResLoaderTest, TranslatesOrRaises) {
  ResLoader loader;
  loader.setResFileBaseName("T8Base");
  loader.setLanguageID("en");
  EXPECT_EQ(loader.LoadString("名称"), "Name");
  EXPECT_EQ(errorNumber(loader, "删除"), kResourceNotFound);
  EXPECT_EQ(errorNumber(loader, " 名称"), kResourceNotFound);  // keys are the trimmed texts
  loader.setLanguageID("cht");  // no table for it
  EXPECT_EQ(errorNumber(loader, "名称"), platform::err::kFileError);
}

TEST_F(ResLoaderTest, TablesAreReadOncePerProcess) {
  ResLoader loader;
  loader.setLanguageID("en");
  EXPECT_EQ(loader.LoadString("名称"), "Name");
  write("T8Base.en.tsv", "名称\tTitle\n");
  EXPECT_EQ(ResLoader().tableFolder(), root / "lang");
  ResLoader again;
  again.setLanguageID("en");
  EXPECT_EQ(again.LoadString("名称"), "Name");
  TranslationCache::instance().reset();
  EXPECT_EQ(again.LoadString("名称"), "Title");
}

TEST_F(ResLoaderTest, ResDirectoryIsUsedWhenNoFolderWasNamed) {
  const char* env = std::getenv("WAYFIND_RESOURCES");
  const std::string savedEnv = env ? env : "";
  ::unsetenv("WAYFIND_RESOURCES");
  setResourceFolder({});
  const fs::path own = root / "own";
  fs::create_directories(own);
  write("T8Base.en.tsv", "名称\tOwn name\n", own);
  ResLoader loader;
  loader.setResDirectory(own.string());
  loader.setLanguageID("en");
  EXPECT_EQ(loader.LoadString("名称"), "Own name");
  ResLoader byDefault;  // the source tree's tables
  byDefault.setLanguageID("en");
  EXPECT_EQ(byDefault.LoadString("名称"), "Name");
  if (env) ::setenv("WAYFIND_RESOURCES", savedEnv.c_str(), 1);
}

// The component side with the real services: a lookup in English and in
// traditional Chinese, the formatter filling the translated template.
TEST(ClientLanguageServices, TranslateTheComponentsTexts) {
  registerClientComponents();
  setResourceFolder({});
  TranslationCache::instance().reset();
  for (auto [code, name, reason] :
       {std::tuple{"en", "  Name ", "Reason for failure: disk full"}, {"cht", "  名稱 ", "失敗原因：disk full"}}) {
    setLoginLanguage(code);
    context::LanguageState::instance().reset();
    EXPECT_EQ(context::GetLangText("  名称 "), name);
    EXPECT_EQ(context::FormatLangText("失败原因：%1", {Variant("disk full")}), reason);
    EXPECT_EQ(context::GetLangText("没有这个文本"), "没有这个文本");
  }
  resetLoginLanguage();
  context::LanguageState::instance().reset();
}

TEST(TextFormatter, FillsNumberedPlaceholders) {
  TextFormatter f;
  EXPECT_EQ(f.Format("用户%1的模板数据引入成功", {Variant("王芳")}), "用户王芳的模板数据引入成功");
  EXPECT_EQ(f.Format("%2-%1-%3", {Variant(int32_t(1)), Variant(true)}), "True-1-%3");
  EXPECT_EQ(f.Format("%1%", {Variant("%2"), Variant("x")}), "%2%");  // values are not scanned again
  EXPECT_EQ(f.Format("100%0 %a %9", {Variant::null()}), "100%0 %a %9");
  EXPECT_EQ(f.Format("[%1]", {Variant::null()}), "[]");
  EXPECT_EQ(f.Format("%10", {Variant("a")}), "a0");
}

}  // namespace
}  // namespace wayfind::erp::client
