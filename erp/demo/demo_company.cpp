#include "erp/demo/demo_company.h"

#include <charconv>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "erp/storage/storage_error.h"
#include "erp/storage/versions.h"
#include "erp/text/resource_folder.h"
#include "platform/containers/atomic_file.h"

namespace wayfind::erp::demo {

namespace {

constexpr const char* kSource = "WayfindDemo";

std::mutex& folderMutex() {
  static std::mutex m;
  return m;
}
std::filesystem::path& folderOverride() {
  static std::filesystem::path p;
  return p;
}

struct Line {
  std::string file;
  int number = 0;
  std::vector<std::string> cells;

  [[noreturn]] void fail(const std::string& why) const {
    storage::raiseRefused(kSource, "演示数据 " + file + " 第 " + std::to_string(number) + " 行: " + why);
  }
  const std::string& at(size_t i) const {
    if (i >= cells.size()) fail("缺少第 " + std::to_string(i + 1) + " 列");
    return cells[i];
  }
  std::string text(size_t i) const { return at(i) == "-" ? std::string() : at(i); }
  int32_t integer(size_t i) const {
    const std::string& s = at(i);
    int32_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) fail("\"" + s + "\" 不是整数");
    return v;
  }
  // "-" or a missing trailing cell stands for NULL.
  platform::Variant optionalText(size_t i) const {
    if (i >= cells.size() || cells[i] == "-") return platform::Variant::null();
    return platform::Variant(cells[i]);
  }
};

std::vector<Line> readLines(const std::filesystem::path& path) {
  std::string content;
  if (!platform::readWholeFile(path, content)) storage::raiseRefused(kSource, "无法读取演示数据文件 " + path.string());
  std::istringstream in(content);
  std::vector<Line> lines;
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.empty() || raw[0] == '#') continue;
    Line line{path.filename().string(), number, {}};
    size_t start = 0;
    for (;;) {
      const size_t tab = raw.find('\t', start);
      line.cells.push_back(raw.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

struct Operation {
  std::string chs, en, cht;
};

struct Document {
  std::string code, chs, en, cht;
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(s);
  std::string piece;
  while (std::getline(ss, piece, sep))
    if (!piece.empty()) out.push_back(piece);
  return out;
}

// The initials of the English words, upper-cased: "Voucher Entry" -> "VE".
std::string initials(const std::string& en) {
  std::string out;
  bool start = true;
  for (char c : en) {
    if (c == ' ' || c == '-' || c == '/' || c == '&') {
      start = true;
    } else if (start) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out.push_back(c);
      start = false;
    }
  }
  return out;
}

class Loader {
 public:
  explicit Loader(storage::Connection& conn) : conn_(conn) {}

  void navigation(const std::vector<Line>& lines) {
    for (const auto& l : lines) {
      const std::string& kind = l.at(0);
      if (kind == "O") operation(l);
      else if (kind == "T") topClass(l);
      else if (kind == "S") subSystem(l);
      else if (kind == "F") subFunc(l);
      else if (kind == "D") detailFunc(l);
      else l.fail("未知的行类型 " + kind);
    }
  }

  void company(const std::vector<Line>& lines) {
    for (const auto& l : lines) {
      const std::string& kind = l.at(0);
      if (kind == "A") run(l, "INSERT INTO t_NavAcctType(FAcctType, FNumber, FShowName, FDeleted) VALUES (?, ?, ?, 0)",
                           {l.integer(1), l.text(2), l.text(3)});
      else if (kind == "P") run(l, "INSERT INTO t_NavProfile(FName, FValue) VALUES (?, ?)", {l.text(1), l.text(2)});
      else if (kind == "U") run(l, "INSERT INTO t_User(FUserID, FName, FForbidden, FDescription) VALUES (?, ?, ?, ?)",
                                {l.integer(1), l.text(2), l.integer(3), l.text(4)});
      else if (kind == "G") run(l, "INSERT INTO t_Group(FGroupID, FUserID) VALUES (?, ?)", {l.integer(1), l.integer(2)});
      else if (kind == "R") run(l, "INSERT INTO t_AccessRight(FSubjectID, FObjectType, FObjectID, FRights) VALUES (?, ?, ?, ?)",
                                {l.integer(1), l.integer(2), l.integer(3), l.integer(4)});
      else if (kind == "M") run(l, "INSERT INTO t_AcctProfile(FName, FValue) VALUES (?, ?)", {l.text(1), l.text(2)});
      else if (kind == "UP") userRow(l, "INSERT INTO t_NavUserProfile(FUserID, FName, FValue) VALUES (?, ?, ?)",
                                     {l.integer(1), l.text(2), l.text(3)});
      else if (kind == "UT") userTopClass(l);
      else if (kind == "US") userSubSystem(l);
      else if (kind == "UF") userSubFunc(l);
      else if (kind == "UD") userDetailFunc(l);
      else if (kind == "FG") funcGroup(l);
      else if (kind == "FI") funcItem(l);
      else l.fail("未知的行类型 " + kind);
    }
  }

 private:
  // Runs one insert; the first column of what it returns (RETURNING), or 0.
  int32_t run(const Line& l, const char* sql, const std::vector<platform::Variant>& values) {
    try {
      auto st = conn_.prepare(sql);
      int i = 0;
      for (const auto& v : values) st.bind(++i, v);
      // A finished statement would run again on the next step: read, then finish.
      if (!st.step()) return 0;
      const int32_t first = st.int32(0);
      st.run();
      return first;
    } catch (const platform::AutomationError& e) {
      l.fail(e.description());
    }
  }

  void userRow(const Line& l, const char* sql, const std::vector<platform::Variant>& values) {
    run(l, sql, values);
    touchedUsers_[values.front().asLong()] = true;
  }

  // O code chs en cht
  void operation(const Line& l) { ops_[l.text(1)] = Operation{l.text(2), l.text(3), l.text(4)}; }

  // T id index acct showSysType visible chs en cht [class]
  void topClass(const Line& l) {
    run(l,
        "INSERT INTO t_NavTopClass(FTopClassID, FIndex, FAcctType, FShowSysType, FVisible, FTopClassName, "
        "FTopClassName_en, FTopClassName_cht, FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {l.integer(1), l.integer(2), l.text(3), l.integer(4), l.integer(5), l.text(6), l.text(7), l.text(8),
         l.optionalText(9)});
  }

  // S id topId acct refresh chs en cht class [helpfile]
  void subSystem(const Line& l) {
    const int32_t top = l.integer(2);
    run(l,
        "INSERT INTO t_NavSubSystem(FSubSysID, FTopClassID, FIndex, FAcctType, FRefresh, FName, FName_en, FName_cht, "
        "FClassName, FHelpFile) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {l.integer(1), top, ++childCount_[{1, top}], l.text(3), l.integer(4), l.text(5), l.text(6), l.text(7),
         l.optionalText(8), l.optionalText(9)});
  }

