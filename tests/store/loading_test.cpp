// Loading the store: cache hits and misses, the kept tables of an unchanged
// version, missing keys, failures, the user id and the cache file names.
#include <algorithm>
#include <fstream>

#include "platform/automation/conversions.h"

#include "erp/api/logging.h"
#include "store/cache_files.h"
#include "store/datas_info.h"
#include "store/loading.h"
#include "store/queries.h"
#include "store/search.h"
#include "store_fixture.h"

namespace wayfind::storetest {
namespace {

namespace fs = std::filesystem;
using store::DataInfo;

class LoadingTest : public StoreTest {
 protected:
  fs::path userFile() const { return cacheDir / "UserTemplatechsdemo16394.dat"; }
};

TEST_F(LoadingTest, SecondProcessTakesBothDictionariesFromTheCacheFiles) {
  addRow(tableOf(templ(), "TopClass"), {{"FTopClassID", 1}, {"FTopClassName", "财务"}, {"FVisible", 1}, {"FAcctType", ""}});
  store::Initial();
  EXPECT_EQ(server->templateCalls, 1);
  EXPECT_EQ(server->userCalls, 1);
  EXPECT_TRUE(fs::exists(cacheDir / "Templatechsdemo.dat"));
  EXPECT_TRUE(fs::exists(userFile()));

  newProcess();
  server->templateDict.reset();  // a server call would now fail the load
  server->userDict.reset();
  store::Initial();
  EXPECT_EQ(server->dictionaryCalls(), 2);
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), std::vector<int32_t>{1});
}

TEST_F(LoadingTest, TimeStampDifferingOnlyInLetterCaseIsOutOfDate) {
  store::Initial();
  newProcess();
  server->templateVersion = "t1";
  templ()->SetValue("TimeStamp", Variant("t1"));
  store::Initial();
  EXPECT_EQ(server->templateCalls, 2);
  EXPECT_EQ(server->userCalls, 1);
}

TEST_F(LoadingTest, CorruptOrTruncatedCacheFileSilentlyLeadsToTheServer) {
  store::Initial();
  const fs::path file = cacheDir / "Templatechsdemo.dat";
  const auto size = fs::file_size(file);

  fs::resize_file(file, size / 2);
  newProcess();
  store::Initial();
  EXPECT_EQ(server->templateCalls, 2);
  EXPECT_EQ(fs::file_size(file), size) << "the file is written again";

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "not a dictionary";
  newProcess();
  store::Initial();
  EXPECT_EQ(server->templateCalls, 3);
  EXPECT_FALSE(DataInfo::instance().anySlotEmpty());
}

TEST_F(LoadingTest, DamageAQueryOrASearchMeetsInACacheFileIsFetchedAgainAndAnswered) {
  // Enough rows that the damaged name lies in a block of cells alone, which
  // loading does not read.
  auto det = tableOf(templ(), "DetailFunc");
  auto profile = tableOf(user(), "Profile");
  for (int i = 1; i <= 20000; ++i) {
    addRow(det, {{"FDetailFuncID", i}, {"FSubFuncID", 1 + i / 100}, {"FFuncName", "功能" + std::to_string(100000 + i)},
                 {"FShowName", "F"}, {"FIndex", i}, {"FVisible", 1}, {"FAcctType", ""}, {"FFuncType", 0}});
    addRow(profile, {{"FName", "SETTING" + std::to_string(100000 + i)}, {"FValue", "value"}});
  }
  store::Initial();
  enum class Reader { Query, Search, Setting };
  for (Reader reader : {Reader::Query, Reader::Search, Reader::Setting}) {
    SCOPED_TRACE(static_cast<int>(reader));
    const bool setting = reader == Reader::Setting;
    const fs::path file = setting ? userFile() : cacheDir / "Templatechsdemo.dat";
    std::string bytes;
    {
      std::ifstream in(file, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t at = bytes.find(setting ? "SETTING110000" : "功能110000");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 8] ^= 0x01;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

    newProcess();
    store::DatasInfo datas;  // loads the damaged file: its names are not read yet
    const int calls = setting ? server->userCalls : server->templateCalls;
    if (reader == Reader::Search) {
      EXPECT_NO_THROW(store::SearchFunctions("功能110000", 5));  // reads every name to make the index
    } else if (setting) {
      // A setting never fails, but it must not read as unset for damage it can recover from.
      EXPECT_EQ(datas.GetProfileValue("SETTING120000"), "value");
    } else {
      auto rs = datas.GetDetailFunc(101);
      std::vector<std::string> names;
      for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) names.push_back(platform::CStr(rs->value("FFuncName")));
      EXPECT_NE(std::find(names.begin(), names.end(), "功能110000"), names.end());
    }
    EXPECT_EQ(setting ? server->userCalls : server->templateCalls, calls + 1) << "fetched again";
    platform::Dictionary again;
    EXPECT_TRUE(again.Load(file)) << "the file is written again, intact";
  }
}

