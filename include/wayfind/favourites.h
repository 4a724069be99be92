// Favourites: each user keeps groups of frequently used functions, each an
// ordered list of detail functions, with a name of the user's own for each.
// They are the user's alone and live in the ERP database, apart from the tree.
//
//   auto groups = wayfind::favouriteGroups(session);
//   int32_t id = groups.empty() ? wayfind::addFavouriteGroup(session, "Daily") : groups[0].id;
//   wayfind::addFavourite(session, id, wayfind::functionByHelpCode(session, "GL01"));
//
// Changes are stored at once, each in one transaction; a refused one throws
// Error and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wayfind/error.h"
#include "wayfind/export.h"
#include "wayfind/tree.h"

namespace wayfind {

class Session;

struct FavouriteGroup {
  int32_t id = 0;
  std::string name;
};

struct Favourite {
  int32_t detailFunctionId = 0;
  std::string name;      // the user's name for it; the function's own when none
  std::string helpCode;
};

WAYFIND_EXPORT std::vector<FavouriteGroup> favouriteGroups(Session& session);
// The group's functions in the user's order; an unknown group answers none.
WAYFIND_EXPORT std::vector<Favourite> favourites(Session& session, int32_t groupId);

// Adds a group and answers its id. A name the user already has throws Error.
WAYFIND_EXPORT int32_t addFavouriteGroup(Session& session, std::string_view name);
WAYFIND_EXPORT void renameFavouriteGroup(Session& session, int32_t groupId, std::string_view name);
WAYFIND_EXPORT void removeFavouriteGroup(Session& session, int32_t groupId);

// Appends a detail function to the group (under name, or the function's own name
// when name is empty). Anything but a detail function throws Error 5.
WAYFIND_EXPORT void addFavourite(Session& session, int32_t groupId, const Node& detailFunction,
                                 std::string_view name = {});
// Empties the group.
WAYFIND_EXPORT void clearFavourites(Session& session, int32_t groupId);

}  // namespace wayfind
