#include "app/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/call_arguments.h"
#include "app/db_init.h"
#include "app/db_synthetic.h"
#include "app/host.h"
#include "app/json_writer.h"
#include "app/terminal_group_chooser.h"
#include "app/text_output.h"
#include "erp/api/message_service.h"
#include "erp/client/terminal_message_service.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"
#include "platform/navigation/levels.h"
#include "store/datas_info.h"
#include "store/display_name.h"
#include "store/search.h"
#include "store/search_text.h"
#include "update/datas_update.h"
#include "update/group_chooser.h"
#include "wayfind_version.h"

namespace wayfind::app {

using platform::AutomationError;
using platform::Variant;

namespace {

constexpr const char* kGlobalHelp = R"(wayfind - the navigation tree of the ERP client, on the command line

Usage: wayfind [options] COMMAND [arguments]

Commands:
  tree                 the navigation tree the user sees
  call CLASS.METHOD    any public method by name (DatasInfo, DatasUpdate)
  search TEXT          detail functions found by help code or part of a name
  favourites           the user's groups of frequently used functions
  export FILE          write the user's customisation to a template file
  import FILE          replace the user's customisation by a template file
  db init [--demo]     create the tables (and the demo company) in an empty
                       database, such as a new PostgreSQL database
  db synthetic --functions N --db PATH
                       create a synthetic company of N detail functions in the new
                       database file PATH (for measuring a large company)

Options (for every command):
  --db PATH|URI        database file, or a PostgreSQL connection URI
                       (postgresql://user@host/dbname; made with "wayfind db init")
                       (default: $WAYFIND_DB, else a file in the user's data
                       folder; the demo company is created there on the first run)
  --user ID            the logged-in user (default: $WAYFIND_USER, else the first
                       active user)
  --setup-type TEXT    the installation's setup type (default: Industry)
  --lang chs|en|cht    the user's language (default: $WAYFIND_LANGUAGE, else chs)
  --uuid TEXT          the installation identifier (default: the database's own)
  --cache-dir DIR      where the cache files go (default: $WAYFIND_CACHE_DIR, else
                       beside the component)
  --call-log FILE      log every timed call to FILE (also $WAYFIND_CALL_LOG)
  --json               print JSON instead of text
  --help               this text; "wayfind COMMAND --help" explains one command
  --version            the program's version
)";

const std::map<std::string, std::string>& commandHelp() {
  static const std::map<std::string, std::string> help = {
      {"tree", R"(Usage: wayfind tree [--all] [--json] [options]

Prints the navigation tree level by level: top classes (Top), subsystems (Sys),
sub-functions (Sub) and detail functions (Det), each with its identifier; detail
functions also with their help codes and class names. The user's own rows are merged
over the template for the setup type's account type.

  --all    include invisible nodes (the "_All" queries)
)"},
      {"call", R"(Usage: wayfind call CLASS.METHOD [ARG...] [--json] [options]

Calls a public method of WayfindInfo.DatasInfo or WayfindInfo.DatasUpdate by name,
as a host calls it late-bound, and prints the result and every by-reference
argument the method changed.

Arguments:
  42 -7        Long           3.5          Double
  true false   Boolean        -            omitted (optional argument)
  null         Null           str:TEXT     the text TEXT exactly
  dict:K=V,... a dictionary   vector:A,... a vector
  other        the text itself (also 007 or 1.50: numbers are read only as they print)

Example: wayfind call DatasUpdate.UpdateSubSysFuncName 10000101 凭证管理
)"},
      {"search", R"(Usage: wayfind search TEXT [--limit N] [--json] [options]

First lists the detail functions whose help code (the user's or the template's) is
TEXT, as the middle tier answers the help-code lookup. Then searches the tree the
user sees for TEXT in help codes, in the names in simplified Chinese,
traditional Chinese and English, and in the pinyin of the Chinese names, without
regard to letter case, full-width letters or simplified, traditional and variant
characters. Functions come in this order, each group in tree order: help code is
TEXT; a help code begins with it; a name begins with it; TEXT is the pinyin
initials of the start of a name ("pzcx"); TEXT is the full pinyin of the start of
a name, with or without spaces ("pingzheng"); a name, code or pinyin holds it
further on; and, for TEXT of five letters or more, one typing error away. Only
visible functions of the user's account type, under visible parents, are found,
by the user's own names. With --json each result says what it matched by
("matchedBy": helpCode, name, pinyinInitials, pinyin) and the text ("matched").

  --limit N   at most N search results (default 20)
)"},
      {"favourites", R"(Usage: wayfind favourites [--json] [options]

Lists the user's groups of frequently used functions with their functions in order.
)"},
      {"export", R"(Usage: wayfind export FILE [options]

Writes the user's customisation to the template file FILE. An existing file is
replaced only by a complete new one.
)"},
      {"db", R"(Usage: wayfind db synthetic --functions N --db PATH

Creates the new database file PATH holding a synthetic company: N detail
functions (100 to 5000000), ten to a sub-function, ten sub-functions to a
subsystem, up to 12 top classes, up to 50 users with N/10 own rows among them.
The same N always gives the same company. PATH must not exist yet; it appears
only when the company is complete. Example, then a first query of the company:

  wayfind db synthetic --functions 50000 --db /tmp/big.db
  wayfind call DatasInfo.GetDetailFunc 1001 --db /tmp/big.db
)"},
      {"import", R"(Usage: wayfind import FILE [options]

Replaces the user's customisation by the template file FILE (written by export, by
this or another user). A file that is not a template file changes nothing.
)"},
  };
  return help;
}

struct Invocation {
  HostOptions host;
  bool languageGiven = false;
  bool json = false;
  bool all = false;
  bool edit = false;
  bool help = false;
  bool version = false;
  size_t limit = 20;
  bool demo = false;
  std::string command;
  std::vector<std::string> positional;
  std::optional<int64_t> functions;  // db synthetic --functions
};

struct UsageError {
  std::string message;
};

Invocation parse(const std::vector<std::string>& args) {
  Invocation inv;
  // The login language of the environment unless --lang names one.
  if (const char* env = std::getenv("WAYFIND_LANGUAGE"); env && *env) {
    inv.host.language = env;
    inv.languageGiven = true;
  }
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (!optionsDone && a == "--") {
      optionsDone = true;
      continue;
    }
    if (optionsDone || a.size() < 2 || a[0] != '-' || (a[1] != '-' && a != "-h")) {
      // A negative number or "-" is an argument, not an option.
      if (inv.command.empty())
        inv.command = a;
      else
        inv.positional.push_back(a);
      continue;
    }
    std::optional<std::string> inlineValue;
    if (auto eq = a.find('='); eq != std::string::npos) {
      inlineValue = a.substr(eq + 1);
      a = a.substr(0, eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value."};
      return args[++i];
    };
    if (a == "--help" || a == "-h") inv.help = true;
    else if (a == "--version") inv.version = true;
    else if (a == "--json") inv.json = true;
    else if (a == "--all") inv.all = true;
    else if (a == "--edit") inv.edit = true;
    else if (a == "--limit") {
      std::string v = value();
      auto n = platform::parseNumber(v);
      if (!n || *n < 1 || *n > 1000000 || *n != static_cast<double>(static_cast<int64_t>(*n)))
        throw UsageError{"--limit takes a whole number from 1 to 1000000, not " + v + "."};
      inv.limit = static_cast<size_t>(*n);
    }
    else if (a == "--demo") inv.demo = true;
    else if (a == "--db") inv.host.database = value();
    else if (a == "--user") {
      std::string v = value();
      auto n = platform::parseNumber(v);
      if (!n || *n != static_cast<int32_t>(*n)) throw UsageError{"--user takes a user id, not " + v + "."};
      inv.host.userId = static_cast<int32_t>(*n);
    } else if (a == "--setup-type") inv.host.setupType = value();
    else if (a == "--lang") {
      inv.host.language = value();
      inv.languageGiven = true;
      if (inv.host.language != "chs" && inv.host.language != "en" && inv.host.language != "cht")
        throw UsageError{"--lang takes chs, en or cht."};
    } else if (a == "--uuid") inv.host.uuid = value();
    else if (a == "--cache-dir") inv.host.cacheDir = value();
    else if (a == "--call-log") inv.host.callLog = value();
    else if (a == "--functions") {
      std::string v = value();
      auto n = platform::parseNumber(v);
      if (!n || !(*n >= -1e15 && *n <= 1e15) || *n != static_cast<double>(static_cast<int64_t>(*n)))
        throw UsageError{"--functions takes a whole number, not " + v + "."};
      inv.functions = static_cast<int64_t>(*n);
    }
    else throw UsageError{"Unknown option " + a + "."};
  }
  return inv;
}

std::vector<AddedCommand>& addedCommands() {
  static std::vector<AddedCommand> commands;
  return commands;
}

// The added command an invocation names: "favourites --edit" is the favourites
// command with --edit.
const AddedCommand* addedCommandFor(const std::string& command, bool edit) {
  const std::string name = edit ? command + " --edit" : command;
  for (const auto& c : addedCommands())
    if (c.name == name) return &c;
  return nullptr;
}

std::string globalHelp() {
  std::string help = kGlobalHelp;
  if (addedCommands().empty()) return help;
  std::string lines;
  for (const auto& c : addedCommands()) {
    std::string name = c.name;
    name.resize(std::max<size_t>(name.size() + 1, 21), ' ');
    lines += "  " + name + c.summary + "\n";
  }
  const auto at = help.find("\nOptions (for every command):");
  return help.insert(at, lines);
}

// The number of arguments each command takes, checked before the host starts, so
// a wrong command line touches nothing.
void checkArgumentCount(const Invocation& inv) {
  static const std::map<std::string, std::pair<size_t, const char*>> counts = {
      {"tree", {0, "no arguments"}},   {"search", {1, "one TEXT"}}, {"favourites", {0, "no arguments"}},
      {"export", {1, "one FILE"}},     {"import", {1, "one FILE"}},
  };
  if (inv.command == "call") {
    if (inv.positional.empty())
      throw UsageError{"wayfind call takes CLASS.METHOD [ARG...] (see wayfind call --help)."};
    return;
  }
  auto it = counts.find(inv.command);
  if (it != counts.end() && inv.positional.size() != it->second.first)
    throw UsageError{"wayfind " + inv.command + " takes " + it->second.second + " (see wayfind " + inv.command +
                     " --help)."};
  // A blank text would list every function without a help code.
  if (inv.command == "search" && store::FoldSearchText(inv.positional[0]).empty())
    throw UsageError{"wayfind search needs a TEXT that is not blank."};
}


// ---- tree ----

struct Node {
  nav::Level level = nav::Level::TopClass;
  int32_t id = 0;
  std::string name;
  std::string helpCode;
  std::string className;
  std::vector<Node> children;
};

template <class F>
void eachRow(const platform::RecordsetPtr& rs, F&& f) {
  if (!rs) return;
  if (rs->RecordCount() > 0) rs->MoveFirst();
  for (; !rs->isEOF(); rs->MoveNext()) f(*rs);
}

// A node of level from the record set's current row, named by the level's name field.
Node nodeOf(nav::Level level, const platform::Recordset& r) {
  const nav::LevelInfo& fields = nav::InfoOf(level);
  return {level, platform::CLng(r.value(fields.idField)), platform::textOrEmpty(r.value(fields.nameField)), "", "", {}};
}

std::vector<Node> readTree(store::DatasInfo& info, bool all) {
  std::vector<Node> tops;
  // Functions are named at their place as the console and the search name them,
  // from the user's rows as the store holds them (read once, after the first
  // query has loaded the store).
  std::optional<store::UserDetailNames> userNames;
  eachRow(all ? info.GetTopClass_All() : info.GetTopClass(), [&](platform::Recordset& t) {
    tops.push_back(nodeOf(nav::Level::TopClass, t));
  });
  for (auto& top : tops) {
    eachRow(all ? info.GetSubSystem_All(top.id) : info.GetSubSystem(top.id), [&](platform::Recordset& s) {
      top.children.push_back(nodeOf(nav::Level::SubSystem, s));
    });
    for (auto& sys : top.children) {
      eachRow(all ? info.GetSubFunc_All(sys.id) : info.GetSubFunc(sys.id), [&](platform::Recordset& f) {
        sys.children.push_back(nodeOf(nav::Level::SubFunc, f));
      });
      for (auto& sub : sys.children) {
        auto details = all ? info.GetDetailFunc_All(sub.id) : info.GetDetailFunc(sub.id);
        if (!userNames) userNames = store::UserDetailNames::read();
        eachRow(details, [&](platform::Recordset& d) {
          const std::string name = userNames->nameOf(sub.id, d);
          sub.children.push_back({nav::Level::DetailFunc, platform::CLng(d.value("FDetailFuncID")), name,
                                  platform::textOrEmpty(d.value("FHelpCode")),
                                  d.hasField("FClassName") ? platform::textOrEmpty(d.value("FClassName")) : "", {}});
        });
      }
    }
  }
  return tops;
}

void printTreeText(const std::vector<Node>& nodes, int depth, std::ostream& out) {
  for (const auto& n : nodes) {
    out << std::string(depth * 2, ' ') << nav::InfoOf(n.level).keyPrefix << " " << n.id << "  " << n.name;
    if (!n.helpCode.empty()) out << "  [" << n.helpCode << "]";
    if (!n.className.empty()) out << "  " << n.className;
    out << "\n";
    printTreeText(n.children, depth + 1, out);
  }
}

std::string treeJson(const std::vector<Node>& nodes) {
  std::string out = "[";
  for (size_t i = 0; i < nodes.size(); ++i) {
    const auto& n = nodes[i];
    out += (i ? "," : "") + std::string("{\"level\":") + jsonString(nav::InfoOf(n.level).keyPrefix) +
           ",\"id\":" + std::to_string(n.id) +
           ",\"name\":" + jsonString(n.name);
    if (n.level == nav::Level::DetailFunc) out += ",\"helpCode\":" + jsonString(n.helpCode) + ",\"className\":" + jsonString(n.className);
    else out += ",\"children\":" + treeJson(n.children);
    out += "}";
  }
  return out + "]";
}

int runTree(const Invocation& inv, std::ostream& out) {
  auto info = platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
  auto tree = readTree(*info, inv.all);
  if (inv.json)
    out << treeJson(tree) << "\n";
  else
    printTreeText(tree, 0, out);
  return 0;
}

// ---- call ----

int runCall(const Invocation& inv, std::ostream& out) {
  const std::string target = inv.positional[0];
  auto dot = target.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == target.size())
    throw UsageError{"Name the method as CLASS.METHOD, for example DatasInfo.GetTopClass."};
  std::string className = target.substr(0, dot);
  if (className.rfind("WayfindInfo.", 0) != 0) className = "WayfindInfo." + className;
  const std::string method = target.substr(dot + 1);