TEST_F(LoadingTest, EachDamagedFileIsForgottenOnceAndTheSameDamageTwiceReachesTheCaller) {
  // The template's file and then the user's, met by one operation.
  int runs = 0;
  const std::vector<std::string> damaged = {(cacheDir / "a.dat").string(), (cacheDir / "b.dat").string()};
  EXPECT_EQ(store::AfterDamageForgotten([&] {
              if (runs < 2) throw platform::DamagedFileError(damaged[runs++], "test");
              return ++runs;
            }),
            3);
  runs = 0;
  EXPECT_THROW(store::AfterDamageForgotten([&]() -> int {
                 ++runs;
                 throw platform::DamagedFileError(damaged[0], "test");
               }),
               platform::DamagedFileError);
  EXPECT_EQ(runs, 2);
}

TEST_F(LoadingTest, FailedSaveStillUsesTheLoadedDictionary) {
  // A folder where the file should be: the file test says no, the save fails.
  fs::create_directories(cacheDir / "Templatechsdemo.dat");
  addRow(tableOf(templ(), "TopClass"), {{"FTopClassID", 3}, {"FVisible", 1}, {"FAcctType", ""}});
  store::Initial();
  EXPECT_EQ(ids(store::GetTopClass(), "FTopClassID"), std::vector<int32_t>{3});
  newProcess();
  store::Initial();
  EXPECT_EQ(server->templateCalls, 2);
}

TEST_F(LoadingTest, UnusableCacheFolderLeavesTheServerAsTheOnlySource) {
  std::ofstream(cacheDir.parent_path() / "plain-file") << "x";
  store::SetCacheFolder((cacheDir.parent_path() / "plain-file").string());
  store::Initial();
  EXPECT_FALSE(DataInfo::instance().anySlotEmpty());
  EXPECT_EQ(server->dictionaryCalls(), 2);
}

TEST_F(LoadingTest, UnchangedVersionsKeepTheTablesAndReadNoFile) {
  store::Initial();
  auto& s = DataInfo::instance();
  const auto topClass = s.templ.TopClass;
  const auto userDetail = s.user.DetailFunc;
  fs::remove_all(cacheDir);  // nothing left to read

  store::Initial();
  EXPECT_EQ(s.templ.TopClass, topClass);
  EXPECT_EQ(s.user.DetailFunc, userDetail);
  EXPECT_EQ(server->dictionaryCalls(), 2);
  EXPECT_EQ(server->templateVerCalls, 2);
  EXPECT_EQ(server->userVerCalls, 2);

  // A new user version is fetched; the template stays.
  server->userVersion = "U2";
  user()->SetValue("TimeStamp", Variant("U2"));
  store::Initial();
  EXPECT_EQ(server->userCalls, 2);
  EXPECT_EQ(server->templateCalls, 1);
  EXPECT_NE(s.user.DetailFunc, userDetail);
  EXPECT_EQ(s.templ.TopClass, topClass);
}

TEST_F(LoadingTest, AnotherLoginIsNotServedTheKeptTables) {
  store::Initial();
  setProps("UserID=77;Language=chs");
  store::Initial();
  EXPECT_EQ(server->userCalls, 2);
  EXPECT_EQ(server->templateCalls, 1) << "the template comes from its file";
  EXPECT_TRUE(fs::exists(cacheDir / "UserTemplatechsdemo77.dat"));
}

TEST_F(LoadingTest, ClearCacheForgetsTheVersionsAndTheNextQueryLoads) {
  store::Initial();
  const auto before = DataInfo::instance().templ.TopClass;
  store::ClearCache();
  EXPECT_TRUE(DataInfo::instance().anySlotEmpty());
  store::GetTopClass();
  EXPECT_EQ(server->templateCalls, 1) << "reloaded from the cache file";
  EXPECT_NE(DataInfo::instance().templ.TopClass, before);
  EXPECT_FALSE(DataInfo::instance().anySlotEmpty());
}

