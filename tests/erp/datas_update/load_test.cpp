// Many client processes change one database at once while reading the tree:
// 16 on a PostgreSQL server, 4 on an SQLite file. Two processes share each user,
// so the same user's rows are changed from two places at the same moment.
// Afterwards every acknowledged change is there, no custom identifier was
// handed out twice, and each user's revision moved exactly once per change of
// their rows. A big import by one user meanwhile fails no other user's change.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "erp/middletier/erp_test_db.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

int processCount() { return onServer() ? 16 : 4; }
constexpr int kChangesPerProcess = 240;
constexpr int32_t kFirstLoadUser = 16385;

int32_t userOf(int proc) { return kFirstLoadUser + proc / 2; }

// Each process renames its own sub-function and sets its own function's help
// code (so the last acknowledged value must be the stored one), creates custom
// functions and appends them to the first favourites group. After each change
// it reads the user's tree and checks that it sees its own change.
// Log lines: "R <subfunc> <name>", "H <func> <code>", "C <id>", "F <id>",
// "E <message>".
int work(const std::filesystem::path& db, int proc, const std::filesystem::path& out) {
  std::ofstream log(out);
  try {
    middletier::ServerDatasUpdate up(db);
    middletier::ServerDataInfo info(db);
    const int32_t user = userOf(proc);
    const std::string p = props(user);
    const int32_t subFunc = proc % 2 ? 101 : 100;
    const int32_t func = proc % 2 ? 10101 : 10001;
    platform::DictionaryPtr none;
    std::string lastStamp;
    for (int i = 0; i < kChangesPerProcess; ++i) {
      std::string expectName;
      switch (i % 4) {
        case 0: {
          int32_t id = subFunc;
          std::string name = "名" + std::to_string(proc) + "_" + std::to_string(i);
          up.UpdateSubSysFuncName(p, id, name);
          log << "R " << subFunc << " " << name << "\n";
          expectName = name;
          break;
        }
        case 1: {
          int32_t id = func;
          const std::string code = "H" + std::to_string(proc) + "X" + std::to_string(i);
          auto d = std::make_shared<platform::Dictionary>();
          d->SetValue("HelpCode", code);
          up.UpdateDetailFuncAttr(p, id, d, false, none);
          log << "H " << func << " " << code << "\n";
          break;
        }
        case 2: {
          auto d = std::make_shared<platform::Dictionary>();
          d->SetValue("NewName", "工具" + std::to_string(proc) + "_" + std::to_string(i));
          d->SetValue("FClassName", "/opt/tool");
          int32_t parent = 100, index = 0;
          bool tpl = false;
          log << "C " << platform::CLng(up.CreateDetailFunc(p, parent, index, d, tpl)) << "\n";
          break;
        }
        default: {
          int32_t id = func, group = -1;
          std::string help, show, name = "常用" + std::to_string(i);
          up.AppendNormalItem(p, id, help, show, name, group);
          log << "F " << id << "\n";
        }
      }
      log.flush();
      // Read the tree back: the version never goes back, and a rename is seen.
      auto data = info.GetUserData(p);
      const std::string stamp = platform::CStr(data->GetValue("TimeStamp"));
      const auto rev = [](const std::string& v) { return std::stoll(v.substr(v.rfind(':') + 1)); };
      if (!lastStamp.empty() && rev(stamp) < rev(lastStamp)) log << "E version went back: " << stamp << "\n";
      lastStamp = stamp;
      if (!expectName.empty()) {
        auto rs = data->GetValue("SubFunc").objectAs<platform::Recordset>();
        bool seen = false;
        for (size_t r = 0; r < rs->storedRowCount(); ++r)
          if (rs->storedValue(r, rs->requireField("FSubFuncID")) == Variant(subFunc))
            seen = rs->storedValue(r, rs->requireField("FFuncName")) == Variant(expectName);
        if (!seen) log << "E rename " << expectName << " not seen by its own process\n";
      }
    }
  } catch (const std::exception& e) {
    log << "E " << e.what() << "\n";
    return 1;
  }
  return 0;
}

class Load : public UpdateTest {
 protected:
  // The first column of the first row of sql with two values bound, as text.
  std::string valueOf(const std::string& sql, int32_t a, int32_t b) {
    auto st = conn().prepare(sql);
    st.bindAll(a, b);
    return st.step() ? st.text(0) : "<none>";
  }
  void addUsers(int count) {
    for (int32_t u = 16388; u < kFirstLoadUser + count; ++u)
      conn().prepare("INSERT INTO t_User(FUserID, FName) VALUES (?, ?)").bindAll(u, "用户" + std::to_string(u)).run();
  }
};

