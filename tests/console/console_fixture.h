// The console on the demo company: the real window, reading through the real
// public classes, with the scripted modal runner and message service of the
// window tests. The language choice goes to the test's own folder.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/console/console_window.h"
#include "windows_support/window_test_support.h"

namespace wayfind::app::console::testing {

inline constexpr int32_t kZhang = 16385;  // general ledger accountant, two favourites groups

class ConsoleTest : public windowtests::WindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new console, loaded (settings, top level, favourites).
  ConsoleWindow& open();
  ConsoleWindow& console() { return *console_; }

  template <class T>
  T* child(const char* name) {
    auto* w = console_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QTreeWidget* tree() { return child<QTreeWidget>("tvMenu"); }
  QTreeWidget* favouritesTree() { return child<QTreeWidget>("tvNormal"); }
  QTreeWidget* results() { return child<QTreeWidget>("lvResult"); }
  QListWidget* recentList() { return child<QListWidget>("lstRecent"); }
  QString status() { return console_->statusBar()->currentMessage(); }

  // The tree's node of a key ("Top1", "Sys101", "Sub10101"), opening its parents
  // as the user would; nullptr when it does not show.
  QTreeWidgetItem* node(const std::string& key);
  static QStringList childTexts(QTreeWidgetItem* item);

  // What the store answers on freshly loaded tables.
  std::vector<std::string> storedSubFuncNames(int32_t subSysId);
  // Changes made in the middle tier without loading the tables again, as another
  // program would make them.
  void renameSubFunc(int32_t subFuncId, const std::string& name);
  void setProfile(const std::string& name, const std::string& value);

  std::unique_ptr<ConsoleWindow> console_;
};

}  // namespace wayfind::app::console::testing
