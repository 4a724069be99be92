// Template files (export and import) and applying one user's customisation to others.
#include <algorithm>
#include <regex>
#include <set>
#include <tuple>

#include "erp/middletier/erp_test_db.h"
#include "erp/storage/pg_sql.h"
#include "erp/storage/versions.h"
#include "update_fixture.h"

namespace wayfind::erp::testing {
namespace {

using platform::Variant;

class Transfer : public UpdateTest {
 protected:
  platform::DictionaryPtr none_;

  // A customises: renames, a custom top class with a subsystem, sub-function and
  // function, a function in the own folder 701, a profile value, favourites.
  void customise(int32_t user) {
    int32_t id = 10001, index = 0, sub = 100;
    bool tpl = false;
    auto d = dict({{"NewName", "录入"}, {"HelpCode", "LR"}, {"Visible", 1}, {"Enable", 1}, {"Index", 3}});
    up_.UpdateDetailFuncAttr(props(user), id, d, false, none_);
    auto top = dict({{"FTopClassName", "工具"}});
    int32_t topId = platform::CLng(up_.CreateTopClass(props(user), index, top, tpl));
    auto sys = dict({{"FSysName", "小工具"}});
    int32_t sysId = platform::CLng(up_.CreateSubSys(props(user), topId, index, sys, tpl));
    auto sf = dict({{"FFuncName", "计算"}});
    int32_t sfId = platform::CLng(up_.CreateSubFunc(props(user), sysId, index, sf, tpl));
    auto det = dict({{"NewName", "计算器"}, {"FClassName", "/opt/calc"}, {"FClassParam", "SelfDefine"}});
    int32_t detId = platform::CLng(up_.CreateDetailFunc(props(user), sfId, index, det, tpl));
    auto mine = dict({{"NewName", "计算器"}, {"FClassName", "/opt/calc"}});
    int32_t folder = 701;
    up_.CreateDetailFunc(props(user), folder, index, mine, tpl);
    std::string name = "RIGHT_ALIGN", value = "1";
    up_.SetProfileValue(props(user), name, value);
    std::string h = "JS", s = "计算", n = "计算器";
    int32_t group = -1;
    up_.AppendNormalItem(props(user), detId, h, s, n, group);
    (void)sub;
  }

