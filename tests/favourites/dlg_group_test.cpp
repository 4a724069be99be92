// dlgGroup as the windows' group chooser: a function added without a group, by a
// user with two groups (张伟 of the demo company: 常用功能, then 月末工作).
#include <QComboBox>
#include <QPushButton>

#include "erp/api/progids.h"
#include "favourites/dlg_group.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/recordset/recordset.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "update/group_chooser.h"
#include "windows_support/window_test_support.h"

namespace wayfind::favourites {
namespace {

using platform::Variant;
using windowtests::join;

constexpr int32_t kTwoGroupsUser = 16385;
constexpr int32_t kFunction = 1010201;  // 总分类账查询, in neither group

class DlgGroupTest : public windowtests::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    login(kTwoGroupsUser);
  }

  std::shared_ptr<store::DatasInfo> info() {
    auto i = platform::Registry::instance().createAs<store::DatasInfo>(erp::progid::kDatasInfo);
    i->RegetDataInfo();
    return i;
  }
  // The groups in record order: id and name.
  std::vector<std::pair<int32_t, std::string>> groups() {
    std::vector<std::pair<int32_t, std::string>> out;
    auto rs = info()->GetNormalFuncGroup().objectAs<platform::Recordset>();
    for (; rs && !rs->isEOF(); rs->MoveNext())
      out.push_back({platform::CLng(rs->value("FFuncGroupID")), platform::CStr(rs->value("FFuncGroupName"))});
    return out;
  }
  // The function ids of a group's list.
  std::vector<int32_t> items(int32_t group) {
    std::vector<int32_t> out;
    auto rs = info()->GetDetailNormalFunc(group);
    for (; rs && !rs->isEOF(); rs->MoveNext()) out.push_back(platform::CLng(rs->value("FDetailFuncID")));
    return out;
  }
  bool appendWithoutGroup() {
    auto update = platform::Registry::instance().createAs<update::DatasUpdate>(erp::progid::kDatasUpdate);
    return update->AppendNormalItem(kFunction, "ZZCX", "总分类账查询", "总分类账查询", Variant(int32_t{-1}));
  }
};

TEST_F(DlgGroupTest, IsTheGroupChooserWhileTheWindowsRun) {
  EXPECT_NE(dynamic_cast<DialogGroupChooser*>(update::groupChooser().get()), nullptr);
}

TEST_F(DlgGroupTest, ClosedWithoutOkAnswersMinusOneAndAppendsNothing) {
  const auto before = groups();
  ASSERT_EQ(before.size(), 2u);
  const auto first = items(before[0].first);
  const auto second = items(before[1].first);
  modal().push("dlgGroup", [](QDialog& d) {
    auto& dlg = static_cast<dlgGroup&>(d);
    EXPECT_EQ(dlg.cboGroup->count(), 2);
    dlg.close();
  });
  EXPECT_FALSE(appendWithoutGroup());
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(items(before[0].first), first);
  EXPECT_EQ(items(before[1].first), second);
}

TEST_F(DlgGroupTest, OkAtOnceChoosesTheFirstGroupInRecordOrder) {
  const auto list = groups();
  ASSERT_EQ(list.size(), 2u);
  modal().push("dlgGroup", [&](QDialog& d) {
    auto& dlg = static_cast<dlgGroup&>(d);
    EXPECT_EQ(dlg.cboGroup->currentIndex(), 0);
    EXPECT_EQ(dlg.cboGroup->itemText(0).toStdString(), list[0].second);
    EXPECT_EQ(dlg.cboGroup->itemData(1).toInt(), list[1].first);
    dlg.cmdOk->click();
  });
  EXPECT_TRUE(appendWithoutGroup());
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  const auto added = items(list[0].first);
  EXPECT_NE(std::find(added.begin(), added.end(), kFunction), added.end());
  const auto other = items(list[1].first);
  EXPECT_EQ(std::find(other.begin(), other.end(), kFunction), other.end());
}

TEST_F(DlgGroupTest, TheSecondGroupChosenIsTheOneAppendedTo) {
  const auto list = groups();
  ASSERT_EQ(list.size(), 2u);
  modal().push("dlgGroup", [](QDialog& d) {
    auto& dlg = static_cast<dlgGroup&>(d);
    dlg.cboGroup->setCurrentIndex(1);
    dlg.cmdOk->click();
  });
  EXPECT_TRUE(appendWithoutGroup());
  const auto added = items(list[1].first);
  EXPECT_NE(std::find(added.begin(), added.end(), kFunction), added.end());
}

}  // namespace
}  // namespace wayfind::favourites
