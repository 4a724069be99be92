#include "console_fixture.h"

#include <cstdlib>

#include "launcher/application.h"
#include "platform/automation/conversions.h"
#include "store/data_info.h"
#include "store/datas_info.h"
#include "update/datas_update.h"

namespace wayfind::app::console::testing {

void ConsoleTest::SetUp() {
  WindowTest::SetUp();
  launcher::registerApplication();
  setenv("WAYFIND_CONFIG_DIR", (folder / "config").c_str(), 1);
}

void ConsoleTest::TearDown() {
  console_.reset();
  unsetenv("WAYFIND_CONFIG_DIR");
  WindowTest::TearDown();
}

ConsoleWindow& ConsoleTest::open() {
  console_ = std::make_unique<ConsoleWindow>();
  console_->load();
  console_->show();
  return *console_;
}

QTreeWidgetItem* ConsoleTest::node(const std::string& key) {
  // Breadth first through the levels the tree has read, opening each parent.
  QList<QTreeWidgetItem*> items;
  for (int i = 0; i < tree()->topLevelItemCount(); ++i) items << tree()->topLevelItem(i);
  const QString wanted = QString::fromStdString(key);
  const QString level = wanted.left(3);
  static const QStringList order{"Top", "Sys", "Sub", "Det"};
  while (!items.isEmpty()) {
    QTreeWidgetItem* item = items.takeFirst();
    const QString k = item->data(0, Qt::UserRole).toString();
    if (k == wanted) return item;
    if (order.indexOf(k.left(3)) < order.indexOf(level)) {
      item->setExpanded(true);
      for (int i = 0; i < item->childCount(); ++i) items << item->child(i);
    }
  }
  return nullptr;
}

QStringList ConsoleTest::childTexts(QTreeWidgetItem* item) {
  QStringList texts;
  for (int i = 0; item && i < item->childCount(); ++i) texts << item->child(i)->text(0);
  return texts;
}

std::vector<std::string> ConsoleTest::storedSubFuncNames(int32_t subSysId) {
  store::DataInfo::instance().clearSlots();
  std::vector<std::string> names;
  auto rs = store::DatasInfo().GetSubFunc(subSysId);
  if (rs->RecordCount() > 0) rs->MoveFirst();
  for (; !rs->isEOF(); rs->MoveNext()) names.push_back(platform::CStr(rs->value("FFuncName")));
  return names;
}

void ConsoleTest::renameSubFunc(int32_t subFuncId, const std::string& name) {
  std::string newName = name;
  update::DatasUpdate().UpdateSubSysFuncName(subFuncId, newName);
}

void ConsoleTest::setProfile(const std::string& name, const std::string& value) {
  update::DatasUpdate().SetProfileValue(name, value);
  // The console reads its settings from the loaded tables.
  store::DatasInfo().RegetDataInfo();
}

}  // namespace wayfind::app::console::testing
