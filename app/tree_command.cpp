// wayfind tree: the user's navigation tree, as text or JSON.
#include "app/commands.h"

#include "app/json_writer.h"
#include "app/text_output.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/levels.h"
#include "store/cache_files.h"
#include "store/datas_info.h"
#include "store/display_name.h"

namespace wayfind::app {

namespace {

struct Node {
  nav::Level level = nav::Level::TopClass;
  int32_t id = 0;
  std::string name;
  std::string helpCode;
  std::string className;
  std::vector<Node> children;
};

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
    out << std::string(depth * 2, ' ') << nav::InfoOf(n.level).keyPrefix << " " << n.id << "  " << printable(n.name);
    if (!n.helpCode.empty()) out << "  [" << printable(n.helpCode) << "]";
    if (!n.className.empty()) out << "  " << printable(n.className);
    out << "\n";
    printTreeText(n.children, depth + 1, out);
  }
}

std::string treeJson(const std::vector<Node>& nodes) {
  std::string out = "[";
  for (size_t i = 0; i < nodes.size(); ++i) {
    const auto& n = nodes[i];
    if (i) out += ',';
    out += std::string("{\"level\":") + jsonString(nav::InfoOf(n.level).keyPrefix) +
           ",\"id\":" + std::to_string(n.id) +
           ",\"name\":" + jsonString(n.name);
    if (n.level == nav::Level::DetailFunc) out += ",\"helpCode\":" + jsonString(n.helpCode) + ",\"className\":" + jsonString(n.className);
    else out += ",\"children\":" + treeJson(n.children);
    out += "}";
  }
  return out + "]";
}

}  // namespace

int runTree(const Invocation& inv, std::ostream& out) {
  auto info = store::newDatasInfo();
  // The user's names read cells of the cache files the queries did not touch:
  // damage found there is recovered from as the queries' own is.
  auto tree = store::AfterDamageForgotten([&] { return readTree(*info, inv.all); });
  if (inv.json)
    out << treeJson(tree) << "\n";
  else
    printTreeText(tree, 0, out);
  return 0;
}

}  // namespace wayfind::app