  platform::Args args;
  for (size_t i = 1; i < inv.positional.size(); ++i) args.push_back(parseCallArgument(inv.positional[i]));
  const platform::Args before = args;

  auto object = platform::Registry::instance().create(className);
  auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(object);
  if (!dispatch) throw AutomationError(platform::err::kNoSuchMethod, className, "The class cannot be called by name.");
  Variant result = dispatch->invoke(method, args);

  if (inv.json) {
    std::string changed = "{";
    bool first = true;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == before[i] && !args[i].isObject()) continue;
      changed += (first ? "" : ",") + jsonString(std::to_string(i + 1)) + ":" + toJson(args[i]);
      first = false;
    }
    out << "{\"result\":" << toJson(result) << ",\"arguments\":" << changed << "}}\n";
    return 0;
  }
  out << formatValue(result);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == before[i] && !args[i].isObject()) continue;
    if (args[i].isObject() && args[i].asObject())
      out << "argument " << (i + 1) << ":\n" << formatValue(args[i]);
    else
      out << "argument " << (i + 1) << " = " << valueText(args[i]) << "\n";
  }
  return 0;
}

// ---- search, favourites, export, import ----

// The rank as before the finer ranks came: an exact help code, a beginning, a
// part; a match with one typing error is "typo". matchedBy says what matched.
const char* rankName(store::SearchRank rank) {
  switch (rank) {
    case store::SearchRank::HelpCode: return "helpCode";
    case store::SearchRank::HelpCodePrefix:
    case store::SearchRank::NamePrefix:
    case store::SearchRank::InitialsPrefix:
    case store::SearchRank::PinyinPrefix: return "prefix";
    case store::SearchRank::Typo: return "typo";
    default: return "contains";
  }
}

