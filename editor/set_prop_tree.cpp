// The editor's tree and its lazy filling: each node's children are read when the
// node is first expanded or clicked, and read again on every click.
#include "context/language.h"
#include "editor/dlg_set_prop.h"
#include "editor/handler_guard.h"
#include "platform/automation/registry.h"
#include "platform/navigation/node_keys.h"
#include "store/datas_info.h"
#include "widgets/busy_state.h"

namespace wayfind::editor {

using widgets::Grid;
using widgets::TreeNode;

namespace {

using nav::Level;

// The level base of the rows listed under the node of key; 0 for a key that
// lists none.
int32_t childLevelBase(std::string_view key) {
  const auto level = nav::ChildLevelOfKey(key);
  return level ? nav::LevelBase(*level) : 0;
}


// Whether template rows under a node are read-only: the node is refreshed from
// the template (type 2 for a subsystem, 3 for a sub-function).
bool refreshedParent(int32_t id, int32_t type) {
  auto info = FreshQuery();
  platform::DictionaryPtr none;
  return info->IsRefresh(id, type, none);
}

// Keeps a grid visible again when a fill fails half way, so the editor stays usable.
class ShowWhenDone {
 public:
  explicit ShowWhenDone(Grid& grid) : grid_(grid) {}
  ~ShowWhenDone() { grid_.show(); }