  // The user's rows as text, custom identifiers written as their rank on their level.
  std::vector<std::string> canonical(int32_t user) {
    auto data = info_.GetUserData(props(user));
    static const std::pair<const char*, std::vector<std::pair<const char*, int32_t>>> tables[] = {
        {"TopClass", {{"FTopClassID", 1000}}},
        {"SubSystem", {{"FSubSysID", 100000}, {"FTopClassID", 1000}}},
        {"SubFunc", {{"FSubFuncID", 10000000}, {"FSubSysID", 100000}}},
        {"DetailFunc", {{"FDetailFuncID", 1000000000}, {"FSubFuncID", 10000000}}},
        {"Profile", {}}};
    std::map<int32_t, std::set<int32_t>> custom;  // base -> ids
    for (const auto& [t, ids] : tables)
      if (!ids.empty()) {
        auto rs = data->GetValue(t).objectAs<platform::Recordset>();
        for (size_t r = 0; r < rs->storedRowCount(); ++r) {
          const int32_t v = platform::CLng(rs->storedValue(r, rs->fieldIndex(ids[0].first)));
          if (v >= ids[0].second) custom[ids[0].second].insert(v);
        }
      }
    std::vector<std::string> out;
    for (const auto& [t, ids] : tables) {
      auto rs = data->GetValue(t).objectAs<platform::Recordset>();
      for (size_t r = 0; r < rs->storedRowCount(); ++r) {
        std::string line = t;
        for (int f = 0; f < rs->fieldCount(); ++f) {
          const auto& name = rs->fieldInfo(f).name;
          std::string text = rs->storedValue(r, f).debugString();
          for (const auto& [field, base] : ids) {
            if (name != field) continue;
            const int32_t v = platform::CLng(rs->storedValue(r, f));
            if (v >= base) {
              const auto& set = custom[base];
              text = "#" + std::to_string(std::distance(set.begin(), set.find(v)));
            }
          }
          line += "|" + name + "=" + text;
        }
        out.push_back(line);
      }
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  std::vector<std::string> favourites(int32_t user) {
    std::vector<std::string> out;
    auto st = conn().prepare(
        "SELECT g.FFuncGroupName, i.FPosition, i.FDetailFuncID >= 1000000000, i.FHelpCode, i.FShowName "
        "FROM t_NavFuncGroupItem i JOIN t_NavFuncGroup g USING(FFuncGroupID) WHERE g.FUserID = ? ORDER BY 1, 2");
    st.bind(1, user);
    while (st.step()) out.push_back(st.text(0) + st.text(1) + st.text(2) + st.text(3) + st.text(4));
    return out;
  }
};

TEST_F(Transfer, ExportByOneUserImportedByAnotherGivesTheSameRows) {
  customise(kUserA);
  const auto a = canonical(kUserA);
  const std::string aVersion = userVersion(kUserA);
  auto exported = datas_.ExportUserData(props(kUserA));
  // Through a template file, as the component does.
  const auto file = folderPath() / "a.dat";
  exported->Save(file);
  auto loaded = std::make_shared<platform::Dictionary>();
  ASSERT_TRUE(loaded->Load(file));
  up_.ImportUserData(props(kUserB), loaded);

  EXPECT_EQ(canonical(kUserB), a);
  EXPECT_EQ(favourites(kUserB), favourites(kUserA));
  EXPECT_EQ(userVersion(kUserA), aVersion);  // the exporter is untouched
  // A's custom items are A's: B got identifiers of its own.
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc a JOIN t_NavUserDetailFunc b ON a.FDetailFuncID = "
                  "b.FDetailFuncID WHERE a.FUserID = 16385 AND b.FUserID = 16386 AND a.FDetailFuncID >= 1000000000"),
            0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroupItem i JOIN t_NavFuncGroup g USING(FFuncGroupID) "
                  "WHERE g.FUserID = 16386 AND NOT EXISTS (SELECT 1 FROM t_NavUserDetailFunc u WHERE u.FUserID = "
                  "16386 AND u.FDetailFuncID = i.FDetailFuncID)"),
            0);