TEST_F(LoadingTest, TemplateWithoutAcctTypeLeavesTheSlotEmptyAndEveryQueryLoadsAgain) {
  templ()->Remove("AcctType");
  store::ClearCache();
  store::GetTopClass();
  EXPECT_EQ(DataInfo::instance().templ.AcctType, nullptr);
  EXPECT_NE(DataInfo::instance().templ.TopClass, nullptr);
  const int versionCalls = server->templateVerCalls;
  store::GetTopClass();
  store::GetSubFunc(1);
  EXPECT_EQ(server->templateVerCalls, versionCalls + 2);
}

TEST_F(LoadingTest, MissingKeyKeepsTheSlotItHadBefore) {
  store::Initial();
  const auto profile = DataInfo::instance().templ.Profile;
  auto next = emptyTemplate("T2");
  next->Remove("Profile");
  templ() = next;
  server->templateVersion = "T2";
  store::Initial();
  EXPECT_EQ(DataInfo::instance().templ.Profile, profile);
}

TEST_F(LoadingTest, ServerFailureReachesTheCallerAndLeavesTheSlots) {
  store::Initial();
  const auto topClass = DataInfo::instance().templ.TopClass;
  platform::ScopedUnregistration gone(erp::progid::kServerDataInfo);
  store::ClearCache();
  try {
    store::GetTopClass();
    FAIL() << "expected the missing server to fail the query";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kCantCreateObject);
  }
  EXPECT_TRUE(DataInfo::instance().anySlotEmpty());
  (void)topClass;
}

TEST_F(LoadingTest, ServerDictionaryWithAnotherTimeStampIsNeverAHit) {
  templ()->SetValue("TimeStamp", Variant("other"));
  store::Initial();
  newProcess();
  store::Initial();
  EXPECT_EQ(server->templateCalls, 2);
}

// ---- the user's cache file ----

TEST(UserIdFromProps, FindsTheEntryNamedExactlyUserID) {
  using store::UserIdFromProps;
  EXPECT_EQ(UserIdFromProps("UserName=a;UserID=16394;Language=chs"), 16394);
  EXPECT_EQ(UserIdFromProps(" UserID = 12 ;x=1"), 12);
  EXPECT_EQ(UserIdFromProps("Conn={a=1;b=2};UserID=5"), 5);
  EXPECT_EQ(UserIdFromProps("Conn={a=1;UserID=9} junk;UserID=5"), 5);
  EXPECT_EQ(UserIdFromProps("UserID={ 31 }"), 31);
  EXPECT_EQ(UserIdFromProps("XUserID=4;UserID=6"), 6);
  EXPECT_EQ(UserIdFromProps("UserID=8"), 8);
}

TEST(UserIdFromProps, NoEntryEndsAtTheEndOfTheText) {
  using store::UserIdFromProps;
  EXPECT_EQ(UserIdFromProps(""), std::nullopt);
  EXPECT_EQ(UserIdFromProps("userid=5;USERID=6"), std::nullopt);
  EXPECT_EQ(UserIdFromProps("a=1;b=2;"), std::nullopt);
  EXPECT_EQ(UserIdFromProps("no separators at all"), std::nullopt);
  EXPECT_EQ(UserIdFromProps("Conn={never closed;UserID=5"), std::nullopt);
}

TEST(UserIdFromProps, ValueThatIsNotANumberIsATypeMismatch) {
  try {
    store::UserIdFromProps("UserID=abc");
    FAIL();
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kTypeMismatch);
  }
}

TEST_F(LoadingTest, WithoutUserIdNoUserCacheFileIsReadOrWritten) {
  // Files another login could have left under a shared name are not read.
  auto planted = emptyUserData("U1");
  addRow(tableOf(planted, "TopClass"), {{"FTopClassID", 99}, {"FVisible", 1}});
  fs::create_directories(cacheDir);
  planted->Save(cacheDir / "UserTemplatechsdemo.dat");
  planted->Save(cacheDir / "UserTemplatechsdemo0.dat");

  setProps("UserName=a;Language=chs");
  store::Initial();
  EXPECT_TRUE(ids(store::GetTopClass_All(), "FTopClassID").empty());
  store::Initial();
  EXPECT_EQ(server->userCalls, 2) << "every load asks the server";
  for (const auto& entry : fs::directory_iterator(cacheDir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("UserTemplate", 0) == 0) {
      EXPECT_TRUE(name == "UserTemplatechsdemo.dat" || name == "UserTemplatechsdemo0.dat") << name;
    }
  }
  EXPECT_EQ(fs::file_size(cacheDir / "UserTemplatechsdemo.dat"),
            fs::file_size(cacheDir / "UserTemplatechsdemo0.dat"))
      << "the planted files are not overwritten";
}

}  // namespace
}  // namespace wayfind::storetest
