// The main-console editor on the demo company: the real form, loaded as the
// process-wide dlgSetProp, with the scripted modal runner, file chooser and
// message service of the window tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editor/dlg_set_prop.h"
#include "windows_support/window_test_support.h"

namespace wayfind::editortests {

class SetPropTest : public windowtests::WindowTest {
 protected:
  void SetUp() override;

  // The editor, loaded (the tree filled down to the top classes).
  editor::dlgSetProp& open();
  editor::dlgSetProp& form();

  // The user's gestures on the tree.
  void expand(const std::string& key);
  void click(const std::string& key);
  // Expands the root's top class and clicks one of its nodes.
  void show(const std::string& topKey, const std::string& key);
  // Opens the tree down to a sub-function ("Sub10101") and clicks it.
  void showDetails(const std::string& subKey);

  // The grid's rows: item data, column 1 texts, a column's texts.
  static std::vector<int32_t> ids(const widgets::Grid& grid);
  static std::vector<std::string> column(const widgets::Grid& grid, int col);
  static int rowOf(const widgets::Grid& grid, int32_t id);
  bool enabled(const std::string& tool) const;
  bool clickTool(const std::string& tool);

  // What the store answers now, on freshly loaded tables (id -> name, in order).
  std::vector<std::pair<int32_t, std::string>> subFuncs(int32_t subSysId);
  std::vector<std::pair<int32_t, std::string>> topClasses();
  std::string detailHelpCode(int32_t subFuncId, int32_t detailId);

  // The database's version text of a user's rows (changes on every write).
  std::string userVersion(int32_t userId);
  int64_t userRowCount(const std::string& table, int32_t userId);
  // SQL on the test's database, with bound values.
  void exec(const std::string& sql, const std::vector<int64_t>& values = {});
  void bumpUser(int32_t userId);
  void bumpTemplate();

  int32_t currentUser = windowtests::kAdministrator;
};

}  // namespace wayfind::editortests
