// The navigation tree a user sees, level by level.
//
// The tree has four levels: top classes hold subsystems, subsystems hold
// sub-functions, sub-functions hold detail functions, and a detail function is
// what a user starts (a window of the ERP, named by its class and help code).
// What a user sees is the company's template with the user's own changes over it
// (names, order, hidden items, items the user made), for the account type the
// user logged in with, named in the session's language.
//
//   for (const wayfind::Node& top : wayfind::topClasses(session))
//     for (const wayfind::Node& sys : wayfind::children(session, top))
//       std::cout << top.name << " > " << sys.name << "\n";
//
// Reading loads the tables once per session (from the cache folder when the
// database's versions have not changed) and then answers from memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wayfind/error.h"
#include "wayfind/export.h"

namespace wayfind {

class Session;

// The levels, numbered as the ERP numbers them.
enum class Level : int32_t { TopClass = 1, SubSystem = 2, SubFunction = 3, DetailFunction = 4 };

struct Node {
  Level level = Level::TopClass;
  int32_t id = 0;          // unique within its level
  int32_t parentId = 0;    // the item of the level above; 0 for a top class
  std::string name;        // in the session's language; the user's own name when set
  // Detail functions only: the help code a user types to start it, and the ERP
  // class (with its parameter) that runs it.
  std::string helpCode;
  std::string className;
  std::string classParam;
};

// Shown: what the user's tree shows. All: hidden items too (what an editor lists).
enum class Visibility { Shown, All };

// The top classes, in the user's order.
WAYFIND_EXPORT std::vector<Node> topClasses(Session& session, Visibility visibility = Visibility::Shown);

// The items one level below parent, in the user's order. A detail function has
// no children: asking for them throws Error 5. An id that names no item answers
// an empty list.
WAYFIND_EXPORT std::vector<Node> children(Session& session, const Node& parent,
                                          Visibility visibility = Visibility::Shown);

// The detail function with the help code (compared without regard to case), or
// Error 5 when the user's tree has none.
WAYFIND_EXPORT Node functionByHelpCode(Session& session, const std::string& helpCode);

}  // namespace wayfind