  // The exporter's own file after restoring the default brings back the very ids.
  const auto before = dump();
  up_.SetDefault(props(kUserA));
  up_.ImportUserData(props(kUserA), exported);
  EXPECT_EQ(canonical(kUserA), a);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserTopClass WHERE FUserID = 16385 AND FTopClassID = 1000"), 1);
}

TEST_F(Transfer, ADictionaryOfTheWrongShapeChangesNothing) {
  customise(kUserB);
  const auto good = datas_.ExportUserData(props(kUserB));
  const std::string state = dump();
  auto copyWith = [&](const char* key, const Variant& v) {
    auto d = std::make_shared<platform::Dictionary>();
    for (const auto& k : good->Keys()) d->SetValue(k, good->GetValue(k));
    if (v.isEmpty()) d->Remove(key);
    else d->SetValue(key, v);
    return d;
  };
  auto badRow = [&](const char* table, const char* field, const Variant& v) {
    auto src = good->GetValue(table).objectAs<platform::Recordset>();
    auto rs = src->cloneStructure();
    for (size_t r = 0; r < src->storedRowCount(); ++r) {
      std::vector<Variant> values;
      for (int f = 0; f < src->fieldCount(); ++f) values.push_back(src->storedValue(r, f));
      if (r == 0) values[rs->fieldIndex(field)] = v;
      rs->appendStoredRow(values);
    }
    return copyWith(table, Variant(rs));
  };
  platform::DictionaryPtr nothing;
  expectRefused([&] { up_.ImportUserData(props(kUserB), nothing); }, "格式不正确");
  expectRefused([&] { auto d = copyWith("SubFunc", Variant()); up_.ImportUserData(props(kUserB), d); }, "SubFunc");
  expectRefused([&] { auto d = copyWith("Profile", Variant("text")); up_.ImportUserData(props(kUserB), d); }, "记录集");
  expectRefused([&] { auto d = copyWith("Format", Variant("Other")); up_.ImportUserData(props(kUserB), d); }, "Format");
  expectRefused([&] { auto d = copyWith("Version", Variant(9)); up_.ImportUserData(props(kUserB), d); }, "版本");
  expectRefused([&] { auto d = badRow("TopClass", "FTopClassID", Variant::null()); up_.ImportUserData(props(kUserB), d); },
                "FTopClassID");
  expectRefused([&] { auto d = badRow("DetailFunc", "FHelpCode", Variant("a'b")); up_.ImportUserData(props(kUserB), d); },
                "单引号");
  expectRefused([&] { auto d = badRow("FuncGroupItem", "FFuncGroupID", Variant(777)); up_.ImportUserData(props(kUserB), d); },
                "不存在的组");
  expectRefused([&] { auto d = copyWith("FuncGroup", Variant()); up_.ImportUserData(props(kUserB), d); }, "同时");
  expectRefused([&] { auto d = badRow("Profile", "FName", Variant("  ")); up_.ImportUserData(props(kUserB), d); },
                "为空或重复");
  EXPECT_EQ(dump(), state);
}

TEST_F(Transfer, ImportingOrApplyingTheSameCustomisationAgainBumpsNothing) {
  customise(kUserA);
  auto exported = datas_.ExportUserData(props(kUserA));
  const int64_t before = revision(kUserA);
  up_.ImportUserData(props(kUserA), exported);
  EXPECT_EQ(revision(kUserA), before);

  // Applying renamed template nodes twice. (Custom items get fresh identifiers
  // for each target every time, which is a change.)
  auto rename = dict({{"NewName", Variant("凭证处理")}, {"Visible", 0}});
  int32_t sub = 100;
  up_.UpdateSubSysFunc(props(kUserC), sub, rename, false, none_);
  auto users = std::make_shared<platform::Vector>();
  users->Append(Variant(kUserB));
  platform::VectorPtr vect = users;
  auto info = dict({{"TemplateUserID", Variant(kUserC)}});
  up_.ApplyAllUser(props(kAdmin), vect, info);
  const int64_t b = revision(kUserB);
  EXPECT_GT(b, 0);
  vect = users;
  up_.ApplyAllUser(props(kAdmin), vect, info);
  EXPECT_EQ(revision(kUserB), b);
}

TEST_F(Transfer, AFileCannotGiveATemplateNodeAnotherClassOrAccountTypes) {
  customise(kUserA);
  auto exported = datas_.ExportUserData(props(kUserA));
  auto rs = exported->GetValue("SubFunc").objectAs<platform::Recordset>()->cloneStructure();
  // Sub-function 100 runs GL.Sub; the file says otherwise.
  rs->appendStoredRow({Variant(100), Variant(10), Variant("凭证"), Variant(",7,"), Variant(1), Variant(1),
                       Variant("Evil.Program"), Variant("x")});
  rs->appendStoredRow({Variant(101), Variant(10), Variant("账簿"), Variant(""), Variant(2), Variant(1),
                       Variant::null(), Variant::null()});
  exported->SetValue("SubFunc", Variant(rs));
  up_.ImportUserData(props(kUserB), exported);
  auto mine = row(userTable(kUserB, "SubFunc"), "FSubFuncID", 100);
  EXPECT_EQ(mine["FClassName"], Variant("GL.Sub"));
  EXPECT_TRUE(mine["FClassParam"].isNull());
  EXPECT_EQ(mine["FAcctType"], Variant(""));
  EXPECT_TRUE(row(userTable(kUserB, "SubFunc"), "FSubFuncID", 101)["FClassName"].isNull());
  int32_t id = 100, level = 3;
  EXPECT_EQ(datas_.GetSubSysClass(props(kUserB), id, level), "GL.Sub");
}

TEST_F(Transfer, ApplyAllUserCopiesTheTemplateUsersCustomisation) {
  customise(kUserA);
  const auto a = canonical(kUserA);
  std::string name = "CLICK_ACTIVATE", v = "1";
  up_.SetProfileValue(props(kUserC), name, v);
  const auto state = dump();
  auto users = std::make_shared<platform::Vector>();
  users->Append(Variant("16386"));
  users->Append(Variant(kUserC));
  users->Append(Variant(kUserB));  // once is enough
  auto info = dict({{"TemplateUserID", std::to_string(kUserA)}});
  platform::VectorPtr vect = users;
  expectRefused([&] { up_.ApplyAllUser(props(kUserA), vect, info); }, "系统管理员");
  EXPECT_EQ(dump(), state);
  auto bad = std::make_shared<platform::Vector>();
  bad->Append(Variant(kUserB));
  bad->Append(Variant(1));  // a group, not a user
  platform::VectorPtr badVect = bad;
  expectRefused([&] { up_.ApplyAllUser(props(kAdmin), badVect, info); }, "不存在");
  EXPECT_EQ(dump(), state);

  up_.ApplyAllUser(props(kAdmin), vect, info);
  ASSERT_EQ(vect->Count(), 2);
  EXPECT_EQ(vect->Item(1), Variant(kUserB));
  EXPECT_EQ(vect->Item(2), Variant(kUserC));
  EXPECT_EQ(canonical(kUserB), a);
  EXPECT_EQ(canonical(kUserC), a);  // C's own profile value is replaced
  // Each target's copies of A's own items have identifiers of their own.
  for (const auto& [table, id, base] : {std::tuple{"t_NavUserTopClass", "FTopClassID", 1000},
                                        {"t_NavUserSubFunc", "FSubFuncID", 10000000},
                                        {"t_NavUserDetailFunc", "FDetailFuncID", 1000000000}})
    EXPECT_EQ(count(std::string("SELECT COUNT(*) FROM (SELECT ") + id + " FROM " + table + " WHERE " + id +
                    " >= " + std::to_string(base) + " GROUP BY " + id + " HAVING COUNT(DISTINCT FUserID) > 1) AS x"),
              0)
        << table;
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavFuncGroup WHERE FUserID IN (16386, 16387)"), 0);  // favourites stay own

  // The record of the functions a user started stays that user's own.
  auto use = [&](int32_t user) {
    auto st = conn().prepare("SELECT FValue FROM t_NavUserProfile WHERE FUserID = ? AND FName = 'FUNCTION_USE'");
    st.bind(1, user);
    return st.step() ? st.text(0) : std::string("none");
  };
  for (const auto& [user, value] : {std::pair{kUserA, "1:5:1"}, {kUserC, "2:7:3"}})
    conn().prepare("INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (?, 'FUNCTION_USE', ?)")
        .bindAll(user, std::string(value))
        .run();
  platform::VectorPtr again = std::make_shared<platform::Vector>();
  again->Append(Variant(kUserB));
  again->Append(Variant(kUserC));
  up_.ApplyAllUser(props(kAdmin), again, info);
  EXPECT_EQ(use(kUserB), "none");
  EXPECT_EQ(use(kUserC), "2:7:3");

  // An empty vector: every user, from the caller's customisation (here the template).
  platform::VectorPtr all = std::make_shared<platform::Vector>();
  platform::DictionaryPtr noInfo;
  up_.ApplyAllUser(props(kAdmin), all, noInfo);
  EXPECT_EQ(all->Count(), 3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserTopClass"), 0);
}

TEST_F(Transfer, ApplyAllUserChangesExactlyTheChosenUsers) {
  // The editor sends the first chosen user as TemplateUserID and the others in the
  // vector: an empty vector then means nobody more, never everybody.
  customise(kUserA);
  std::string name = "CLICK_ACTIVATE", on = "1";
  for (int32_t u : {kAdmin, kUserB, kUserC}) up_.SetProfileValue(props(u), name, on);  // something of their own
  const auto source = canonical(kUserA);
  struct Case {
    const char* what;
    std::vector<Variant> chosen;
    std::vector<int32_t> changed;
  };
  const Case cases[] = {
      {"the first chosen user alone", {}, {}},
      {"one more user", {Variant(kUserB)}, {kUserB}},
      {"a user listed under two groups", {Variant(std::to_string(kUserC)), Variant(kUserC)}, {kUserC}},
      {"the administrator, when chosen", {Variant(kAdmin)}, {kAdmin}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<int32_t, std::vector<std::string>> before;
    for (int32_t u : {kAdmin, kUserB, kUserC}) before[u] = canonical(u);
    auto users = std::make_shared<platform::Vector>();
    for (const auto& v : c.chosen) users->Append(v);
    platform::VectorPtr vect = users;
    auto info = dict({{"TemplateUserID", Variant(kUserA)}});
    up_.ApplyAllUser(props(kAdmin), vect, info);
    std::vector<int32_t> applied;
    for (const auto& v : vect->items()) applied.push_back(platform::CLng(v));
    EXPECT_EQ(applied, c.changed);
    for (const auto& [u, rows] : before) {
      const bool chosen = std::count(c.changed.begin(), c.changed.end(), u) > 0;
      EXPECT_EQ(canonical(u), chosen ? source : rows) << u;
    }
  }
  // An unknown user refuses the whole call.
  const auto state = dump();
  auto bad = std::make_shared<platform::Vector>();
  bad->Append(Variant(kUserB));
  bad->Append(Variant(99999));
  platform::VectorPtr badVect = bad;
  auto info = dict({{"TemplateUserID", Variant(kUserA)}});
  expectRefused([&] { up_.ApplyAllUser(props(kAdmin), badVect, info); }, "99999");
  EXPECT_EQ(dump(), state);
}

TEST_F(Transfer, SavingForTheFirstChosenUserThenApplyingReachesEveryChosenUser) {
  // The editor's "apply to chosen users": it saves its rows with the first chosen
  // user as TemplateUserID, then applies that user's settings to the others.
  const auto state = dump();
  auto info = dict({{"TemplateUserID", std::to_string(kUserB)}});
  auto change = dict({{"NewName", Variant("共享名称")}});
  int32_t id = 100;  // a template sub-function
  expectRefused([&] { up_.UpdateSubSysFunc(props(kUserA), id, change, false, info); }, "系统管理员");
  EXPECT_EQ(dump(), state);

  const int64_t adminBefore = revision(kAdmin), bBefore = revision(kUserB);
  up_.UpdateSubSysFunc(props(kAdmin), id, change, false, info);
  EXPECT_EQ(revision(kAdmin), adminBefore);  // the administrator's own rows are untouched
  EXPECT_GT(revision(kUserB), bBefore);
  EXPECT_EQ(row(userTable(kUserB, "SubFunc"), "FSubFuncID", id)["FFuncName"], Variant("共享名称"));
  EXPECT_TRUE(row(userTable(kAdmin, "SubFunc"), "FSubFuncID", id).empty());

  auto users = std::make_shared<platform::Vector>();
  users->Append(Variant(kUserB));
  users->Append(Variant(kUserC));
  platform::VectorPtr vect = users;
  up_.ApplyAllUser(props(kAdmin), vect, info);
  EXPECT_EQ(row(userTable(kUserC, "SubFunc"), "FSubFuncID", id)["FFuncName"], Variant("共享名称"));

  // A TemplateUserID naming the caller, or left blank, is the caller's own change.
  auto self = dict({{"TemplateUserID", Variant("")}});
  auto mine = dict({{"NewName", Variant("自己的名称")}});
  up_.UpdateSubSysFunc(props(kUserA), id, mine, false, self);
  EXPECT_EQ(row(userTable(kUserA, "SubFunc"), "FSubFuncID", id)["FFuncName"], Variant("自己的名称"));
  auto group = dict({{"TemplateUserID", Variant(1)}});
  expectRefused([&] { up_.UpdateSubSysFunc(props(kAdmin), id, mine, false, group); }, "不存在");
}

}  // namespace
}  // namespace wayfind::erp::testing

namespace wayfind::erp::testing {
namespace {

// The back end's plan for sql, line by line, as the back end would run it with
// any values: SQLite's query plan, or PostgreSQL's generic plan with sequential
// scans disabled (so that one shows only where no index can serve).
std::vector<std::string> queryPlan(storage::Connection& c, const std::string& sql) {
  std::vector<std::string> lines;
  if (c.backend() == storage::Backend::SQLite) {
    auto st = c.prepare("EXPLAIN QUERY PLAN " + sql);
    while (st.step()) lines.push_back(st.text(3));
    return lines;
  }
  // EXPLAIN answers rows but cannot be prepared: a function of the test's own
  // runs it and hands the rows on.
  const auto server = storage::toServerParameters(sql);
  c.exec("SET enable_seqscan = off; SET plan_cache_mode = force_generic_plan; PREPARE wf_plan AS " + server.text +
         "; CREATE OR REPLACE FUNCTION wf_test_plan(args text) RETURNS SETOF text LANGUAGE plpgsql AS "
         "$$ DECLARE line text; BEGIN FOR line IN EXECUTE 'EXPLAIN EXECUTE wf_plan' || args LOOP "
         "RETURN NEXT line; END LOOP; END $$");
  std::string args;
  for (size_t i = 0; i < server.used.size(); ++i) args += (i ? ", " : "(") + std::string("'1'");
  if (!args.empty()) args += ")";
  auto st = c.prepare("SELECT wf_test_plan(?)");
  st.bind(1, args);
  while (st.step()) lines.push_back(st.text(0));
  c.exec("DEALLOCATE wf_plan; DROP FUNCTION wf_test_plan(text)");
  return lines;
}

// A plan line that reads one of the navigation tables whole.
bool readsTableWhole(const std::string& line) {
  static const std::regex whole(R"((^SCAN t_)|(Seq Scan on t_))", std::regex::icase);
  return std::regex_search(line, whole);
}

// Every statement an import runs is answered from an index, so that its cost
// follows its own rows whatever the other users hold. The statements are those
// the import really prepares, seen through the storage layer; the file carries
// template rows and custom items another user holds (renumbered), favourites.
TEST_F(Transfer, EveryStatementAnImportRunsIsAnsweredFromAnIndex) {
  customise(kUserA);
  customise(kUserB);
  auto file = datas_.ExportUserData(props(kUserB));
  std::set<std::string> statements;
  storage::setStatementObserverForTesting([&](const std::string& sql) { statements.insert(sql); });
  up_.ImportUserData(props(kUserA), file);
  storage::setStatementObserverForTesting({});
  ASSERT_EQ(userTable(kUserA, "DetailFunc")->storedRowCount(), userTable(kUserB, "DetailFunc")->storedRowCount());

  auto planner = storage::Connection::open(path());
  int asked = 0;
  for (const auto& sql : statements) {
    static const std::regex reads(R"(^\s*(SELECT|DELETE|UPDATE|WITH)\b)", std::regex::icase);
    if (!std::regex_search(sql, reads)) continue;
    ++asked;
    for (const auto& line : queryPlan(*planner, sql)) EXPECT_FALSE(readsTableWhole(line)) << sql << "\n  " << line;
  }
  EXPECT_GE(asked, 10) << "the import ran fewer statements than it should";
}

// An identifier that another user takes between the import's plan and its
// write is not stored twice: the import sees the count of handed-out
// identifiers move, finds its own taken, plans again and renumbers its copy.
TEST_F(Transfer, AnIdentifierTakenAfterTheImportsPlanIsNotStoredTwice) {
  auto file = datas_.ExportUserData(props(kUserA));
  int32_t level = 4, parent = 100;
  const int32_t taken = platform::CLng(datas_.GetNextID(props(kUserB), level, parent));  // free, and B's to take
  {
    auto rs = file->GetValue("DetailFunc").objectAs<platform::Recordset>();
    std::vector<Variant> row(static_cast<size_t>(rs->fieldCount()), Variant::null());
    auto set = [&](const char* f, Variant v) {
      ASSERT_GE(rs->fieldIndex(f), 0) << f;
      row[static_cast<size_t>(rs->fieldIndex(f))] = std::move(v);
    };
    set("FSubFuncID", Variant(100));
    set("FDetailFuncID", Variant(taken));
    set("FFuncName", Variant("导入的工具"));
    set("FClassName", Variant("/opt/tool"));
    rs->appendStoredRow(std::move(row));
  }
  int plans = 0;
  middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method != "ImportUserData" || point != "planned" || plans++ > 0) return;
    auto d = dict({{"NewName", "B 的工具"}, {"FClassName", "/opt/b"}, {"FDetailFuncID", taken}});
    int32_t sub = 100, index = 0;
    bool tpl = false;
    EXPECT_EQ(platform::CLng(up_.CreateDetailFunc(props(kUserB), sub, index, d, tpl)), taken);
  });
  up_.ImportUserData(props(kUserA), file);
  middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(plans, 2) << "the import did not plan again";
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FDetailFuncID = " + std::to_string(taken)), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserDetailFunc WHERE FUserID = 16385 AND FFuncName = '导入的工具' "
                  "AND FDetailFuncID > " + std::to_string(taken)),
            1);
}

