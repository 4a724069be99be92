#include "context/language.h"

#include <gtest/gtest.h>

#include "context/save_outcome.h"
#include "erp/api/progids.h"
#include "erp/api/storage_failures.h"
#include "fakes.h"

namespace wayfind::context {
namespace {

using platform::ScopedRegistration;
using platform::ScopedUnregistration;
using platform::sharedFactory;
using platform::Variant;
using testing::countingFactory;
using testing::FakeLangInfo;
using testing::FakeResLoader;

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { LanguageState::instance().reset(); }
  void TearDown() override { LanguageState::instance().reset(); }

  void useLanguage(const std::string& code) { langInfo->code = code; }

  std::shared_ptr<FakeLangInfo> langInfo = std::make_shared<FakeLangInfo>();
  ScopedRegistration langReg{erp::progid::kLangInfo, sharedFactory(langInfo)};
  std::shared_ptr<FakeResLoader> loader = std::make_shared<FakeResLoader>();
  int loadersCreated = 0;
  ScopedRegistration loaderReg{erp::progid::kResLoader, countingFactory(loader, loadersCreated)};
};

TEST_F(LanguageTest, DetectLanguageMapsExactCodesOnly) {
  useLanguage("en");
  EXPECT_EQ(DetectLanguage(), kLangEn);
  useLanguage("cht");
  EXPECT_EQ(DetectLanguage(), kLangCht);
  for (const char* other : {"CHT", "En", "chs", "", "de"}) {
    useLanguage(other);
    EXPECT_EQ(DetectLanguage(), kLangChs) << other;
  }
  ScopedUnregistration noLangInfo(erp::progid::kLangInfo);
  EXPECT_EQ(DetectLanguage(), kLangChs);
}

TEST_F(LanguageTest, LookupsKeepTheFirstLanguageWhileDetectionSeesChanges) {
  useLanguage("en");
  EXPECT_EQ(GetLanguage(), kLangEn);
  useLanguage("cht");
  EXPECT_EQ(GetLanguage(), kLangEn);
  EXPECT_EQ(GetLanguageCode(), "en");
  EXPECT_EQ(DetectLanguage(), kLangCht);

  LanguageState::instance().reset();
  EXPECT_EQ(GetLanguageCode(), "cht");
}

TEST_F(LanguageTest, SimplifiedChineseMakesNoLookupAndCreatesNoLoader) {
  useLanguage("");
  EXPECT_EQ(GetLangText("  名称 "), "  名称 ");
  EXPECT_EQ(GetLangText("名称"), "名称");
  EXPECT_EQ(loadersCreated, 0);
  EXPECT_TRUE(loader->lookups.empty());
}

TEST_F(LanguageTest, SpacesAroundTheTextStayAroundTheTranslation) {
  useLanguage("en");
  loader->translations["名称"] = "Name";
  EXPECT_EQ(GetLangText("  名称 "), "  Name ");
  EXPECT_EQ(GetLangText("名称"), "Name");
  ASSERT_EQ(loader->lookups.size(), 2u);
  EXPECT_EQ(loader->lookups[0], "名称");  // asked with the trimmed text
  EXPECT_EQ(loader->languageId, "en");
  EXPECT_EQ(loader->baseName, "T8Base");
  EXPECT_EQ(loader->resDirectory, "");
  EXPECT_EQ(loadersCreated, 1);  // created once, kept
}

TEST_F(LanguageTest, EmptyAndBlankTextsComeBackWithoutALookup) {
  useLanguage("en");
  EXPECT_EQ(GetLangText(""), "");
  EXPECT_EQ(GetLangText("   "), "   ");
  EXPECT_TRUE(loader->lookups.empty());
  EXPECT_EQ(loadersCreated, 0);
}

TEST_F(LanguageTest, FailedLookupsGiveTheChineseTextAndThrowNothing) {
  useLanguage("cht");
  EXPECT_EQ(GetLangText(" 未翻译 "), " 未翻译 ");  // the loader raises for it
  {
    ScopedUnregistration notInstalled(erp::progid::kResLoader);
    LanguageState::instance().resourceLoader.reset();
    EXPECT_NO_THROW(EXPECT_EQ(GetLangText("名称"), "名称"));
    EXPECT_NO_THROW(EXPECT_EQ(GetLangText("删除"), "删除"));
  }
  // The loader that could not be created is tried again on the next lookup.
  loader->translations["名称"] = "名稱";
  EXPECT_EQ(GetLangText("名称"), "名稱");
  EXPECT_EQ(loader->languageId, "cht");
}

struct RecordingFormatter : erp::api::ITextFormatter {
  std::vector<std::string> templates;
  std::string Format(const std::string& t, const std::vector<Variant>& values) override {
    templates.push_back(t);
    return t + "|" + std::to_string(values.size());
  }
};

TEST_F(LanguageTest, FormatLangTextTranslatesThenFillsThroughOneFormatter) {
  useLanguage("en");
  loader->translations["失败原因：%1"] = "Reason for failure: %1";
  auto formatter = std::make_shared<RecordingFormatter>();
  int formattersCreated = 0;
  // Looked up by its interface identifier.
  ScopedRegistration reg(erp::progid::kFormatter, countingFactory(formatter, formattersCreated),
                         erp::progid::kFormatterInterfaceId);
  EXPECT_EQ(FormatLangText("失败原因：%1", {Variant("x")}), "Reason for failure: %1|1");
  EXPECT_EQ(FormatLangText("失败原因：%1", {}), "Reason for failure: %1|0");
  EXPECT_EQ(formattersCreated, 1);
  EXPECT_EQ(formatter->templates.size(), 2u);
}

TEST_F(LanguageTest, FormatLangTextStillFillsValuesWithoutAFormatter) {
  useLanguage("");
  ScopedUnregistration noFormatter(erp::progid::kFormatter);
  EXPECT_EQ(FormatLangText("用户%1的模板数据引入成功", {Variant("王芳")}), "用户王芳的模板数据引入成功");
  EXPECT_EQ(FormatLangText("%1 and %2", {Variant(int32_t(7))}), "7 and %2");
}

TEST_F(LanguageTest, SaveFailuresAreSaidByKindAndConflictsListedWithTheirValues) {
  useLanguage("");
  ScopedUnregistration noFormatter(erp::progid::kFormatter);
  using platform::AutomationError;
  const int32_t db = erp::api::kDatabaseError;
  const std::pair<AutomationError, std::string> cases[] = {
      {{db, erp::api::kStorageSource, "无法开始写事务: 数据库正忙：database is locked"}, "另一位用户正在保存"},
      {{db, erp::api::kStorageSource, "x: 与数据库服务器的连接已断开，本次操作没有完成"}, "与数据库的连接中断了"},
      {{db, erp::api::kStorageSource, "执行语句失败 [x]: disk I/O error"}, "数据库没能保存"},
      {{db, "ZelWayfind.DatasUpdate", "数据库正忙：不是数据库说的"}, "数据库正忙：不是数据库说的"},
      {{5, "ZelWayfind.DatasUpdate", "只有系统管理员才能这样做。"}, "只有系统管理员才能这样做。"},
  };
  for (const auto& [error, said] : cases) {
    const std::string text = SaveFailureDescription(error);
    EXPECT_EQ(text.rfind(said, 0), 0u) << text;
    EXPECT_EQ(text.find("database"), std::string::npos) << text;
  }

  std::vector<erp::api::SaveConflict> conflicts(10, {"明细功能“凭证查询”", "名称", "他", "我", 1, "NewName", Variant("他")});
  const std::string question = ConflictQuestion(conflicts);
  EXPECT_NE(question.find("明细功能“凭证查询” 的名称：其他用户的是“他”，您的是“我”"), std::string::npos) << question;
  EXPECT_NE(question.find("……另有 2 处"), std::string::npos) << question;
}

}  // namespace
}  // namespace wayfind::context