const char* matchedByName(store::MatchedBy by) {
  switch (by) {
    case store::MatchedBy::HelpCode: return "helpCode";
    case store::MatchedBy::PinyinInitials: return "pinyinInitials";
    case store::MatchedBy::Pinyin: return "pinyin";
    default: return "name";
  }
}

std::string searchRowJson(const store::FunctionSearchRow& r) {
  auto num = [](int32_t n) { return std::to_string(n); };
  return "{\"rank\":" + jsonString(rankName(r.rank)) + ",\"topClassId\":" + num(r.topClassId) +
         ",\"subSysId\":" + num(r.subSysId) + ",\"subFuncId\":" + num(r.subFuncId) +
         ",\"detailFuncId\":" + num(r.detailFuncId) + ",\"name\":" + jsonString(r.name) +
         ",\"helpCode\":" + jsonString(r.helpCode) + ",\"helpCode1\":" + jsonString(r.helpCode1) +
         ",\"topClassName\":" + jsonString(r.topClassName) + ",\"subSysName\":" + jsonString(r.subSysName) +
         ",\"subFuncName\":" + jsonString(r.subFuncName) + ",\"path\":" + jsonString(r.path) +
         ",\"className\":" + jsonString(r.className) + ",\"classParam\":" + jsonString(r.classParam) +
         ",\"enabled\":" + (r.enabled ? "true" : "false") + ",\"matchedBy\":" + jsonString(matchedByName(r.matchedBy)) +
         ",\"matched\":" + jsonString(r.matched) + "}";
}

