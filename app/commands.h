// The commands of the command line that the program itself carries, and what
// they share; app/command_line.cpp parses the line and hands over to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/host.h"
#include "platform/recordset/recordset.h"

namespace wayfind::app {

// A parsed command line.
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
  bool noHabits = false;  // search: the tree's order among equal matches
  std::string command;
  std::vector<std::string> positional;
  std::optional<int64_t> functions;  // db synthetic --functions
};

// A wrong command line: exit status 2, nothing touched.
struct UsageError {
  std::string message;
};

// Each row of rs from the first, as the current row of rs.
template <class F>
void eachRow(const platform::RecordsetPtr& rs, F&& f) {
  if (!rs) return;
  if (rs->RecordCount() > 0) rs->MoveFirst();
  for (; !rs->isEOF(); rs->MoveNext()) f(*rs);
}

// The commands; each prints to out and answers the exit status, raising
// UsageError or the call's own error.
int runTree(const Invocation& inv, std::ostream& out);
int runCall(const Invocation& inv, std::ostream& out);
int runSearch(const Invocation& inv, std::ostream& out);
int runFavourites(const Invocation& inv, std::ostream& out);
int runDb(const Invocation& inv, std::ostream& out);  // db synthetic
int runExport(const Invocation& inv, std::ostream& out);
int runImport(const Invocation& inv, std::ostream& out);

}  // namespace wayfind::app
