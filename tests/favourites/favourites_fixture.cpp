#include "favourites_fixture.h"

#include <QCoreApplication>

#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "widgets/form_registry.h"

namespace wayfind::favourites::testing {

void FavouritesTest::SetUp() { windowtests::WindowTest::SetUp(); }

void FavouritesTest::TearDown() {
  widgets::forms().release(frmAllFunc::kFormName);
  widgets::forms().release(dlgSetNormal::kFormName);
  windowtests::WindowTest::TearDown();
}

dlgSetNormal& FavouritesTest::editor() { return widgets::forms().instance<dlgSetNormal>(); }

dlgSetNormal& FavouritesTest::openEditor() {
  auto& ed = editor();
  ed.Load();
  ed.show();
  return ed;
}

std::vector<std::string> FavouritesTest::storedList(int32_t groupId) {
  store::DatasInfo info;
  std::vector<std::string> out;
  auto rs = info.GetDetailNormalFunc(groupId);
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    auto text = [&](const char* f) { return platform::fieldText(*rs, f); };
    out.push_back(text("FDetailFuncID") + ":" + text("FHelpCode") + ":" + text("FShowName"));
  }
  return out;
}

std::vector<std::string> FavouritesTest::gridRows() {
  auto& g = *editor().vaNormal;
  std::vector<std::string> out;
  for (int row = 1; row <= g.MaxRows(); ++row)
    out.push_back(std::to_string(g.RowItemData(row)) + ":" + g.Text(2, row) + ":" + g.Text(3, row));
  return out;
}

std::vector<std::string> FavouritesTest::storedGroups() {
  store::DatasInfo info;
  std::vector<std::string> out;
  auto rs = info.GetNormalFuncGroup().objectAs<platform::Recordset>();
  for (; rs && !rs->isEOF(); rs->MoveNext())
    out.push_back(platform::CStr(rs->value("FFuncGroupID")) + ":" + platform::CStr(rs->value("FFuncGroupName")));
  return out;
}

std::vector<int32_t> FavouritesTest::functionsOf(int32_t subFuncId) {
  store::DatasInfo info;
  std::vector<int32_t> out;
  auto rs = info.GetDetailFunc(subFuncId);
  for (; rs && !rs->isEOF(); rs->MoveNext()) out.push_back(platform::CLng(rs->value("FDetailFuncID")));
  return out;
}

int32_t FavouritesTest::firstGroup() {
  store::DatasInfo info;
  auto rs = info.GetNormalFuncGroup().objectAs<platform::Recordset>();
  return rs && !rs->isEOF() ? platform::CLng(rs->value("FFuncGroupID")) : 0;
}

std::string FavouritesTest::shownMessages() const {
  std::string out;
  for (const auto& c : shownCalls()) out += std::to_string(static_cast<int>(c.kind)) + " " + c.text + "\n";
  return out;
}

std::vector<erp::client::ScriptedMessageService::Call> FavouritesTest::shownCalls() const {
  std::vector<erp::client::ScriptedMessageService::Call> out;
  for (const auto& c : messages->calls)
    if (c.kind != erp::client::ScriptedMessageService::Kind::FileTest) out.push_back(c);
  return out;
}

bool FavouritesTest::over(const std::string& key) {
  QMimeData mime;
  mime.setData(kTreeNodeMimeType, QByteArray::fromStdString(key));
  QWidget* target = editor().vaNormal->viewport();
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &move);
  EXPECT_EQ(enter.isAccepted(), move.isAccepted());
  return move.isAccepted();
}

void FavouritesTest::drop(const std::string& key) {
  over(key);  // a drop ends a drag that went over the grid
  QMimeData mime;
  mime.setData(kTreeNodeMimeType, QByteArray::fromStdString(key));
  QDropEvent event(QPointF(6, 6), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(editor().vaNormal->viewport(), &event);
}

}  // namespace wayfind::favourites::testing