std::string searchRowText(size_t number, const store::FunctionSearchRow& r) {
  std::string line = std::to_string(number) + ". Det " + std::to_string(r.detailFuncId) + "  " + r.name;
  std::string codes = r.helpCode;
  if (!r.helpCode1.empty()) codes += (codes.empty() ? "" : ", ") + r.helpCode1;
  if (!codes.empty()) line += "  [" + codes + "]";
  line += "  " + r.path;
  if (!r.enabled) line += "  (disabled)";
  if (r.matchedBy == store::MatchedBy::PinyinInitials || r.matchedBy == store::MatchedBy::Pinyin ||
      r.rank == store::SearchRank::Typo || r.matched != r.name)
    line += "  (" + std::string(r.rank == store::SearchRank::Typo ? "nearly " : "") + matchedByName(r.matchedBy) +
            (r.matched.empty() ? "" : ": " + r.matched) + ")";
  return line + "\n";
}

// The exact help-code lookup of the middle tier, then the ranked search of the
// user's tree. Both are read before anything is printed.
int runSearch(const Invocation& inv, std::ostream& out) {
  const std::string& text = inv.positional[0];
  auto info = platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
  auto exact = info->GetHelpCodeInfo(text);
  const store::FunctionSearchResult found = store::SearchFunctions(text, inv.limit);
  if (inv.json) {
    std::string rows;
    for (const auto& r : found.rows) rows += (rows.empty() ? "" : ",") + searchRowJson(r);
    out << "{\"helpCode\":" << toJson(Variant(exact)) << ",\"results\":[" << rows
        << "],\"more\":" << (found.more ? "true" : "false") << "}\n";
    return 0;
  }
  std::string report = exact && exact->RecordCount() > 0
                           ? "Help code " + text + ":\n" + formatValue(Variant(exact)) + "\n"
                           : "No function has the help code " + text + ".\n\n";
  if (found.rows.empty()) {
    report += "Nothing in the tree matches " + text + ".\n";
  } else {
    report += "Search " + text + ":\n";
    for (size_t i = 0; i < found.rows.size(); ++i) report += searchRowText(i + 1, found.rows[i]);
    if (found.more) report += "(more than " + std::to_string(inv.limit) + " found; --limit N shows more)\n";
  }
  out << report;
  return 0;
}

