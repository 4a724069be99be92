// wayfind favourites: the user's groups of frequently used functions.
#include "app/commands.h"

#include "app/json_writer.h"
#include "app/text_output.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"

namespace wayfind::app {

using platform::Variant;

int runFavourites(const Invocation& inv, std::ostream& out) {
  auto info = store::newDatasInfo();
  auto groups = info->GetNormalFuncGroup().objectAs<platform::Recordset>();
  std::vector<std::pair<int32_t, std::string>> list;
  eachRow(groups, [&](platform::Recordset& g) {
    list.emplace_back(platform::CLng(g.value("FFuncGroupID")), platform::textOrEmpty(g.value("FFuncGroupName")));
  });
  if (inv.json) {
    std::string json = "[";
    for (size_t i = 0; i < list.size(); ++i) {
      auto items = info->GetDetailNormalFunc(list[i].first);
      if (i) json += ',';
      json += std::string("{\"id\":") + std::to_string(list[i].first) +
              ",\"name\":" + jsonString(list[i].second) + ",\"functions\":" + toJson(Variant(items)) + "}";
    }
    out << json << "]\n";
    return 0;
  }
  // Every group is read before anything is printed: a failing read prints no half list.
  std::string text = list.empty() ? "No favourites groups.\n" : "";
  for (auto& [id, name] : list) {
    text += "Group " + std::to_string(id) + "  " + printable(name) + "\n";
    eachRow(info->GetDetailNormalFunc(id), [&](platform::Recordset& f) {
      std::string show = platform::textOrEmpty(f.value("FShowName"));
      if (show.empty()) show = platform::textOrEmpty(f.value("FFuncName"));
      text += "  Det " + platform::textOrEmpty(f.value("FDetailFuncID")) + "  " + printable(show);
      if (!platform::textOrEmpty(f.value("FHelpCode")).empty()) text += "  [" + printable(platform::textOrEmpty(f.value("FHelpCode"))) + "]";
      text += "\n";
    });
  }
  out << text;
  return 0;
}

}  // namespace wayfind::app
