// Several processes on one database file: they read and bump versions at once;
// nobody sees an error, a version nobody wrote, or a version going backwards.
#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "erp/demo/demo_company.h"
#include "erp/middletier/erp_test_db.h"
#include "erp/middletier/server_data_info.h"
#include "erp/storage/versions.h"

using namespace wayfind;
using namespace wayfind::erp;
using erp::testing::TempDatabase;

namespace {

constexpr int kProcesses = 4;
constexpr int kRounds = 60;

// Runs in the child; the exit code tells the parent what went wrong.
int hammer(const std::filesystem::path& path, int32_t userId) {
  try {
    storage::releaseThreadConnections();
    auto conn = storage::connectionFor(path);
    middletier::ServerDataInfo server(path);
    const std::string props = "UserID=" + std::to_string(userId);
    int64_t lastSeen = 0;
    std::string prefix;
    for (int i = 0; i < kRounds; ++i) {
      {
        storage::Transaction tx(*conn);
        const int64_t now = storage::bumpUserRevision(*conn, userId);
        if (now <= lastSeen) return 3;
        lastSeen = now;
        tx.commit();
      }
      const std::string text = server.GetUserTemplateVer(props);
      // "U:<instance>:<template>:<user>:<revision>"
      const int64_t read = std::stoll(text.substr(text.rfind(':') + 1));
      if (read < lastSeen || read > kProcesses * kRounds) return 4;
      lastSeen = read;
      if (i % 10 == 0) {
        auto dict = server.GetUserData(props);
        if (!dict->Lookup("TimeStamp")) return 5;
      }
    }
    return 0;
  } catch (const std::exception& e) {
    fprintf(stderr, "child failed: %s\n", e.what());
    return 2;
  }
}

}  // namespace

TEST(StorageConcurrency, FourProcessesReadAndBumpOneFile) {
  TempDatabase db;
  const int32_t user = demo::ids::kWangFang;
  {
    auto& conn = db.conn();
    conn.prepare("DELETE FROM t_NavVersion WHERE FUserID = ?").bind(1, user).run();
  }
  storage::releaseThreadConnections();  // no SQLite handle may cross the fork

  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(hammer(db.path(), user));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "child " << pid;
  }
  // Every bump of every process counted exactly once.
  EXPECT_EQ(storage::userRevision(db.conn(), user), kProcesses * kRounds);
}
