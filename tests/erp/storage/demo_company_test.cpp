#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

#include <fstream>
#include <sstream>

#include "erp/demo/demo_company.h"
#include "erp/demo/synthetic_company.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/storage/schema.h"
#include "erp/storage/versions.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::TempDatabase;

namespace {
int64_t scalar(storage::Connection& conn, const std::string& sql) {
  auto st = conn.prepare(sql);
  st.step();
  return st.int64(0);
}
}  // namespace

TEST(DemoCompany, LoadsARealisticTemplateOnFirstOpen) {
  TempDatabase db;
  auto& conn = db.conn();
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavTopClass"), 8);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubSystem"), 40);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubFunc"), 150);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc"), 800);
  // Every function has names in three languages, a help code and a class.
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc WHERE FFuncName = '' OR FFuncName_en = '' "
                         "OR FFuncName_cht = '' OR FHelpCode = '' OR FClassName IS NULL"),
            0);
  // A help code finds one function, and a name never says its last word twice
  // ("账龄分析分析", "Elimination Entry Entry").
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM (SELECT 1 FROM t_NavDetailFunc GROUP BY FHelpCode COLLATE NOCASE "
                         "HAVING COUNT(*) > 1) AS d"),
            0);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc WHERE length(FFuncName) >= 4 AND "
                         "substr(FFuncName, -2) = substr(FFuncName, -4, 2)"),
            0);
  auto names = conn.prepare("SELECT FFuncName_en FROM t_NavDetailFunc");
  while (names.step()) {
    std::istringstream words(names.text(0));
    std::string previous, word;
    while (words >> word) {
      EXPECT_NE(word, previous) << names.text(0);
      previous = word;
    }
  }
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavTopClass WHERE FTopClassName = '我的T/8'"), 1);
  // A user's row that repeats the template's name has none of its own: it
  // follows the template's in every language.
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavUserSubFunc u JOIN t_NavSubFunc t USING (FSubFuncID) "
                         "WHERE u.FFuncName = t.FFuncName"),
            0);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavTopClass WHERE FShowSysType = 2"), 1);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubSystem WHERE FAcctType = ',12,'"), 1);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubSystem WHERE FAcctType = ',1,3,'"), 1);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubFunc WHERE FRefresh = 1"), 1);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubSystem WHERE FRefresh = 1"), 1);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavSubFunc WHERE FSubFuncID IN (750102, 750103, 750104, 7501031)"), 4);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavSubFunc WHERE FSubFuncID BETWEEN 701 AND 799"), 1);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FSubFuncID IN (750102, 7501031, 701)"), 3);
  // The 17 account types, live, with their setup-type numbers.
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavAcctType WHERE FDeleted = 0 AND FAcctType BETWEEN 1 AND 17"), 17);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavAcctType WHERE FNumber IN ('Industry', 'GMPHY', 'XTHY')"), 3);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavProfile WHERE FName IN ('CLICK_ACTIVATE', 'RIGHT_ALIGN', "
                         "'REFRESH_SYS', 'REFRESH_FUNC', 'T8EIS', 'T8HR', 'T8BRIO')"),
            7);
  // Users: a forbidden one, one in two groups, groups below 16384.
  EXPECT_EQ(scalar(conn, "SELECT FForbidden FROM t_User WHERE FUserID = 16388"), 1);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_Group WHERE FUserID = 16386"), 2);
  EXPECT_GE(scalar(conn, "SELECT COUNT(*) FROM t_NavFuncGroup"), 3);
  // Users with own rows have a version of their own.
  EXPECT_GT(storage::userRevision(conn, demo::ids::kZhangWei), 0);
}

TEST(DemoCompany, MalformedFileLoadsNothingAndNamesTheLine) {
  TempDatabase db(storage::Seed::None);
  const auto folder = db.folder() / "bad";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(demo::demoFolder() / "navigation.tsv", folder / "navigation.tsv");
  {
    std::ofstream out(folder / "company.tsv");
    out << "U\t16384\tAdministrator\t0\tok\n";
    out << "U\tnot-a-number\tX\t0\t\n";
  }
  auto& conn = db.conn();
  try {
    demo::loadDemoFiles(conn, folder);
    FAIL();
  } catch (const platform::AutomationError& e) {
    EXPECT_NE(e.description().find("company.tsv"), std::string::npos);
    EXPECT_NE(e.description().find("2"), std::string::npos);
  }
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc"), 0);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_User"), 0);
}

TEST(SyntheticCompany, GeneratesTheRequestedCountsWithConsistentParents) {
  TempDatabase db(storage::Seed::None);
  demo::SyntheticCompanySpec spec;
  spec.topClasses = 5;
  spec.subSystems = 40;
  spec.subFuncs = 300;
  spec.detailFuncs = 3000;
  spec.users = 6;
  spec.userRows = 500;
  demo::generateSyntheticCompany(db.conn(), spec);
  auto& conn = db.conn();
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavTopClass"), 5);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavSubSystem"), 40);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavSubFunc"), 300);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc"), 3000);
  EXPECT_EQ(scalar(conn, "SELECT (SELECT COUNT(*) FROM t_NavUserTopClass) + (SELECT COUNT(*) FROM t_NavUserSubSystem) + "
                         "(SELECT COUNT(*) FROM t_NavUserSubFunc) + (SELECT COUNT(*) FROM t_NavUserDetailFunc)"),
            500);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc d WHERE NOT EXISTS "
                         "(SELECT 1 FROM t_NavSubFunc f WHERE f.FSubFuncID = d.FSubFuncID)"),
            0);
  EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM t_NavDetailFunc WHERE FDetailFuncID >= 1000000000"), 0);
}
