#include "editor/set_prop_fixture.h"

#include "erp/storage/connection.h"
#include "erp/storage/database.h"
#include "erp/storage/versions.h"
#include "platform/automation/conversions.h"
#include "store/datas_info.h"
#include "widgets/form_registry.h"
#include "widgets/toolbar.h"

namespace wayfind::editortests {

using editor::dlgSetProp;

void SetPropTest::SetUp() { windowtests::WindowTest::SetUp(); }

dlgSetProp& SetPropTest::open() {
  auto& f = form();
  f.Load();
  return f;
}

dlgSetProp& SetPropTest::form() { return widgets::forms().instance<dlgSetProp>(); }

void SetPropTest::expand(const std::string& key) { form().tvFunc()->simulateExpand(form().tvFunc()->Node(key)); }

void SetPropTest::click(const std::string& key) { form().tvFunc()->simulateClick(form().tvFunc()->Node(key)); }

void SetPropTest::show(const std::string& topKey, const std::string& key) {
  expand(topKey);
  if (key != topKey) click(key);
}

void SetPropTest::showDetails(const std::string& subKey) {
  // "Sub10101" lies under "Sys101" under a top class: find its subsystem's node by
  // expanding the top classes until it shows.
  const std::string sys = "Sys" + subKey.substr(3, subKey.size() - 5);
  auto* tree = form().tvFunc();
  if (tree->Find(sys).isNull()) {
    for (auto top : tree->Node("All0").childNodes()) {
      const std::string key = top.Key();
      tree->simulateExpand(tree->Node(key));
      if (!tree->Find(sys).isNull()) break;
    }
  }
  tree->simulateExpand(tree->Node(sys));
  click(subKey);
}

std::vector<int32_t> SetPropTest::ids(const widgets::Grid& grid) {
  std::vector<int32_t> out;
  for (int r = 1; r <= grid.MaxRows(); ++r) out.push_back(grid.RowItemData(r));
  return out;
}

std::vector<std::string> SetPropTest::column(const widgets::Grid& grid, int col) {
  std::vector<std::string> out;
  for (int r = 1; r <= grid.MaxRows(); ++r) out.push_back(grid.Text(col, r));
  return out;
}

int SetPropTest::rowOf(const widgets::Grid& grid, int32_t id) { return grid.FindRowByItemData(id); }

bool SetPropTest::enabled(const std::string& tool) const {
  return widgets::forms().instance<dlgSetProp>().Bar()->ToolEnabled(tool);
}

bool SetPropTest::clickTool(const std::string& tool) { return form().Bar()->ClickTool(tool); }

namespace {

std::vector<std::pair<int32_t, std::string>> pairs(const platform::RecordsetPtr& rs, const char* idField,
                                                   const char* nameField) {
  std::vector<std::pair<int32_t, std::string>> out;
  if (rs->RecordCount() == 0) return out;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
    out.emplace_back(platform::CLng(rs->value(idField)), platform::fieldText(*rs, nameField));
  }
  return out;
}

}  // namespace

std::vector<std::pair<int32_t, std::string>> SetPropTest::subFuncs(int32_t subSysId) {
  store::DatasInfo info;
  info.RegetDataInfo();
  return pairs(info.GetSubFunc_All(subSysId), "FSubFuncID", "FFuncName");
}

std::vector<std::pair<int32_t, std::string>> SetPropTest::topClasses() {
  store::DatasInfo info;
  info.RegetDataInfo();
  return pairs(info.GetTopClass_All(), "FTopClassID", "FTopClassName");
}

std::string SetPropTest::detailHelpCode(int32_t subFuncId, int32_t detailId) {
  store::DatasInfo info;
  info.RegetDataInfo();
  for (const auto& [id, code] : pairs(info.GetDetailFunc_All(subFuncId), "FDetailFuncID", "FHelpCode"))
    if (id == detailId) return code;
  return "<none>";
}

std::string SetPropTest::userVersion(int32_t userId) {
  auto conn = erp::storage::connectionFor(database);
  return erp::storage::userVersionText(*conn, userId);
}

int64_t SetPropTest::userRowCount(const std::string& table, int32_t userId) {
  auto conn = erp::storage::connectionFor(database);
  auto st = conn->prepare("SELECT COUNT(*) FROM " + table + " WHERE FUserID = ?");
  st.bind(1, userId);
  return st.step() ? st.int64(0) : -1;
}

void SetPropTest::exec(const std::string& sql, const std::vector<int64_t>& values) {
  auto conn = erp::storage::connectionFor(database);
  auto st = conn->prepare(sql);
  for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i) + 1, values[i]);
  st.run();
}

void SetPropTest::bumpUser(int32_t userId) {
  auto conn = erp::storage::connectionFor(database);
  erp::storage::bumpUserRevision(*conn, userId);
}

void SetPropTest::bumpTemplate() {
  auto conn = erp::storage::connectionFor(database);
  erp::storage::bumpTemplateRevision(*conn);
}

}  // namespace wayfind::editortests
