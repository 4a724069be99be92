#include "app/console/nav_source.h"

#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/recordset/recordset.h"
#include "store/cache_files.h"
#include "store/datas_info.h"
#include "store/display_name.h"

namespace wayfind::app::console {

namespace {

using platform::Recordset;
using platform::RecordsetPtr;

std::shared_ptr<store::DatasInfo> datasInfo() {
  return store::newDatasInfo();
}

// A field's text; a field the answer does not have reads as empty too.
std::string text(const Recordset& rs, const char* field) {
  return rs.hasField(field) ? platform::fieldText(rs, field) : std::string();
}

template <class F>
void eachRow(const RecordsetPtr& rs, F&& f) {
  if (!rs) return;
  if (rs->RecordCount() > 0) rs->MoveFirst();
  for (; !rs->isEOF(); rs->MoveNext()) f(*rs);
}

NavItem detailOf(const Recordset& d) {
  NavItem item;
  item.level = Level::DetailFunc;
  item.id = platform::CLng(d.value("FDetailFuncID"));
  item.funcName = text(d, "FFuncName");
  item.name = platform::trimSpaces(text(d, "FShowName"));
  if (item.name.empty()) item.name = item.funcName;
  item.helpCode = text(d, "FHelpCode");
  item.className = text(d, "FClassName");
  item.classParam = text(d, "FClassParam");
  if (d.hasField("FEnable") && !d.value("FEnable").isNull()) item.enabled = platform::CBool(d.value("FEnable"));
  return item;
}

std::vector<NavItem> levelOf(const RecordsetPtr& rs, Level level) {
  const nav::LevelInfo& fields = nav::InfoOf(level);
  std::vector<NavItem> items;
  eachRow(rs, [&](Recordset& r) {
    NavItem item;
    item.level = level;
    item.id = platform::CLng(r.value(fields.idField));
    item.name = text(r, fields.nameField);
    items.push_back(std::move(item));
  });
  return items;
}

}  // namespace

std::vector<NavItem> NavSource::topClasses() {
  return levelOf(datasInfo()->GetTopClass(), Level::TopClass);
}

std::vector<NavItem> NavSource::subSystems(int32_t topClassId) {
  return levelOf(datasInfo()->GetSubSystem(topClassId), Level::SubSystem);
}

std::vector<NavItem> NavSource::subFuncs(int32_t subSysId) {
  return levelOf(datasInfo()->GetSubFunc(subSysId), Level::SubFunc);
}

std::vector<NavItem> NavSource::detailFuncs(int32_t subFuncId) {
  // The user's names below read cells of the cache file the query did not touch:
  // damage found there is recovered from as the query's own is.
  return store::AfterDamageForgotten([&] {
    std::vector<NavItem> items;
    auto rows = datasInfo()->GetDetailFunc(subFuncId);
    // Named at this place as the search names it: the user's own rows are read
    // once the query has loaded the store.
    const auto userNames = store::UserDetailNames::read();
    eachRow(rows, [&](Recordset& d) {
      NavItem item = detailOf(d);
      item.name = userNames.nameOf(subFuncId, d);
      item.subFuncId = subFuncId;
      items.push_back(std::move(item));
    });
    return items;
  });
}

std::vector<FavouriteGroup> NavSource::favourites() {
  auto info = datasInfo();
  std::vector<FavouriteGroup> groups;
  auto answer = info->GetNormalFuncGroup();
  if (answer.isObject() && answer.asObject()) {
    eachRow(answer.objectAs<Recordset>(), [&](Recordset& g) {
      groups.push_back({platform::CLng(g.value("FFuncGroupID")), text(g, "FFuncGroupName"), {}});
    });
  }
  for (auto& group : groups) {
    eachRow(info->GetDetailNormalFunc(group.id), [&](Recordset& f) { group.functions.push_back(detailOf(f)); });
  }
  return groups;
}

std::optional<NavItem> NavSource::detailFunc(int32_t detailFuncId) {
  auto rs = datasInfo()->GetDetailFuncInfo(detailFuncId);
  if (!rs || rs->RecordCount() <= 0) return std::nullopt;
  rs->MoveFirst();
  return detailOf(*rs);
}

std::optional<NavItem> NavSource::detailFuncAt(int32_t subFuncId, int32_t detailFuncId) {
  if (subFuncId == 0) return detailFunc(detailFuncId);
  for (auto& item : detailFuncs(subFuncId))
    if (item.id == detailFuncId) return std::move(item);
  return std::nullopt;
}

std::vector<NavItem> NavSource::byHelpCode(const std::string& helpCode) {
  const std::string code = platform::trimSpaces(helpCode);
  if (code.empty()) return {};
  std::vector<std::pair<int32_t, int32_t>> candidates;  // place, function
  eachRow(datasInfo()->GetHelpCodeInfo(code), [&](Recordset& r) {
    const bool visible = !r.hasField("FVisible") || r.value("FVisible").isNull() || platform::CBool(r.value("FVisible"));
    const int32_t place = r.hasField("FSubFuncID") && !r.value("FSubFuncID").isNull() ? platform::CLng(r.value("FSubFuncID")) : 0;
    if (visible) candidates.emplace_back(place, platform::CLng(r.value("FDetailFuncID")));
  });
  // The help-code answer is not limited to the user's account type; the rows of
  // the tree are.
  std::vector<NavItem> found;
  for (auto [place, id] : candidates) {
    if (auto item = detailFuncAt(place, id)) found.push_back(std::move(*item));
  }
  return found;
}

std::string NavSource::profileValue(const std::string& name) { return datasInfo()->GetProfileValue(name); }

void NavSource::reget() { datasInfo()->RegetDataInfo(); }

}  // namespace wayfind::app::console
