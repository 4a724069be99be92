// Every part of the core's API once, on a new demo database: prints what it
// found, line by line, for packaging_test.sh to compare; exits 1 on a mismatch.
#include <wayfind/changes.h>
#include <wayfind/favourites.h>
#include <wayfind/objects.h>
#include <wayfind/search.h>
#include <wayfind/session.h>
#include <wayfind/tree.h>
#include <wayfind/version.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <utility>

static int failures = 0;
static void expect(bool ok, const std::string& what) {
  if (!ok) ++failures;
  std::cout << (ok ? "ok   " : "FAIL ") << what << "\n";
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::cout << std::unitbuf;
  auto session = wayfind::Session::open({.database = argv[1], .user = 16385, .language = "en"});
  expect(session.createdDatabase() && session.user() == 16385, "opened " + session.database());

  // A forgotten step cannot happen; a wrong one says what to do.
  try {
    wayfind::Session::open({.database = argv[1]});
    expect(false, "a second session");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5 && std::string(e.what()).find("already open") != std::string::npos, e.what());
  }

  const auto tops = wayfind::topClasses(session);
  bool supplyChain = false;
  for (const auto& top : tops) supplyChain = supplyChain || (top.id == 2 && top.name == "Supply Chain");
  expect(supplyChain, "top class 2 in English among " + std::to_string(tops.size()));
  const auto systems = wayfind::children(session, tops[0]);
  const auto subs = wayfind::children(session, systems.at(0));
  const auto details = wayfind::children(session, subs.at(0));
  expect(!details.empty() && details[0].level == wayfind::Level::DetailFunction, "detail " + details.at(0).name);
  try {
    wayfind::children(session, details[0]);
    expect(false, "children of a detail function");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5, e.what());
  }

  const auto found = wayfind::search(session, details[0].name, 5);
  expect(!found.functions.empty() && found.functions[0].function.id == details[0].id, "search " + found.functions.at(0).path);

  // Only functions are found, though the text names a subsystem too.
  bool onlyFunctions = true;
  for (const auto& f : wayfind::search(session, "General Ledger", 5).functions)
    onlyFunctions = onlyFunctions && f.function.id != 0 && f.function.parentId != 0;
  const auto none = wayfind::search(session, "General Ledger", 0);
  expect(onlyFunctions && none.functions.empty() && none.more, "search answers functions only");

  // 2020201 is in the user's folder 750103 as well; renamed at its template
  // place, it is renamed there, and the folder's row keeps its name.
  const auto under = [&](const wayfind::Node& parent, int32_t id) {
    for (const auto& n : wayfind::children(session, parent))
      if (n.id == id) return n;
    return wayfind::Node{};
  };
  wayfind::Node top2;
  for (const auto& top : tops)
    if (top.id == 2) top2 = top;
  const auto order = under(under(under(top2, 202), 20202), 2020201);
  wayfind::rename(session, order, "Orders here");
  wayfind::Node top7;
  for (const auto& top : wayfind::topClasses(session))
    if (top.id == 7) top7 = top;
  const auto kept = under(under(under(top7, 7501), 750103), 2020201);
  expect(under(under(under(top2, 202), 20202), 2020201).name == "Orders here" && kept.id == 2020201 &&
             kept.name != "Orders here",
         "renamed at the place named: " + kept.name);

  wayfind::rename(session, tops[0], "My books");
  expect(wayfind::topClasses(session).at(0).name == "My books", "renamed");
  wayfind::rename(session, tops[0], tops[0].name);
  wayfind::Node nowhere = tops[0];
  nowhere.level = static_cast<wayfind::Level>(0);  // a node a host made wrongly
  try {
    wayfind::rename(session, nowhere, "x");
    expect(false, "renamed a node of level 0");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5, e.what());
  }

  try {
    wayfind::setField(session, order, "fsubfuncid", "10102");
    expect(false, "moved a function by setField");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5, e.what());
  }

  const int32_t group = wayfind::addFavouriteGroup(session, " Daily ");  // kept without its blanks
  bool listed = false;
  for (const auto& g : wayfind::favouriteGroups(session)) listed |= g.id == group && g.name == "Daily";
  expect(listed, "the group as stored");
  wayfind::addFavourite(session, group, details[0]);
  const auto favourites = wayfind::favourites(session, group);
  expect(favourites.size() == 1 && favourites[0].detailFunctionId == details[0].id, "favourite " + favourites.at(0).name);
  // No group is numbered -1 (below the API it would stand for the first group).
  try {
    wayfind::clearFavourites(session, -1);
    expect(false, "cleared group -1");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5 && wayfind::favourites(session, -1).empty() && wayfind::favourites(session, group).size() == 1,
           e.what());
  }

  // The late-bound classes by ProgID.
  auto info = wayfind::create(session, "WayfindInfo.DatasInfo");
  auto table = std::get<wayfind::TablePtr>(info.invoke("GetTopClass"));
  expect(table->rows.size() == tops.size() && table->column("FTopClassID") >= 0, "GetTopClass by name");
  try {
    wayfind::create(session, "WayfindInfo.Nothing");
    expect(false, "an unregistered ProgID");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 429 && std::string(e.what()).find("WayfindInfo.DatasInfo") != std::string::npos, e.what());
  }

  // Closed, another opens; what it leaves unset is the default, not the last session's.
  const std::string first = session.database();
  { wayfind::Session closing(std::move(session)); }
  const std::string second = std::string(argv[1]) + ".second";
  ::setenv("WAYFIND_DB", second.c_str(), 1);
  auto next = wayfind::Session::open({});
  expect(next.database() == second && next.createdDatabase() && next.language() == "chs",
         "reopened on " + next.database() + " after " + first);
  // An object of the closed session does not act for the open one's user.
  try {
    info.invoke("GetTopClass");
    expect(false, "an object of a closed session");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5, e.what());
  }
  { wayfind::Session closing(std::move(next)); }
  // A group is a row of the users' table, but nobody logs in as one.
  try {
    wayfind::Session::open({.database = second, .user = 1});
    expect(false, "logged in as group 1");
  } catch (const wayfind::Error& e) {
    expect(e.number() == 5, e.what());
  }
  // A database named relative to the working folder is the same file after the
  // host moves to another folder and calls from another thread; a file put in
  // its place between two sessions is the one the next session reads.
  {
    const std::filesystem::path home = std::filesystem::absolute(second).parent_path();
    std::filesystem::current_path(home);
    auto relative = wayfind::Session::open({.database = "relative.db", .user = 16385});
    std::filesystem::create_directory(home / "elsewhere");
    std::filesystem::current_path(home / "elsewhere");
    std::thread([&] { wayfind::rename(relative, wayfind::topClasses(relative).at(0), "From a thread"); }).join();
    expect(!std::filesystem::exists(home / "elsewhere" / "relative.db") &&
               wayfind::topClasses(relative).at(0).name == "From a thread",
           "one file for a relative name: " + relative.database());
    { wayfind::Session closing(std::move(relative)); }
    std::filesystem::copy_file(second, home / "relative.db", std::filesystem::copy_options::overwrite_existing);
    for (const char* side : {"-wal", "-shm"}) std::filesystem::remove(home / ("relative.db" + std::string(side)));
    auto again = wayfind::Session::open({.database = (home / "relative.db").string(), .user = 16385});
    expect(wayfind::topClasses(again).at(0).name != "From a thread", "the file put back is read");
    // The same when the session ends on another thread than the one it was used on.
    wayfind::rename(again, wayfind::topClasses(again).at(0), "Before the restore");
    std::thread([&] { wayfind::Session closing(std::move(again)); }).join();
    std::filesystem::copy_file(second, home / "relative.db", std::filesystem::copy_options::overwrite_existing);
    for (const char* side : {"-wal", "-shm"}) std::filesystem::remove(home / ("relative.db" + std::string(side)));
    auto restored = wayfind::Session::open({.database = (home / "relative.db").string(), .user = 16385});
    expect(wayfind::topClasses(restored).at(0).name != "Before the restore", "put back after a session ended elsewhere");
    { wayfind::Session closing(std::move(restored)); }
    // A session a host keeps in a static ends at exit without harm.
    static wayfind::Session kept = wayfind::Session::open({.database = (home / "relative.db").string(), .user = 16385});
    expect(!wayfind::topClasses(kept).empty(), "a session kept in a static");
  }
  std::cout << "WayfindInfo " << WAYFIND_VERSION << "\n";
  return failures == 0 ? 0 : 1;
}