int runFavourites(const Invocation& inv, std::ostream& out) {
  auto info = platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
  auto groups = info->GetNormalFuncGroup().objectAs<platform::Recordset>();
  std::vector<std::pair<int32_t, std::string>> list;
  eachRow(groups, [&](platform::Recordset& g) {
    list.emplace_back(platform::CLng(g.value("FFuncGroupID")), platform::textOrEmpty(g.value("FFuncGroupName")));
  });
  if (inv.json) {
    std::string json = "[";
    for (size_t i = 0; i < list.size(); ++i) {
      auto items = info->GetDetailNormalFunc(list[i].first);
      json += (i ? "," : "") + std::string("{\"id\":") + std::to_string(list[i].first) +
              ",\"name\":" + jsonString(list[i].second) + ",\"functions\":" + toJson(Variant(items)) + "}";
    }
    out << json << "]\n";
    return 0;
  }
  // Every group is read before anything is printed: a failing read prints no half list.
  std::string text = list.empty() ? "No favourites groups.\n" : "";
  for (auto& [id, name] : list) {
    text += "Group " + std::to_string(id) + "  " + name + "\n";
    eachRow(info->GetDetailNormalFunc(id), [&](platform::Recordset& f) {
      std::string show = platform::textOrEmpty(f.value("FShowName"));
      if (show.empty()) show = platform::textOrEmpty(f.value("FFuncName"));
      text += "  Det " + platform::textOrEmpty(f.value("FDetailFuncID")) + "  " + show;
      if (!platform::textOrEmpty(f.value("FHelpCode")).empty()) text += "  [" + platform::textOrEmpty(f.value("FHelpCode")) + "]";
      text += "\n";
    });
  }
  out << text;
  return 0;
}

