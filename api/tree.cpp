// wayfind/tree.h over DatasInfo's tree queries.
#include "wayfind/tree.h"

#include "api/guard.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/levels.h"
#include "store/cache_files.h"
#include "store/datas_info.h"
#include "store/display_name.h"
#include "store/search.h"
#include "wayfind/session.h"

namespace wayfind {

namespace {

std::string textOf(const platform::Recordset& rs, const char* field) {
  return rs.hasField(field) ? platform::textOrEmpty(rs.value(field)) : std::string();
}

std::vector<Node> nodesOf(const platform::RecordsetPtr& rs, Level level, int32_t parentId) {
  std::vector<Node> nodes;
  if (!rs) return nodes;
  const nav::LevelInfo& fields = nav::InfoOf(static_cast<nav::Level>(level));
  // Detail functions are named at their place as the console and the search name
  // them: the user's own name for the function at this sub-function.
  std::optional<store::UserDetailNames> userNames;
  if (level == Level::DetailFunction) userNames = store::UserDetailNames::read();
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
    Node n;
    n.level = level;
    n.id = platform::CLng(rs->value(fields.idField));
    n.parentId = parentId;
    n.name = userNames ? userNames->nameOf(parentId, *rs) : platform::textOrEmpty(rs->value(fields.nameField));
    if (level == Level::DetailFunction) {
      n.helpCode = textOf(*rs, "FHelpCode");
      n.className = textOf(*rs, "FClassName");
      n.classParam = textOf(*rs, "FClassParam");
    }
    nodes.push_back(std::move(n));
  }
  return nodes;
}

}  // namespace

std::vector<Node> topClasses(Session& session, Visibility visibility) {
  session.user();
  return api::guarded([&] {
    store::DatasInfo info;
    return nodesOf(visibility == Visibility::All ? info.GetTopClass_All() : info.GetTopClass(), Level::TopClass, 0);
  });
}

std::vector<Node> children(Session& session, const Node& parent, Visibility visibility) {
  session.user();
  const bool all = visibility == Visibility::All;
  return api::guarded([&] {
    store::DatasInfo info;
    switch (parent.level) {
      case Level::TopClass:
        return nodesOf(all ? info.GetSubSystem_All(parent.id) : info.GetSubSystem(parent.id), Level::SubSystem, parent.id);
      case Level::SubSystem:
        return nodesOf(all ? info.GetSubFunc_All(parent.id) : info.GetSubFunc(parent.id), Level::SubFunction, parent.id);
      case Level::SubFunction:
        // The user's names read cells of the cache file the query did not touch:
        // damage found there is recovered from as the query's own is.
        return store::AfterDamageForgotten([&] {
          return nodesOf(all ? info.GetDetailFunc_All(parent.id) : info.GetDetailFunc(parent.id),
                         Level::DetailFunction, parent.id);
        });
      case Level::DetailFunction:
        api::failCall("A detail function has no children; " + parent.name + " (" + std::to_string(parent.id) +
                      ") is one.");
    }
    api::failCall("A node's level is 1 to 4, not " + std::to_string(static_cast<int32_t>(parent.level)) + ".");
  });
}

Node functionByHelpCode(Session& session, const std::string& helpCode) {
  session.user();
  return api::guarded([&] {
    // The search's index holds exactly the functions the user's tree shows, with
    // an exact help code ranked first.
    const auto found = store::SearchFunctions(helpCode, 8);
    for (const auto& row : found.rows) {
      if (row.depth != 4) continue;  // a level the text names as well
      if (row.rank != store::SearchRank::HelpCode) break;
      Node n;
      n.level = Level::DetailFunction;
      n.id = row.detailFuncId;
      n.parentId = row.subFuncId;
      n.name = row.name;
      n.helpCode = row.helpCode;
      n.className = row.className;
      n.classParam = row.classParam;
      return n;
    }
    api::failCall("No function of user " + std::to_string(session.user()) + "'s tree has the help code \"" +
                  helpCode + "\".");
  });
}

}  // namespace wayfind