  // F id sysId acct refresh setEnable chs en cht class ops docs
  //   ops: comma list of operation codes; docs: "code/chs/en/cht" joined by ";".
  //   Every document and operation makes one detail function.
  void subFunc(const Line& l) {
    const int32_t id = l.integer(1);
    const int32_t sys = l.integer(2);
    const std::string cls = l.text(9);
    run(l,
        "INSERT INTO t_NavSubFunc(FSubFuncID, FSubSysID, FIndex, FAcctType, FRefresh, FSetEnable, FFuncName, "
        "FFuncName_en, FFuncName_cht, FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {id, sys, ++childCount_[{2, sys}], l.text(3), l.integer(4), l.integer(5), l.text(6), l.text(7), l.text(8),
         cls.empty() ? platform::Variant::null() : platform::Variant(cls)});
    std::vector<Document> docs;
    for (const auto& d : split(l.text(11), ';')) {
      const auto parts = split(d, '/');
      if (parts.size() != 4) l.fail("单据 \"" + d + "\" 应为 代码/中文/English/繁體");
      docs.push_back({parts[0], parts[1], parts[2], parts[3]});
    }
    const auto opCodes = split(l.text(10), ',');
    for (const auto& doc : docs) {
      for (const auto& code : opCodes) {
        auto op = ops_.find(code);
        if (op == ops_.end()) l.fail("未定义的操作 " + code);
        const std::string en = doc.en + " " + op->second.en;
        addDetail(l, id, doc.chs + op->second.chs, en, doc.cht + op->second.cht, doc.code + code, initials(en), "",
                  cls, doc.code + "_" + code, 0);
      }
    }
  }

  // D subFuncId helpCode chs en cht class param [acct] [funcType]
  void detailFunc(const Line& l) {
    addDetail(l, l.integer(1), l.text(3), l.text(4), l.text(5), l.text(2), initials(l.text(4)),
              l.cells.size() > 8 ? l.text(8) : std::string(), l.text(6), l.text(7),
              l.cells.size() > 9 ? l.integer(9) : 0);
  }

  void addDetail(const Line& l, int32_t subFunc, const std::string& chs, const std::string& en, const std::string& cht,
                 const std::string& help, const std::string& help1, const std::string& acct, const std::string& cls,
                 const std::string& param, int32_t funcType) {
    const int32_t n = ++childCount_[{3, subFunc}];
    const int64_t id = static_cast<int64_t>(subFunc) * 100 + n;
    if (n > 99 || id >= 1000000000) l.fail("子功能 " + std::to_string(subFunc) + " 的明细功能过多");
    run(l,
        "INSERT INTO t_NavDetailFunc(FDetailFuncID, FSubFuncID, FIndex, FFuncName, FFuncName_en, FFuncName_cht, "
        "FHelpCode, FHelpCode1, FAcctType, FClassName, FClassParam, FFuncType) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {static_cast<int32_t>(id), subFunc, n, chs, en, cht, help, help1, acct, cls, param, funcType});
  }

  // UT user topId name acct index visible [class] [param]
  void userTopClass(const Line& l) {
    userRow(l,
            "INSERT INTO t_NavUserTopClass(FUserID, FTopClassID, FTopClassName, FAcctType, FIndex, FVisible, "
            "FClassName, FClassParam) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
            {l.integer(1), l.integer(2), l.text(3), l.text(4), l.integer(5), l.integer(6), l.optionalText(7),
             l.optionalText(8)});
  }

  // US user sysId topId name acct index visible [class]
  void userSubSystem(const Line& l) {
    userRow(l,
            "INSERT INTO t_NavUserSubSystem(FUserID, FSubSysID, FTopClassID, FName, FAcctType, FIndex, FVisible, "
            "FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
            {l.integer(1), l.integer(2), l.integer(3), l.text(4), l.text(5), l.integer(6), l.integer(7),
             l.optionalText(8)});
  }

  // UF user subFuncId sysId name acct index visible [class]
  void userSubFunc(const Line& l) {
    userRow(l,
            "INSERT INTO t_NavUserSubFunc(FUserID, FSubFuncID, FSubSysID, FFuncName, FAcctType, FIndex, FVisible, "
            "FClassName) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
            {l.integer(1), l.integer(2), l.integer(3), l.text(4), l.text(5), l.integer(6), l.integer(7),
             l.optionalText(8)});
  }

  // UD user subFuncId detailId chs en cht show help index visible enable class param
  //   A row for a template function takes the template's values where the
  //   line says "-"; a custom function must give them.
  void userDetailFunc(const Line& l) {
    const int32_t user = l.integer(1), sub = l.integer(2), id = l.integer(3);
    auto tpl = conn_.prepare(
        "SELECT FFuncName, FFuncName_en, FFuncName_cht, FHelpCode, FIndex, FVisible, FEnable, FFuncType, "
        "FClassName, FClassParam, FAcctType FROM t_NavDetailFunc WHERE FDetailFuncID = ?");
    tpl.bind(1, id);
    const bool hasTemplate = tpl.step();
    auto pick = [&](size_t cell, int col) -> platform::Variant {
      if (cell < l.cells.size() && l.cells[cell] != "-") return platform::Variant(l.cells[cell]);
      if (hasTemplate) return tpl.value(col);
      return platform::Variant::null();
    };
    auto pickInt = [&](size_t cell, int col, int32_t fallback) -> platform::Variant {
      if (cell < l.cells.size() && l.cells[cell] != "-") return platform::Variant(l.integer(cell));
      if (hasTemplate) return tpl.value(col);
      return platform::Variant(fallback);
    };
    // A name the line does not give follows the template's (Null).
    auto name = [&](size_t cell) -> platform::Variant {
      if (cell < l.cells.size() && l.cells[cell] != "-") return platform::Variant(l.cells[cell]);
      return platform::Variant::null();
    };
    if (!hasTemplate && l.text(4).empty()) l.fail("自定义功能 " + std::to_string(id) + " 需要名称");
    userRow(l,
            "INSERT INTO t_NavUserDetailFunc(FUserID, FSubFuncID, FDetailFuncID, FFuncName, FFuncName_en, "
            "FFuncName_cht, FShowName, FHelpCode, FIndex, FVisible, FEnable, FFuncType, FClassName, FClassParam, "
            "FAcctType) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {user, sub, id, name(4), name(5), name(6), l.optionalText(7), pick(8, 3), pickInt(9, 4, 1),
             pickInt(10, 5, 1), pickInt(11, 6, 1), hasTemplate ? tpl.value(7) : platform::Variant(0), pick(12, 8),
             pick(13, 9), hasTemplate ? tpl.value(10) : platform::Variant("")});
  }

  // FG user name showName: a new group; the FI lines after it fill it.
  void funcGroup(const Line& l) {
    const int32_t user = l.integer(1);
    currentGroup_ = run(l,
                        "INSERT INTO t_NavFuncGroup(FUserID, FFuncGroupName, FShowName, FIndex) VALUES (?, ?, ?, ?) "
                        "RETURNING FFuncGroupID",
                        {user, l.text(2), l.text(3), ++groupCount_[user]});
    position_ = 0;
  }

  // FI detailId [helpCode] [showName]: the function's name and codes come from the
  // template unless given.
  void funcItem(const Line& l) {
    if (currentGroup_ == 0) l.fail("FI 行之前没有 FG 行");
    const int32_t id = l.integer(1);
    auto tpl = conn_.prepare("SELECT FHelpCode FROM t_NavDetailFunc WHERE FDetailFuncID = ?");
    tpl.bind(1, id);
    if (!tpl.step()) l.fail("常用功能引用了不存在的明细功能 " + std::to_string(id));
    // An empty name or show name follows the function's own, in every language.
    const std::string name;
    const std::string help = l.cells.size() > 2 && l.cells[2] != "-" ? l.cells[2] : tpl.text(0);
    const std::string show = l.cells.size() > 3 && l.cells[3] != "-" ? l.cells[3] : std::string();
    run(l,
        "INSERT INTO t_NavFuncGroupItem(FFuncGroupID, FPosition, FDetailFuncID, FFuncName, FHelpCode, FShowName) "
        "VALUES (?, ?, ?, ?, ?, ?)",
        {currentGroup_, ++position_, id, name, help, show});
  }

 public:
  void bumpUsers() {
    for (const auto& [user, _] : touchedUsers_) storage::bumpUserRevision(conn_, user);
  }

 private:
  storage::Connection& conn_;
  std::map<std::string, Operation> ops_;
  std::map<std::pair<int, int32_t>, int32_t> childCount_;  // (level, parent) -> children so far
  std::map<int32_t, int32_t> groupCount_;
  std::map<int32_t, bool> touchedUsers_;
  int32_t currentGroup_ = 0;
  int32_t position_ = 0;
};

}  // namespace

std::filesystem::path demoFolder() {
  {
    std::lock_guard lock(folderMutex());
    if (!folderOverride().empty()) return folderOverride();
  }
  if (const char* env = std::getenv("WAYFIND_DEMO_DIR"); env && *env) return env;
  return text::resourceFolder() / "demo";
}

void setDemoFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(folderMutex());
  folderOverride() = folder;
}

void loadDemoFiles(storage::Connection& conn, const std::filesystem::path& folder) {
  const auto navigation = readLines(folder / "navigation.tsv");
  const auto company = readLines(folder / "company.tsv");
  storage::Transaction tx(conn);
  Loader loader(conn);
  loader.navigation(navigation);
  loader.company(company);
  loader.bumpUsers();
  storage::bumpTemplateRevision(conn);
  tx.commit();
}

void loadDemoCompany(storage::Connection& conn) { loadDemoFiles(conn, demoFolder()); }

}  // namespace wayfind::erp::demo