// db synthetic needs no host: it makes a new database and does not open one.
int runDb(const Invocation& inv, std::ostream& out) {
  if (inv.positional.size() != 1 || inv.positional[0] != "synthetic" || !inv.functions || !inv.host.database ||
      inv.host.database->empty())
    throw UsageError{"wayfind db takes synthetic --functions N --db PATH (see wayfind db --help)."};
  try {
    createSyntheticCompany(*inv.host.database, *inv.functions);
  } catch (const std::invalid_argument& e) {
    throw UsageError{e.what()};
  }
  out << "Created a synthetic company of " << *inv.functions << " detail functions in " << *inv.host.database
      << ".\n";
  return 0;
}

int runExport(const Invocation& inv, std::ostream& out) {
  auto info = platform::Registry::instance().createAs<store::DatasInfo>(store::DatasInfo::kProgId);
  info->Export(inv.positional[0]);
  out << "Exported the customisation to " << inv.positional[0] << ".\n";
  return 0;
}

int runImport(const Invocation& inv, std::ostream& out) {
  auto update = platform::Registry::instance().createAs<update::DatasUpdate>(update::DatasUpdate::kProgId);
  update->Import(Variant(inv.positional[0]));
  out << "Imported " << inv.positional[0] << ".\n";
  return 0;
}

int runAdded(const AddedCommand& found, const Invocation& inv, std::ostream& out, std::ostream& err) {
  // A copy: preparing may put the module's command in the table in its place.
  AddedCommand command = found;
  if (command.prepare) {
    try {
      command.prepare();
    } catch (const AutomationError& e) {
      err << "wayfind: " << e.description() << "\n";
      return 1;
    }
    if (const AddedCommand* real = addedCommandFor(inv.command, inv.edit)) command = *real;
  }
  if (inv.help) {
    out << command.help;
    return 0;
  }
  if (inv.positional.size() < command.minArguments || inv.positional.size() > command.maxArguments) {
    err << "wayfind: wrong number of arguments (see wayfind " << command.name << " --help).\n";
    return 2;
  }
  CommandRequest request;
  request.host = inv.host;
  request.languageGiven = inv.languageGiven;
  request.json = inv.json;
  request.positional = inv.positional;
  auto previousMessages = erp::api::installMessageService(std::make_shared<erp::client::TerminalMessageService>());
  int status = 0;
  try {
    status = command.run(request, out, err);
  } catch (const AutomationError& e) {
    err << "wayfind: error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    status = 1;
  } catch (const std::exception& e) {
    err << "wayfind: " << e.what() << "\n";
    status = 1;
  }
  erp::api::installMessageService(previousMessages);
  return status;
}

}  // namespace