// The user's own rows changed after the plan (another window of theirs deleting
// a custom item, say, whose identifier the plan then took to be theirs and
// claimed nothing for): the import plans again.
TEST_F(Transfer, AChangeOfTheUsersRowsAfterThePlanSendsTheImportRoundAgain) {
  customise(kUserA);
  auto file = datas_.ExportUserData(props(kUserA));
  int plans = 0;
  middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method != "ImportUserData" || point != "planned" || plans++ > 0) return;
    std::string name = "RIGHT_ALIGN", value = "0";
    up_.SetProfileValue(props(kUserA), name, value);
  });
  up_.ImportUserData(props(kUserA), file);
  middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(plans, 2) << "the import did not plan again";
  EXPECT_EQ(count("SELECT COUNT(*) FROM t_NavUserProfile WHERE FUserID = 16385 AND FName = 'RIGHT_ALIGN' AND "
                  "FValue = '1'"),
            1);
}

// On a server an import writes its rows before it takes the write lock. A
// whole-database change that holds the lock then sends the import round again
// at once (neither waits on the other); when that change moved the template,
// the round after it finds so and the last is made under the lock.
TEST_F(Transfer, OnAServerAWholeDatabaseChangeMeanwhileSendsTheImportRoundAgain) {
  if (!onServer()) GTEST_SKIP() << "only a server puts the write lock off";
  auto file = datas_.ExportUserData(props(kUserA));
  auto admin = storage::Connection::open(path());
  admin->beginWrite(storage::WriteLock::Whole);
  storage::bumpTemplateRevision(*admin);
  int writes = 0;
  middletier::setChangeFaultHookForTesting([&](std::string_view method, std::string_view point) {
    if (method == "ImportUserData" && point == "DetailFunc" && ++writes == 2) admin->commit();
  });
  up_.ImportUserData(props(kUserB), file);
  middletier::setChangeFaultHookForTesting({});
  EXPECT_EQ(writes, 3) << "the import did not go round twice";
  for (const char* table : {"TopClass", "SubSystem", "SubFunc", "DetailFunc"})
    EXPECT_EQ(userTable(kUserB, table)->storedRowCount(), userTable(kUserA, table)->storedRowCount()) << table;
}

}  // namespace
}  // namespace wayfind::erp::testing
