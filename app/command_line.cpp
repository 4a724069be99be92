#include "app/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/commands.h"
#include "app/db_init.h"
#include "app/host.h"
#include "app/terminal_group_chooser.h"
#include "erp/api/message_service.h"
#include "erp/client/terminal_message_service.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/languages.h"
#include "store/search_text.h"
#include "update/group_chooser.h"
#include "wayfind_version.h"

namespace wayfind::app {

using platform::AutomationError;
using platform::Variant;

namespace {

// "chs, en or cht": the codes --lang takes, from the table of languages.
std::string languageCodes() {
  std::vector<std::string> codes;
  for (const nav::LanguageInfo& lang : nav::kLanguages)
    if (nav::IsOffered(lang)) codes.emplace_back(lang.code);
  std::string out;
  for (size_t i = 0; i < codes.size(); ++i) out += (i == 0 ? "" : i + 1 == codes.size() ? " or " : ", ") + codes[i];
  return out;
}

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
  db add-user USERID ROLE
                       the server role an ERP user connects as (PostgreSQL)
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
      {"search", R"(Usage: wayfind search TEXT [--limit N] [--json] [--no-habits] [options]

First lists the detail functions whose help code (the user's or the template's) is
TEXT, as the middle tier answers the help-code lookup. Then searches the tree the
user sees for TEXT in help codes, in the names in simplified Chinese,
traditional Chinese and English, and in the pinyin of the Chinese names, without
regard to letter case, full-width letters or simplified, traditional and variant
characters. Functions come in this order: help code is TEXT; a help code begins
with it; a name begins with it; TEXT is the pinyin initials of the start of a
name ("pzcx"); TEXT is the full pinyin of the start of a name, with or without
spaces ("pingzheng"); TEXT spells the start of a name in full pinyin and
initials mixed ("pingzlr") or by the beginnings of its words ("vou ent", "fcve");
a name, code or pinyin holds it further on; a level above the function (top
class, subsystem, sub-function) is named by it; and, for TEXT of five letters or
more, one typing error away. TEXT of several words ("凭证 录入", "gl voucher")
finds what every word finds, in any order, each by the function or a level above
it. Levels named by TEXT are listed too, before the functions of their rank.
At one rank the functions the user started most often and lately come first,
then the tree's order. Only visible functions of the user's account type, under
visible parents, are found, by the user's own names. With --json each result
says what it matched by ("matchedBy": helpCode, name, pinyinInitials, pinyin,
wordStarts, level), the text ("matched"), its rank ("matchRank"), its use score
("useScore") and, for each word, what it matched ("words").

  --limit N     at most N search results (default 20)
  --no-habits   the tree's order among equal matches, whatever the user started
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
    // A path or name given empty (an unset shell variable) would otherwise stand
    // for something else: SQLite takes an empty file name for a private database
    // thrown away at the end, so every write would vanish.
    auto nonEmptyValue = [&]() -> std::string {
      std::string v = value();
      if (v.empty()) throw UsageError{a + " needs a value, not an empty text."};
      return v;
    };
    // A flag takes no value: "--json=no" must not switch JSON on.
    auto flag = [&]() {
      if (inlineValue) throw UsageError{a + " takes no value."};
      return true;
    };
    if (a == "--help" || a == "-h") inv.help = flag();
    else if (a == "--version") inv.version = flag();
    else if (a == "--json") inv.json = flag();
    else if (a == "--all") inv.all = flag();
    else if (a == "--edit") inv.edit = flag();
    else if (a == "--limit") {
      std::string v = value();
      auto n = platform::parseNumber(v);
      if (!n || *n < 1 || *n > 1000000 || *n != static_cast<double>(static_cast<int64_t>(*n)))
        throw UsageError{"--limit takes a whole number from 1 to 1000000, not " + v + "."};
      inv.limit = static_cast<size_t>(*n);
    }
    else if (a == "--demo") inv.demo = flag();
    else if (a == "--no-habits") inv.noHabits = flag();
    else if (a == "--db") inv.host.database = nonEmptyValue();
    else if (a == "--user") {
      std::string v = value();
      const auto id = platform::wholeInt32(v);
      if (!id) throw UsageError{"--user takes a user id, not " + v + "."};
      inv.host.userId = *id;
    } else if (a == "--setup-type") inv.host.setupType = value();
    else if (a == "--lang") {
      inv.host.language = value();
      inv.languageGiven = true;
      if (!api::isLanguageCode(inv.host.language)) throw UsageError{"--lang takes " + languageCodes() + "."};
    } else if (a == "--uuid") inv.host.uuid = nonEmptyValue();
    else if (a == "--cache-dir") inv.host.cacheDir = nonEmptyValue();
    else if (a == "--call-log") inv.host.callLog = nonEmptyValue();
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

// Runs work and answers its status; a failure is said on err and answers 1, a
// wrong command line 2.
int reported(std::ostream& err, const std::function<int()>& work) {
  try {
    return work();
  } catch (const UsageError& e) {
    err << "wayfind: " << e.message << "\n";
    return 2;
  } catch (const AutomationError& e) {
    err << "wayfind: error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
  } catch (const std::exception& e) {
    err << "wayfind: " << e.what() << "\n";
  }
  return 1;
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
  const int status = reported(err, [&] { return command.run(request, out, err); });
  erp::api::installMessageService(previousMessages);
  return status;
}

// wayfind db init and db add-user: they prepare a database and open no host.
int runDbSetup(const Invocation& inv, std::ostream& out, std::ostream& err) {
  if (inv.help) {
    out << kDbInitHelp << "\n" << commandHelp().at("db");
    return 0;
  }
  const bool init = inv.positional.size() == 1 && inv.positional[0] == "init";
  const bool addUser = inv.positional.size() == 3 && inv.positional[0] == "add-user";
  if (!init && !addUser) {
    err << "wayfind: wayfind db takes init [--demo], add-user USERID ROLE or synthetic --functions N --db PATH "
           "(see wayfind db --help).\n";
    return 2;
  }
  return reported(err, [&] {
    if (addUser) return runDbAddUser(inv.host.database, inv.positional[1], inv.positional[2], out);
    return runDbInit(inv.host.database, inv.demo, out);
  });
}

using CommandRun = int (*)(const Invocation&, std::ostream&);

// Runs a built-in command with the terminal's message service and group chooser:
// its arguments checked, then (but for db synthetic, which makes its own
// database) the host started. Whatever fails is said on err.
int runWithTerminal(CommandRun run, const Invocation& inv, std::istream& in, std::ostream& out, std::ostream& err,
                    bool interactive) {
  auto previousMessages = erp::api::installMessageService(std::make_shared<erp::client::TerminalMessageService>());
  auto previousChooser = update::installGroupChooser(std::make_shared<TerminalGroupChooser>(in, err, interactive));
  const int status = reported(err, [&] {
    checkArgumentCount(inv);
    if (inv.command != "db")
      startHost(inv.host, [&](const std::string& path) {
        err << "wayfind: created the demo company in " << path << "\n";
      });
    return run(inv, out);
  });
  update::installGroupChooser(previousChooser);
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
  static const std::map<std::string, CommandRun> commands = {
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
  // "wayfind help COMMAND" is "wayfind COMMAND --help".
  if (inv.command == "help" && !inv.positional.empty()) {
    inv.command = inv.positional.front();
    inv.positional.erase(inv.positional.begin());
    inv.help = true;
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
  if (inv.command == "db" && !synthetic) return runDbSetup(inv, out, err);
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
  return runWithTerminal(command->second, inv, in, out, err, interactive);
}

}  // namespace wayfind::app
