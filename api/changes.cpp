// wayfind/changes.h over DatasUpdate, reloading the tables after each change so
// the host's next read shows it.
#include "wayfind/changes.h"

#include "api/guard.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/navigation/levels.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "wayfind/session.h"

namespace wayfind {

namespace {

// A node's level as the headers number them (a host may have made the node
// itself): any other would name no table, or read past the levels' own.
void requireLevel(const Node& node) {
  const auto level = static_cast<int32_t>(node.level);
  if (level < static_cast<int32_t>(Level::TopClass) || level > static_cast<int32_t>(Level::DetailFunction))
    api::failCall("A node's level is 1 to 4, not " + std::to_string(level) + ".");
}

void updateNode(const Node& node, std::string_view field, std::string_view value) {
  auto dict = std::make_shared<platform::Dictionary>();
  dict->SetValue(std::string(field), platform::Variant(std::string(value)));
  // A template function the user keeps in a folder of their own as well has a
  // row at each place: the node's parent says which one is meant.
  if (node.level == Level::DetailFunction && node.parentId != 0 &&
      !nav::IsCustomItem(nav::Level::DetailFunc, node.id))
    dict->SetValue("FSubFuncID", platform::Variant(node.parentId));
  update::DatasUpdate change;
  switch (node.level) {
    case Level::TopClass: change.UpdateTopClass(node.id, dict); break;
    case Level::SubSystem: change.UpdateSystemFunc(node.id, dict); break;
    case Level::SubFunction: change.UpdateSubSysFunc(node.id, dict); break;
    case Level::DetailFunction: change.UpdateDetailFuncAttr(node.id, dict); break;
  }
  store::DatasInfo().RegetDataInfo();
}

}  // namespace

void rename(Session& session, const Node& node, std::string_view name) {
  session.user();
  requireLevel(node);
  api::guarded([&] { updateNode(node, nav::InfoOf(static_cast<nav::Level>(node.level)).nameField, name); });
}

void setField(Session& session, const Node& node, std::string_view field, std::string_view value) {
  session.user();
  if (field.empty()) api::failCall("setField needs the name of a field.");
  requireLevel(node);
  // A node's number and place are not fields to set: the place would be taken
  // over by the node's own parent and the call answer as if it were stored.
  const auto& info = nav::InfoOf(static_cast<nav::Level>(node.level));
  for (const char* fixed : {info.idField, info.parentIdField})
    if (fixed && platform::iequals(field, fixed))
      api::failCall("setField cannot change " + std::string(fixed) + ", a node's number or place.");
  api::guarded([&] { updateNode(node, field, value); });
}

std::string setting(Session& session, std::string_view name) {
  session.user();
  return api::guarded([&] { return store::DatasInfo().GetProfileValue(std::string(name)); });
}

void setSetting(Session& session, std::string_view name, std::string_view value) {
  session.user();
  api::guarded([&] {
    update::DatasUpdate().SetProfileValue(std::string(name), std::string(value));
    store::DatasInfo().RegetDataInfo();
  });
}

}  // namespace wayfind