 private:
  Grid& grid_;
};

}  // namespace

std::shared_ptr<store::DatasInfo> FreshQuery() {
  auto info = store::newDatasInfo();
  info->RegetDataInfo();
  return info;
}

void dlgSetProp::BuildRoot() {
  tvFunc_->Clear();
  TreeNode root = tvFunc_->Add(TreeNode(), nav::kRootKey, context::GetLangText("功能列表"), "List");
  tvFunc_->AddPlaceholder(root);
}

void dlgSetProp::RefreshTree() {
  outlineView_->clear();
  detailView_->clear();
  tvFunc_->Clear();
  BuildRoot();
  if (tvFunc_->Count() >= 1) {
    TreeNode root = tvFunc_->NodeAt(1);
    root.SetExpanded(true);
    NodeExpand(root);
  }
  runNodeClickFor(m_strCurKey);
}

void dlgSetProp::ShowGrid(bool outline) {
  Grid* show = outline ? vaOutlineProp_ : vaDetailProp_;
  Grid* hide = outline ? vaDetailProp_ : vaOutlineProp_;
  if (show->isHidden()) show->show();
  if (!hide->isHidden()) hide->hide();
}

void dlgSetProp::settleEdits() {
  // Filling the grid again over unsaved edits, for another node or for this one
  // after a change: the user is asked first, before the rows are read, so that
  // what is read holds what they saved. When they cannot be saved, the editor
  // stays on the node with them.
  if (!m_strCurKey.empty() && model_.pending() && !SaveChanges(true, nullptr)) {
    tvFunc_->SetSelectedItem(tvFunc_->Find(m_strCurKey));
    throw EditsKept{};
  }
}

void dlgSetProp::beginFill(int placeholderIndex, bool outline) {
  if (placeholderIndex != -1) tvFunc_->Remove(tvFunc_->NodeAt(placeholderIndex));
  ShowGrid(outline);
  PropGridBinding& view = outline ? *outlineView_ : *detailView_;
  view.clear();
  view.grid().hide();
}

void dlgSetProp::fillOutline(const std::string& parentKey, const std::vector<GridRow>& rows,
                             Level childLevel, const char* image, bool placeholders, bool lockTemplateRows) {
  ShowWhenDone visible(*vaOutlineProp_);
  TreeNode parent = tvFunc_->Node(parentKey);
  tvFunc_->RemoveChildren(parent);
  for (const auto& r : rows) {
    const std::string& name = r.cells.at(outline_col::kName - 1);
    TreeNode node = tvFunc_->Add(parent, nav::NodeKey(childLevel, r.id), name, image);
    if (placeholders) tvFunc_->AddPlaceholder(node);
    outlineView_->append(MakeRow(r, lockTemplateRows && !nav::IsCustomItem(childLevel, r.id)));
  }
  m_strCurKey = parentKey;
}

void dlgSetProp::ShowTopClasses(int placeholderIndex) {
  settleEdits();
  auto rs = widgets::RunBusy(this, [&] { return FreshQuery()->GetTopClass_All(); });
  auto rows = ReadTopClasses(*rs);
  beginFill(placeholderIndex, true);
  fillOutline(nav::kRootKey, rows, Level::TopClass, "Top", true, false);
}

void dlgSetProp::ShowSubSystems(int32_t id, int placeholderIndex) {
  settleEdits();
  auto rs = widgets::RunBusy(this, [&] { return FreshQuery()->GetSubSystem_All(id); });
  auto rows = ReadSubSystems(*rs);
  const std::string key = nav::NodeKey(Level::TopClass, id);
  beginFill(placeholderIndex, true);
  fillOutline(key, rows, Level::SubSystem, "Sys", true, false);
}

void dlgSetProp::ShowSubFuncs(int32_t id, int placeholderIndex) {
  settleEdits();
  auto rs = widgets::RunBusy(this, [&] { return FreshQuery()->GetSubFunc_All(id); });
  auto rows = ReadSubFuncs(*rs);
  const std::string key = nav::NodeKey(Level::SubSystem, id);
  beginFill(placeholderIndex, true);
  const bool locked = widgets::RunBusy(this, [&] { return refreshedParent(id, 2); });
  fillOutline(key, rows, Level::SubFunc, "Sub", false, locked);
}

void dlgSetProp::ShowDetailFuncs(int32_t id) {
  settleEdits();
  auto rs = widgets::RunBusy(this, [&] { return FreshQuery()->GetDetailFunc_All(id); });
  auto rows = ReadDetailFuncs(*rs);
  const std::string key = nav::NodeKey(Level::SubFunc, id);
  beginFill(-1, false);
  ShowWhenDone visible(*vaDetailProp_);
  const bool locked = widgets::RunBusy(this, [&] { return refreshedParent(id, 3); });
  for (const auto& r : rows) detailView_->append(MakeRow(r, locked && !nav::IsCustomItem(Level::DetailFunc, r.id)));
  m_strCurKey = key;
}

std::optional<std::vector<GridRow>> dlgSetProp::readShownLevel() {
  const auto listed = nav::ChildLevelOfKey(m_strCurKey);
  const auto id = nav::KeyId(m_strCurKey);
  if (!listed || !id) return std::nullopt;
  auto query = FreshQuery();
  if (*listed == Level::DetailFunc)
    return ReadDetailFuncs(*widgets::RunBusy(this, [&] { return query->GetDetailFunc_All(*id); }));
  auto rs = widgets::RunBusy(this, [&] {
    return *listed == Level::TopClass    ? query->GetTopClass_All()
           : *listed == Level::SubSystem ? query->GetSubSystem_All(*id)
                                         : query->GetSubFunc_All(*id);
  });
  return *listed == Level::TopClass    ? ReadTopClasses(*rs)
         : *listed == Level::SubSystem ? ReadSubSystems(*rs)
                                       : ReadSubFuncs(*rs);
}

void dlgSetProp::rereadShownRows() {
  try {
    const auto rows = readShownLevel();
    if (!rows) return;
    PropGridBinding& view = visibleView();
    for (const auto& r : *rows)
      if (const int row = view.rows().takeStoredRow(r.id, MakeRow(r, false).read)) view.showRow(row);
  } catch (const platform::AutomationError&) {
    // The save is stored; the rows keep showing what was saved until the node is
    // filled again.
  }
}

std::vector<std::string> dlgSetProp::dropEditsOfDeletedItems() {
  try {
    const auto rows = readShownLevel();
    if (!rows) return {};
    std::vector<int32_t> present;
    for (const auto& r : *rows) present.push_back(r.id);
    PropGridBinding& view = visibleView();
    auto names = view.rows().dropEditsOfItemsNotIn(present);
    if (!names.empty())
      for (int row = 1; row <= view.rows().count(); ++row) view.showRow(row);
    return names;
  } catch (const platform::AutomationError&) {
    return {};
  }
}

void dlgSetProp::NodeClick(const TreeNode& node) {
  // The node shown, clicked, expanded or collapsed again: its unsaved edits stay
  // as they are.
  if (!node.isNull() && node.Key() == m_strCurKey && model_.pending()) return;
  showNode(node);
}

void dlgSetProp::showNode(const TreeNode& node) {
  if (node.isNull()) return;
  const std::string key = node.Key();
  const auto id = nav::KeyId(key);
  if (!id) return;
  const auto listed = nav::ChildLevelOfKey(key);
  if (!listed) return;
  switch (*listed) {
    case Level::TopClass: ShowTopClasses(-1); break;
    case Level::SubSystem: ShowSubSystems(*id, -1); break;
    case Level::SubFunc: ShowSubFuncs(*id, -1); break;
    case Level::DetailFunc: ShowDetailFuncs(*id); break;
  }
  m_lngLevel = nav::LevelBase(*listed);
  UpdateRowCommands();
}

void dlgSetProp::runNodeClickFor(const std::string& key) {
  TreeNode node = tvFunc_->Find(key);
  if (!node.isNull()) showNode(node);
}

void dlgSetProp::NodeExpand(const TreeNode& node) {
  if (node.isNull()) return;
  const std::string key = node.Key();
  const auto id = nav::KeyId(key);
  if (!id) return;
  TreeNode child = node.Child();
  if (!child.isNull() && !child.Key().empty()) {
    NodeClick(node);
  } else if (!child.isNull()) {
    const int placeholder = child.Index();
    const auto level = nav::LevelOfKey(key);
    if (node.Parent().isNull()) {
      ShowTopClasses(placeholder);
    } else if (level == Level::TopClass) {
      ShowSubSystems(*id, placeholder);
    } else if (level == Level::SubSystem) {
      ShowSubFuncs(*id, placeholder);
    } else {
      return;
    }
    // A node without a parent is the root, whatever its key.
    m_lngLevel = childLevelBase(node.Parent().isNull() ? std::string_view(nav::kRootKey) : std::string_view(key));
    UpdateRowCommands();
  }
  tvFunc_->SetSelectedItem(tvFunc_->Find(key));
}

void dlgSetProp::NodeCollapse(const TreeNode& node) {
  if (node.isNull()) return;
  tvFunc_->SetSelectedItem(node);
  NodeClick(node);
}

}  // namespace wayfind::editor
