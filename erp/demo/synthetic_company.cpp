#include "erp/demo/synthetic_company.h"

#include <functional>
#include <random>
#include <string>

#include "erp/storage/database.h"
#include "erp/storage/storage_error.h"
#include "erp/storage/versions.h"

namespace wayfind::erp::demo {

namespace {

constexpr const char* kSource = "WayfindDemo.Synthetic";
const char* const kAcctLists[] = {"", "", "", "", ",1,", ",12,", ",1,3,", ",2,16,"};

std::string idText(const char* prefix, int64_t id) { return std::string(prefix) + std::to_string(id); }

// Sub-function ids start above the user-owned folder ranges' lower ids.
int32_t subFuncId(int32_t f) { return 1000 + f; }

using Pick = std::function<int32_t(int32_t)>;

void checkSizes(const SyntheticCompanySpec& spec) {
  if (spec.topClasses < 1 || spec.subSystems < spec.topClasses || spec.subFuncs < spec.subSystems ||
      spec.detailFuncs < spec.subFuncs || spec.users < 1 || spec.userRows < 0)
    storage::raiseRefused(kSource, "每一层至少要有上一层那么多节点，且至少一个用户。");
  if (spec.topClasses > 999 || spec.subSystems > 99999 || spec.subFuncs > 9999999)
    storage::raiseRefused(kSource, "模板节点数超出了标识范围。");
}

// The template's four levels.
void insertTemplate(storage::Connection& conn, const SyntheticCompanySpec& spec, const Pick& pick) {
  auto top = conn.prepare(
      "INSERT INTO t_NavTopClass(FTopClassID, FTopClassName, FTopClassName_en, FTopClassName_cht, FIndex, FAcctType) "
      "VALUES (?, ?, ?, ?, ?, ?)");
  for (int32_t t = 1; t <= spec.topClasses; ++t) {
    top.bindAll(t, idText("大类", t), idText("Class ", t), idText("大類", t), t, "").run();
    top.reset();
  }
  // Parents are dealt round-robin, so every parent has children and ids are dense.
  auto sys = conn.prepare(
      "INSERT INTO t_NavSubSystem(FSubSysID, FTopClassID, FName, FName_en, FName_cht, FIndex, FAcctType, FRefresh, "
      "FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int32_t s = 1; s <= spec.subSystems; ++s) {
    sys.bindAll(s, (s - 1) % spec.topClasses + 1, idText("系统", s), idText("System ", s), idText("系統", s),
                (s - 1) / spec.topClasses + 1, kAcctLists[pick(8)], pick(10) == 0 ? 1 : 0, idText("Synth.Sys", s))
        .run();
    sys.reset();
  }
  auto sub = conn.prepare(
      "INSERT INTO t_NavSubFunc(FSubFuncID, FSubSysID, FFuncName, FFuncName_en, FFuncName_cht, FIndex, FAcctType, "
      "FRefresh, FSetEnable, FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int32_t f = 1; f <= spec.subFuncs; ++f) {
    sub.bindAll(subFuncId(f), (f - 1) % spec.subSystems + 1, idText("功能", f), idText("Function ", f),
                idText("功能", f), (f - 1) / spec.subSystems + 1, kAcctLists[pick(8)], pick(10) == 0 ? 1 : 0,
                pick(5) == 0 ? 1 : 0, idText("Synth.Func", f))
        .run();
    sub.reset();
  }
  auto det = conn.prepare(
      "INSERT INTO t_NavDetailFunc(FDetailFuncID, FSubFuncID, FFuncName, FFuncName_en, FFuncName_cht, FHelpCode, "
      "FHelpCode1, FIndex, FAcctType, FClassName, FClassParam) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int32_t d = 1; d <= spec.detailFuncs; ++d) {
    const int32_t f = (d - 1) % spec.subFuncs + 1;
    det.bindAll(d, subFuncId(f), idText("明细", d), idText("Detail ", d), idText("明細", d), idText("MX", d),
                idText("D", d), (d - 1) / spec.subFuncs + 1, kAcctLists[pick(8)], idText("Synth.Detail", f),
                idText("P", d))
        .run();
    det.reset();
  }
}

void insertProfileAndAccountTypes(storage::Connection& conn) {
  auto prof = conn.prepare("INSERT INTO t_NavProfile(FName, FValue) VALUES (?, ?)");
  for (const char* name : {"CLICK_ACTIVATE", "RIGHT_ALIGN", "REFRESH_SYS", "REFRESH_FUNC"}) {
    prof.bindAll(name, "0").run();
    prof.reset();
  }
  auto acct = conn.prepare("INSERT INTO t_NavAcctType(FAcctType, FNumber, FShowName) VALUES (?, ?, ?)");
  for (int32_t a = 1; a <= 17; ++a) {
    acct.bindAll(a, idText("TYPE", a), idText("账套类型", a)).run();
    acct.reset();
  }
}

void insertUsers(storage::Connection& conn, const SyntheticCompanySpec& spec) {
  conn.exec("INSERT INTO t_User(FUserID, FName, FDescription) VALUES (1, 'Administrators', 'group')");
  auto user = conn.prepare("INSERT INTO t_User(FUserID, FName) VALUES (?, ?)");
  for (int32_t u = 0; u < spec.users; ++u) {
    user.bindAll(16384 + u, idText("用户", u)).run();
    user.reset();
  }
  conn.exec("INSERT INTO t_Group(FGroupID, FUserID) VALUES (1, 16384)");
}

void insertUserRows(storage::Connection& conn, const SyntheticCompanySpec& spec) {
  // Own rows: one level per row in turn, on distinct template nodes per user.
  auto uTop = conn.prepare(
      "INSERT INTO t_NavUserTopClass(FUserID, FTopClassID, FTopClassName, FIndex, FVisible) VALUES (?, ?, ?, ?, 1) "
      "ON CONFLICT DO NOTHING");
  auto uSys = conn.prepare(
      "INSERT INTO t_NavUserSubSystem(FUserID, FSubSysID, FTopClassID, FName, FIndex, FVisible) "
      "VALUES (?, ?, ?, ?, ?, 1) ON CONFLICT DO NOTHING");
  auto uSub = conn.prepare(
      "INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FIndex, FVisible) "
      "VALUES (?, ?, ?, ?, ?, 1) ON CONFLICT DO NOTHING");
  auto uDet = conn.prepare(
      "INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FFuncName_en, "
      "FFuncName_cht, FHelpCode, FIndex, FVisible, FEnable, FFuncType) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1, 1, 0) "
      "ON CONFLICT DO NOTHING");
  int32_t written = 0;
  for (int32_t r = 0; written < spec.userRows; ++r) {
    const int32_t u = 16384 + r % spec.users;
    const int32_t slot = r / spec.users;  // the user's r-th row
    int changed = 0;
    switch (r % 8) {
      case 0: {
        const int32_t t = slot / 8 % spec.topClasses + 1;
        uTop.bindAll(u, t, idText("我的大类", t), t);
        changed = uTop.run();
        uTop.reset();
        break;
      }
      case 1: {
        const int32_t s = slot % spec.subSystems + 1;
        uSys.bindAll(u, s, (s - 1) % spec.topClasses + 1, idText("我的系统", s), s);
        changed = uSys.run();
        uSys.reset();
        break;
      }
      case 2:
      case 3: {
        const int32_t f = (slot * 2 + r % 8) % spec.subFuncs + 1;
        uSub.bindAll(u, subFuncId(f), (f - 1) % spec.subSystems + 1, idText("我的功能", f), f);
        changed = uSub.run();
        uSub.reset();
        break;
      }
      default: {
        const int32_t d = (slot * 4 + r % 8) % spec.detailFuncs + 1;
        const int32_t f = (d - 1) % spec.subFuncs + 1;
        uDet.bindAll(u, subFuncId(f), d, idText("我的明细", d), idText("My detail ", d), idText("我的明細", d),
                     idText("U", d), (d - 1) / spec.subFuncs + 1);
        changed = uDet.run();
        uDet.reset();
      }
    }
    written += changed;
    if (r > spec.userRows * 40 + 1000)
      storage::raiseRefused(kSource, "用户行数超过了模板能容纳的数量。");
  }
}

// Each user's groups of favourites, with their revision bumped.
void insertFavourites(storage::Connection& conn, const SyntheticCompanySpec& spec, const Pick& pick) {
  auto group = conn.prepare(
      "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FIndex) VALUES (?, ?, ?) RETURNING FFuncGroupID");
  auto item = conn.prepare(
      "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
      "VALUES (?, ?, ?, ?, ?, ?)");
  for (int32_t u = 0; u < spec.users; ++u) {
    for (int32_t g = 1; g <= spec.groupsPerUser; ++g) {
      group.bindAll(16384 + u, idText("常用组", g), g).step();
      const auto groupId = group.int32(0);
      group.run();
      group.reset();
      for (int32_t i = 1; i <= spec.itemsPerGroup; ++i) {
        const int32_t d = pick(spec.detailFuncs) + 1;
        item.bindAll(groupId, i, d, idText("明细", d), idText("MX", d), idText("明细", d)).run();
        item.reset();
      }
    }
    storage::bumpUserRevision(conn, 16384 + u);
  }
}

}  // namespace

void generateSyntheticCompany(storage::Connection& conn, const SyntheticCompanySpec& spec) {
  checkSizes(spec);
  // One generator in one order of draws: a seed makes the same company.
  std::mt19937 rng(spec.seed);
  const Pick pick = [&](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  storage::Transaction tx(conn);
  insertTemplate(conn, spec, pick);
  insertProfileAndAccountTypes(conn);
  insertUsers(conn, spec);
  insertUserRows(conn, spec);
  insertFavourites(conn, spec, pick);
  storage::bumpTemplateRevision(conn);
  tx.commit();
}

void createSyntheticDatabase(const std::filesystem::path& path, const SyntheticCompanySpec& spec) {
  if (std::filesystem::exists(path)) storage::raiseRefused(kSource, "文件已存在: " + path.string());
  storage::prepareDatabase(path, storage::Seed::None);
  auto conn = storage::Connection::open(path);
  generateSyntheticCompany(*conn, spec);
}

}  // namespace wayfind::erp::demo
