// wayfind/favourites.h over the favourites' queries and changes. The changes go
// to the middle tier directly where DatasUpdate drops a failure (appending), so
// the host hears why a change was refused.
#include "wayfind/favourites.h"

#include "api/guard.h"
#include "context/login_props.h"
#include "platform/automation/conversions.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "update/server_call.h"
#include "wayfind/session.h"

namespace wayfind {

namespace {

std::vector<FavouriteGroup> readGroups() {
  std::vector<FavouriteGroup> groups;
  auto rs = store::DatasInfo().GetNormalFuncGroup().objectAs<platform::Recordset>();
  if (!rs) return groups;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
    groups.push_back({platform::CLng(rs->value("FFuncGroupID")), platform::fieldText(*rs, "FFuncGroupName")});
  return groups;
}

const FavouriteGroup* groupNamed(const std::vector<FavouriteGroup>& groups, std::string_view name) {
  for (const auto& g : groups)
    if (g.name == name) return &g;
  return nullptr;
}

void refused(const std::string& what) { api::failCall(what + " was refused by the middle tier."); }

// Groups are numbered from 1. Below the API, -1 stands for the user's first
// group; a host names a group by the id favouriteGroups gave it.
void requireGroupId(int32_t groupId) {
  if (groupId <= 0)
    api::failCall("There is no favourites group " + std::to_string(groupId) + "; favouriteGroups lists the ids.");
}

}  // namespace

std::vector<FavouriteGroup> favouriteGroups(Session& session) {
  session.user();
  return api::guarded([] { return readGroups(); });
}

std::vector<Favourite> favourites(Session& session, int32_t groupId) {
  session.user();
  return api::guarded([&] {
    std::vector<Favourite> list;
    if (groupId <= 0) return list;
    auto rs = store::DatasInfo().GetDetailNormalFunc(groupId);
    if (!rs) return list;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
      Favourite f;
      f.detailFunctionId = platform::CLng(rs->value("FDetailFuncID"));
      f.name = platform::fieldText(*rs, "FShowName");
      if (f.name.empty()) f.name = platform::fieldText(*rs, "FFuncName");
      f.helpCode = platform::fieldText(*rs, "FHelpCode");
      list.push_back(std::move(f));
    }
    return list;
  });
}

int32_t addFavouriteGroup(Session& session, std::string_view name) {
  session.user();
  return api::guarded([&] {
    // Stored without the blanks around it, so looked for without them.
    const std::string stored = platform::trimSpaces(name);
    if (stored.empty()) api::failCall("A favourites group needs a name.");
    if (groupNamed(readGroups(), stored)) api::failCall("The user already has a favourites group \"" + stored + "\".");
    if (!update::DatasUpdate().AddNormalFuncGroup(std::string(name))) refused("Adding the group");
    const auto groups = readGroups();
    const FavouriteGroup* added = groupNamed(groups, stored);
    if (!added) refused("Adding the group");
    return added->id;
  });
}

void renameFavouriteGroup(Session& session, int32_t groupId, std::string_view name) {
  session.user();
  api::guarded([&] {
    if (name.empty()) api::failCall("A favourites group needs a name.");
    update::DatasUpdate().UpdateNormalFuncGroup(groupId, std::string(name));
  });
}

void removeFavouriteGroup(Session& session, int32_t groupId) {
  session.user();
  api::guarded([&] {
    if (!platform::CBool(update::DatasUpdate().DelNormalFuncGroup(groupId)))
      refused("Removing group " + std::to_string(groupId));
  });
}

void addFavourite(Session& session, int32_t groupId, const Node& detailFunction, std::string_view name) {
  session.user();
  if (detailFunction.level != Level::DetailFunction)
    api::failCall("Only a detail function can be a favourite; " + detailFunction.name + " is not one.");
  requireGroupId(groupId);
  api::guarded([&] {
    int32_t id = detailFunction.id, group = groupId;
    std::string code = detailFunction.helpCode, show(name), funcName = detailFunction.name;
    const std::string props = context::PropsString();
    if (!platform::CBool(update::createUpdateServer()->AppendNormalItem(props, id, code, show, funcName, group)))
      refused("Adding function " + std::to_string(detailFunction.id) + " to group " + std::to_string(groupId));
  });
}

void clearFavourites(Session& session, int32_t groupId) {
  session.user();
  requireGroupId(groupId);
  api::guarded([&] { update::DatasUpdate().ClearNormalList(groupId); });
}

}  // namespace wayfind
