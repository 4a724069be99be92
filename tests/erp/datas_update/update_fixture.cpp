#include "update_fixture.h"

#include <cstdlib>

#include "erp/storage/versions.h"
#include "erp/middletier/erp_test_db.h"

namespace wayfind::erp::testing {

std::string props(int32_t userId, const std::string& language) {
  return "UserID=" + std::to_string(userId) + ";UserName={测试, 用户};Language=" + language;
}

void createSmallCompany(const std::filesystem::path& database) {
  storage::prepareDatabase(database, storage::Seed::None);
  auto conn = storage::Connection::open(database);
  storage::Transaction tx(*conn);
  conn->exec(R"SQL(
    INSERT INTO t_User(FUserID, FName) VALUES (1, '系统管理员组'), (16384, 'Administrator'),
      (16385, '张伟'), (16386, '李娜'), (16387, '王芳');
    INSERT INTO t_Group(FGroupID, FUserID) VALUES (1, 16384);
    INSERT INTO t_NavAcctType(FAcctType, FNumber, FShowName) VALUES (1, '01', '工业');
    INSERT INTO t_NavProfile(FName, FValue) VALUES ('CLICK_ACTIVATE', '0');
    INSERT INTO t_NavTopClass(FTopClassID, FTopClassName, FTopClassName_en, FIndex) VALUES
      (1, '财务', 'Finance', 1), (2, '供应链', 'Supply chain', 2);
    INSERT INTO t_NavSubSystem(FSubSysID, FTopClassID, FName, FIndex) VALUES
      (10, 1, '总账', 1), (11, 1, '报表', 2), (20, 2, '采购', 1);
    INSERT INTO t_NavSubFunc(FSubFuncID, FSubSysID, FFuncName, FIndex, FClassName) VALUES
      (100, 10, '凭证', 1, 'GL.Sub'), (101, 10, '账簿', 2, NULL), (200, 20, '订单', 1, NULL),
      (701, 11, '我的报表', 1, NULL);
    INSERT INTO t_NavDetailFunc(FDetailFuncID, FSubFuncID, FFuncName, FFuncName_en, FHelpCode, FIndex, FClassName,
      FClassParam) VALUES
      (10001, 100, '凭证录入', 'Voucher entry', 'PZLR', 1, 'GL.Voucher', 'new'),
      (10002, 100, '凭证查询', 'Voucher query', 'PZCX', 2, 'GL.Voucher', 'query'),
      (10101, 101, '总账', 'Ledger', 'ZZ', 1, 'GL.Ledger', ''),
      (20001, 200, '采购订单', 'Purchase order', 'CGDD', 1, 'PO.Order', '');
  )SQL");
  storage::bumpTemplateRevision(*conn);
  tx.commit();
}

void UpdateTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "wayfind-update-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  folder_ = pattern;
  path_ = newTestDatabase(folder_);
  storage::releaseThreadConnections();
  storage::CurrentDatabase::set(path_);
  storage::CurrentDatabase::setSeed(storage::Seed::None);
  createSmallCompany(path_);
}

void UpdateTest::TearDown() {
  middletier::setChangeFaultHookForTesting({});
  storage::CurrentDatabase::reset();
  storage::releaseThreadConnections();
  dropTestDatabase(path_);
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

platform::RecordsetPtr UpdateTest::userTable(int32_t userId, const std::string& table) {
  auto d = info_.GetUserData(props(userId));
  return d->GetValue(table).objectAs<platform::Recordset>();
}

std::map<std::string, platform::Variant> UpdateTest::row(const platform::RecordsetPtr& rs, const std::string& idField,
                                                          int32_t id) {
  std::map<std::string, platform::Variant> out;
  const int f = rs->requireField(idField);
  for (size_t r = 0; r < rs->storedRowCount(); ++r) {
    if (rs->storedValue(r, f) == platform::Variant(id)) {
      for (int i = 0; i < rs->fieldCount(); ++i) out[rs->fieldInfo(i).name] = rs->storedValue(r, i);
      return out;
    }
  }
  return out;
}

int64_t UpdateTest::revision(int32_t userId) {
  return userId == 0 ? storage::templateRevision(conn()) : storage::userRevision(conn(), userId);
}

std::string UpdateTest::userVersion(int32_t userId) { return info_.GetUserTemplateVer(props(userId)); }

std::string UpdateTest::dump() {
  std::string out;
  std::vector<std::string> tables;
  auto names = conn().prepare(
      onServer() ? "SELECT tablename FROM pg_tables WHERE schemaname = current_schema() AND tablename LIKE 't_nav%' "
                   "ORDER BY tablename"
                 : "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 't_Nav%' ORDER BY name");
  while (names.step()) tables.push_back(names.text(0));
  for (const auto& t : tables) {
    out += "[" + t + "]\n";
    // Every column in the order, so both back ends list rows the same way each time.
    const int columns = conn().prepare("SELECT * FROM " + t).columnCount();
    std::string order;
    for (int i = 1; i <= columns; ++i) order += (i > 1 ? ", " : "") + std::to_string(i);
    auto st = conn().prepare("SELECT * FROM " + t + " ORDER BY " + order);
    while (st.step()) {
      for (int i = 0; i < st.columnCount(); ++i) out += st.value(i).debugString() + "|";
      out += "\n";
    }
  }
  return out;
}

int64_t UpdateTest::count(const std::string& sql) {
  auto st = conn().prepare(sql);
  return st.step() ? st.int64(0) : -1;
}

platform::DictionaryPtr UpdateTest::dict(std::initializer_list<std::pair<const char*, platform::Variant>> values) {
  auto d = std::make_shared<platform::Dictionary>();
  for (const auto& [k, v] : values) d->SetValue(k, v);
  return d;
}

void expectRefused(const std::function<void()>& fn, const std::string& text) {
  try {
    fn();
    ADD_FAILURE() << "accepted, expected a refusal containing: " << text;
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kInvalidProcedureCall) << e.description();
    EXPECT_NE(e.description().find(text), std::string::npos) << e.description();
  }
}

}  // namespace wayfind::erp::testing