void addCommand(AddedCommand command) {
  for (auto& c : addedCommands()) {
    if (c.name == command.name) {
      c = std::move(command);
      return;
    }
  }
  addedCommands().push_back(std::move(command));
}

int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   bool interactive) {
  static const std::map<std::string, int (*)(const Invocation&, std::ostream&)> commands = {
      {"tree", runTree},         {"call", runCall},     {"search", runSearch},
      {"favourites", runFavourites}, {"export", runExport}, {"import", runImport},
      {"db", runDb},
  };
  Invocation inv;
  try {
    inv = parse(args);
  } catch (const UsageError& e) {
    err << "wayfind: " << e.message << "\n";
    return 2;
  }
  if (inv.version) {
    out << "wayfind " << WAYFIND_VERSION << "\n";
    return 0;
  }
  if (inv.command.empty() || inv.command == "help") {
    // Without a command the line is wrong: the help then goes where errors go.
    const bool wrong = inv.command.empty() && !inv.help;
    (wrong ? err : out) << globalHelp();
    return wrong ? 2 : 0;
  }
  if (const AddedCommand* added = addedCommandFor(inv.command, inv.edit)) return runAdded(*added, inv, out, err);
  if (inv.edit) {
    err << (inv.command == "favourites" ? "wayfind: favourites --edit needs the windows, and this program has none.\n"
                                        : "wayfind: --edit goes with favourites only (see wayfind --help).\n");
    return 2;
  }
  // wayfind db init opens no host; wayfind db synthetic goes through the table below.
  const bool synthetic = inv.command == "db" && !inv.positional.empty() && inv.positional[0] == "synthetic";
  if (inv.command == "db" && !synthetic) {
    if (inv.help) {
      out << kDbInitHelp << "\n" << commandHelp().at("db");
      return 0;
    }
    if (inv.positional.size() != 1 || inv.positional[0] != "init") {
      err << "wayfind: wayfind db takes init [--demo] or synthetic --functions N --db PATH (see wayfind db --help).\n";
      return 2;
    }
    try {
      return runDbInit(inv.host.database, inv.demo, out);
    } catch (const AutomationError& e) {
      err << "wayfind: error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    } catch (const std::exception& e) {
      err << "wayfind: " << e.what() << "\n";
    }
    return 1;
  }
  auto command = commands.find(inv.command);
  if (command == commands.end()) {
    err << "wayfind: unknown command " << inv.command << " (see wayfind --help).\n";
    return 2;
  }
  if (inv.help) {
    out << commandHelp().at(inv.command);
    return 0;
  }
  if (inv.functions && inv.command != "db") {
    err << "wayfind: --functions belongs to wayfind db synthetic.\n";
    return 2;
  }

  auto previousMessages = erp::api::installMessageService(std::make_shared<erp::client::TerminalMessageService>());
  auto previousChooser = update::installGroupChooser(std::make_shared<TerminalGroupChooser>(in, err, interactive));
  int status = 0;
  try {
    checkArgumentCount(inv);
    if (inv.command == "db") {
      status = command->second(inv, out);
      update::installGroupChooser(previousChooser);
      erp::api::installMessageService(previousMessages);
      return status;
    }
    startHost(inv.host, [&](const std::string& path) {
      err << "wayfind: created the demo company in " << path << "\n";
    });
    status = command->second(inv, out);
  } catch (const UsageError& e) {
    err << "wayfind: " << e.message << "\n";
    status = 2;
  } catch (const AutomationError& e) {
    err << "wayfind: error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    status = 1;
  } catch (const std::exception& e) {
    err << "wayfind: " << e.what() << "\n";
    status = 1;
  }
  update::installGroupChooser(previousChooser);
  erp::api::installMessageService(previousMessages);
  return status;
}

}  // namespace wayfind::app