TEST_F(Load, ManyProcessesLoseNoChangeDoubleNoIdAndBumpEachUserOncePerChange) {
  const int processes = processCount();
  addUsers(processes / 2);
  const auto started = std::chrono::steady_clock::now();
  std::vector<pid_t> children;
  for (int proc = 0; proc < processes; ++proc) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(work(path(), proc, folderPath() / ("load" + std::to_string(proc) + ".log")));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a worker failed, see its log";
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  RecordProperty("changes_per_second", std::to_string(processes * kChangesPerProcess / seconds));

  std::set<int32_t> created;
  std::map<int32_t, int64_t> rowChanges;  // per user
  for (int proc = 0; proc < processes; ++proc) {
    const int32_t user = userOf(proc);
    std::ifstream in(folderPath() / ("load" + std::to_string(proc) + ".log"));
    std::string line, lastName, lastCode;
    int32_t subFunc = 0, func = 0;
    std::vector<int32_t> favourites;
    int lines = 0;
    while (std::getline(in, line)) {
      ++lines;
      std::istringstream ls(line);
      std::string kind;
      ls >> kind;
      if (kind == "E") ADD_FAILURE() << "worker " << proc << ": " << line;
      if (kind == "R") ls >> subFunc >> lastName, ++rowChanges[user];
      if (kind == "H") ls >> func >> lastCode, ++rowChanges[user];
      if (kind == "C") {
        int32_t id = 0;
        ls >> id;
        ++rowChanges[user];
        EXPECT_TRUE(created.insert(id).second) << "custom id handed out twice: " << id;
        EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FDetailFuncID = " + std::to_string(id)), 1)
            << "created function " << id << " is not there once";
      }
      if (kind == "F") {
        int32_t id = 0;
        ls >> id;
        favourites.push_back(id);
      }
    }
    EXPECT_EQ(lines, kChangesPerProcess) << "worker " << proc << " acknowledged fewer changes";
    // The last acknowledged value of this process's own nodes is the stored one.
    EXPECT_EQ(valueOf("SELECT FFuncName FROM t_NavUserSubFunc WHERE FUserID = ? AND FSubFuncID = ?", user,
                      subFunc),
              lastName);
    EXPECT_EQ(valueOf("SELECT FHelpCode FROM t_NavUserDetailFunc WHERE FUserID = ? AND FDetailFuncID = ?", user,
                      func),
              lastCode);
    EXPECT_EQ(valueOf("SELECT COUNT(*) FROM t_NavFuncGroupItem i JOIN t_NavFuncGroup g ON g.FFuncGroupID = i.FFuncGroupID "
                      "WHERE g.FUserID = ? AND i.FDetailFuncID = ?",
                      user, func),
              "1");
  }
  // Favourites of one user from two processes: one first group, made once.
  for (int32_t u = kFirstLoadUser; u < kFirstLoadUser + processes / 2; ++u) {
    EXPECT_EQ(valueOf("SELECT COUNT(*) FROM t_NavFuncGroup WHERE FUserID = ? AND FUserID = ?", u, u), "1");
    // Revisions moved exactly once per change of the user's rows (favourites
    // are read live and bump nothing).
    EXPECT_EQ(revision(u), rowChanges[u]) << "user " << u;
  }
  EXPECT_EQ(revision(kAdmin), 0);
  EXPECT_EQ(count("SELECT COUNT(DISTINCT FDetailFuncID) FROM t_NavUserDetailFunc WHERE FDetailFuncID >= 1000000000"),
            static_cast<int64_t>(created.size()));
}

// A template file of many custom functions for one user, in the form
// ExportUserData gives.
platform::DictionaryPtr bigTemplate(middletier::ServerDatasInfo& datas, int functions) {
  auto d = datas.ExportUserData(props(kUserA));
  auto rs = d->GetValue("DetailFunc").objectAs<platform::Recordset>();
  const int n = rs->fieldCount();
  for (int i = 0; i < functions; ++i) {
    std::vector<Variant> row(static_cast<size_t>(n), Variant::null());
    for (int f = 0; f < n; ++f) {
      const std::string name = rs->fieldInfo(f).name;
      if (name == "FUserID") row[f] = Variant(kUserA);
      else if (name == "FSubFuncID") row[f] = Variant(100);
      else if (name == "FDetailFuncID") row[f] = Variant(1500000000 + i);
      else if (name == "FFuncName") row[f] = Variant("导入" + std::to_string(i));
      else if (name == "FIndex") row[f] = Variant(i + 1);
      else if (name == "FVisible" || name == "FEnable") row[f] = Variant(1);
      else if (name == "FClassName") row[f] = Variant("/opt/imported");
    }
    rs->appendStoredRow(std::move(row));
  }
  return d;
}

TEST_F(Load, BigImportDelaysButFailsNoOtherWriter) {
  const int kFunctions = 50000;
  auto file = bigTemplate(datas_, kFunctions);
  const pid_t importer = fork();
  ASSERT_GE(importer, 0);
  if (importer == 0) {
    int code = 0;
    try {
      middletier::ServerDatasUpdate up(path());
      up.ImportUserData(props(kUserA), file);
    } catch (const std::exception& e) {
      std::ofstream(folderPath() / "import.log") << e.what() << "\n";
      code = 1;
    }
    _exit(code);
  }
  // Meanwhile another user changes their rows again and again: every change
  // must succeed (it may wait for the import, never fail).
  middletier::ServerDatasUpdate up(path());
  int changes = 0, failures = 0;
  std::string firstFailure;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(importer, &status, WNOHANG);
    int32_t id = 100;
    std::string name = "改名" + std::to_string(changes);
    try {
      up.UpdateSubSysFuncName(props(kUserB), id, name);
      ++changes;
    } catch (const platform::AutomationError& e) {
      if (failures++ == 0) firstFailure = e.description();
    }
    if (done == importer) break;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the import failed";
  EXPECT_EQ(failures, 0) << firstFailure;
  EXPECT_GE(changes, 1);
  EXPECT_EQ(revision(kUserB), changes);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FUserID = 16385 AND FDetailFuncID >= 1000000000"),
            kFunctions);
}

}  // namespace
}  // namespace wayfind::erp::testing
