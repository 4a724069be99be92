// A session on a PostgreSQL server goes on through a restart of the server and
// through a failover to a promoted standby: a call made while no primary
// answers fails with a clear error after a bounded retry, the next call after
// one is back succeeds, and no acknowledged change is lost. Runs with the
// server half of the tests (WAYFIND_TEST_PG), on a primary and a streaming
// standby of its own (scripts/throwaway_postgres.sh), reached through one
// multi-host URI with target_session_attrs=read-write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "erp/demo/demo_company.h"
#include "erp/middletier/datas_update.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/server_data_info.h"
#include "erp/storage/database.h"
#include "erp/storage/versions.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::testing {
namespace {

namespace fs = std::filesystem;

// Runs a command of the pair's script; its output, or nullopt when it failed.
std::optional<std::string> pair(const std::string& command, const fs::path& dir) {
  const std::string line = "bash '" WAYFIND_SOURCE_DIR "/scripts/throwaway_postgres.sh' " + command + " '" +
                           dir.string() + "' 2>&1";
  FILE* out = ::popen(line.c_str(), "r");
  if (!out) return std::nullopt;
  std::string text;
  std::array<char, 256> buf;
  while (size_t n = std::fread(buf.data(), 1, buf.size(), out)) text.append(buf.data(), n);
  const int status = ::pclose(out);
  if (status != 0) {
    ADD_FAILURE() << command << " failed:\n" << text;
    return std::nullopt;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class ServerFailover : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!onServer()) GTEST_SKIP() << "needs a PostgreSQL server (WAYFIND_TEST_PG)";
    dir_ = fs::temp_directory_path() / ("wayfind-pair-" + std::to_string(::getpid()));
    const auto uri = pair("pair-start", dir_);
    ASSERT_TRUE(uri && uri->rfind("postgresql:///postgres?", 0) == 0) << uri.value_or("");
    storage::Connection::open(*uri)->exec("CREATE DATABASE wayfind_failover TEMPLATE template0 ENCODING 'UTF8'");
    database_ = "postgresql:///wayfind_failover?" + uri->substr(std::string("postgresql:///postgres?").size());
    storage::releaseThreadConnections();
    storage::CurrentDatabase::setDemoSeeder(&demo::loadDemoCompany);
    storage::prepareDatabase(database_, storage::Seed::Demo);
  }
  void TearDown() override {
    storage::CurrentDatabase::reset();
    storage::releaseThreadConnections();
    if (!dir_.empty()) pair("pair-stop", dir_);
  }

  fs::path dir_;
  std::string database_;
};

TEST_F(ServerFailover, ASessionGoesOnThroughARestartAnOutageAndAFailoverLosingNoAcknowledgedChange) {
  const int32_t user = 16385;
  const std::string p = propsFor(user);
  middletier::ServerDatasUpdate up(database_);
  middletier::ServerDataInfo info(database_);
  const int64_t revisionBefore = storage::userRevision(*storage::connectionFor(database_), user);
  int acknowledged = 0;
  // One new profile value each: every acknowledged change is a row of its own
  // and one step of the user's revision.
  auto change = [&] {
    std::string name = "failover" + std::to_string(acknowledged), value = "1";
    up.SetProfileValue(p, name, value);
    ++acknowledged;
  };
  for (int i = 0; i < 5; ++i) change();

  // A restart: the next call connects again by itself.
  ASSERT_TRUE(pair("pair-restart", dir_));
  EXPECT_NO_THROW(change());
  EXPECT_NO_THROW(info.GetUserData(p));

  // No primary at all (the standby only reads): a clear error after the bounded
  // retry, and the session goes on once the primary is back.
  ASSERT_TRUE(pair("pair-stop-primary", dir_));
  try {
    change();
    ADD_FAILURE() << "a change was acknowledged with no primary";
  } catch (const platform::AutomationError& e) {
    EXPECT_NE(e.description().find("无法重新连接"), std::string::npos) << e.description();
  }
  ASSERT_TRUE(pair("pair-start-primary", dir_));
  for (int i = 0; i < 5; ++i) EXPECT_NO_THROW(change());

  // The primary is killed and the standby promoted: the same URI now leads to
  // the new primary, which has every change the old one acknowledged.
  ASSERT_TRUE(pair("pair-failover", dir_));
  for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(change());
  auto conn = storage::connectionFor(database_);
  auto recovery = conn->prepare("SELECT pg_is_in_recovery(), current_setting('port')");
  ASSERT_TRUE(recovery.step());
  EXPECT_EQ(recovery.int64(0), 0);
  EXPECT_EQ(recovery.text(1), "55433") << "not on the promoted standby";
  auto rows = conn->prepare("SELECT COUNT(*) FROM t_NavUserProfile WHERE FUserID = ? AND FName LIKE 'failover%'");
  rows.bind(1, user);
  ASSERT_TRUE(rows.step());
  EXPECT_EQ(rows.int64(0), acknowledged);
  EXPECT_EQ(storage::userRevision(*conn, user), revisionBefore + acknowledged);
}

}  // namespace
}  // namespace wayfind::erp::testing
