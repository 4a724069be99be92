// Four processes change one database file at once, for two users.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

constexpr int kProcesses = 4;
constexpr int kChanges = 200;

int64_t revisionOf(const std::string& version) { return std::stoll(version.substr(version.rfind(':') + 1)); }

// One worker: kChanges changes alternating between A and B; after each it reads
// the changed user's version text. Writes "V <user> <text>" and "C <id>" lines.
int work(const std::filesystem::path& db, int proc, const std::filesystem::path& out) {
  std::ofstream log(out);
  try {
    middletier::ServerDatasUpdate up(db);
    middletier::ServerDataInfo info(db);
    std::map<int32_t, int64_t> last;
    platform::DictionaryPtr none;
    for (int i = 0; i < kChanges; ++i) {
      const int32_t user = i % 2 ? kUserB : kUserA;
      const std::string p = props(user);
      switch ((i / 2) % 4) {
        case 0: {
          std::string name = "P" + std::to_string(proc) + "_" + std::to_string(i), value = "v";
          up.SetProfileValue(p, name, value);
          break;
        }
        case 1: {
          int32_t id = 10001;
          auto d = std::make_shared<platform::Dictionary>();
          d->SetValue("Index", proc * 1000 + i);
          up.UpdateDetailFuncAttr(p, id, d, false, none);
          break;
        }
        case 2: {
          auto d = std::make_shared<platform::Dictionary>();
          d->SetValue("NewName", "工具" + std::to_string(i));
          d->SetValue("FClassName", "/opt/tool");
          int32_t sub = 100, index = 0;
          bool tpl = false;
          log << "C " << platform::CLng(up.CreateDetailFunc(p, sub, index, d, tpl)) << "\n";
          break;
        }
        default: {
          int32_t id = 100;
          std::string name = "名" + std::to_string(proc) + "_" + std::to_string(i);
          up.UpdateSubSysFuncName(p, id, name);
        }
      }
      const std::string version = info.GetUserTemplateVer(p);
      const int64_t rev = revisionOf(version);
      if (rev < last[user]) {
        log << "E version went back: " << version << "\n";
        return 2;
      }
      last[user] = rev;
      log << "V " << user << " " << version << "\n";
    }
  } catch (const std::exception& e) {
    log << "E " << e.what() << "\n";
    return 1;
  }
  return 0;
}

class Concurrency : public UpdateTest {};

TEST_F(Concurrency, FourProcessesLoseNoChangeAndSeeVersionsOnlyGrow) {
  std::vector<pid_t> children;
  for (int proc = 0; proc < kProcesses; ++proc) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(work(path(), proc, folderPath() / ("worker" + std::to_string(proc) + ".log")));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "worker failed, see its log";
  }
  const int64_t finalA = revision(kUserA), finalB = revision(kUserB);
  // Every change bumped its user exactly once.
  EXPECT_EQ(finalA + finalB, kProcesses * kChanges);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile"), kProcesses * kChanges / 4);
  EXPECT_EQ(count("SELECT COUNT(DISTINCT FDetailFuncID) FROM t_NavUserDetailFunc WHERE FDetailFuncID >= 1000000000"),
            kProcesses * kChanges / 4);

  const std::string prefix = info_.GetTemplateVer(props(kUserA)).substr(2);  // "<instance>:<rev>"
  std::set<int32_t> created;
  for (int proc = 0; proc < kProcesses; ++proc) {
    std::ifstream in(folderPath() / ("worker" + std::to_string(proc) + ".log"));
    std::string line;
    int versions = 0;
    while (std::getline(in, line)) {
      std::istringstream ls(line);
      std::string kind;
      ls >> kind;
      if (kind == "E") ADD_FAILURE() << "worker " << proc << ": " << line;
      if (kind == "C") {
        int32_t id = 0;
        ls >> id;
        EXPECT_TRUE(created.insert(id).second) << "id handed out twice: " << id;
      }
      if (kind == "V") {
        int32_t user = 0;
        std::string text;
        ls >> user >> text;
        ++versions;
        EXPECT_EQ(text.rfind("U:" + prefix + ":" + std::to_string(user) + ":", 0), 0u) << text;
        const int64_t rev = revisionOf(text);
        EXPECT_GE(rev, 1);
        EXPECT_LE(rev, user == kUserA ? finalA : finalB) << text;
      }
    }
    EXPECT_EQ(versions, kChanges);
  }
  EXPECT_EQ(created.size(), static_cast<size_t>(kProcesses * kChanges / 4));
}

}  // namespace
}  // namespace wayfind::erp::testing
