// dlgAddItem on the demo company: what it refuses, what it stores, and what the
// user sees of each mode.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "dialogs/dlg_add_item.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/recordset/recordset.h"
#include "store/datas_info.h"
#include "widgets/file_chooser.h"
#include "widgets/form_registry.h"
#include "widgets/twips.h"
#include "windows_support/window_test_support.h"

namespace wayfind::dialogs {
namespace {

using erp::client::ScriptedMessageService;
using platform::Variant;
using widgets::twipsToPixels;
using windowtests::join;

constexpr int32_t kSubSystem = 101;   // 总账
constexpr int32_t kSubFunc = 10101;   // 凭证处理

std::string repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::string tagOf(const dlgAddItem& dlg) { return dlg.Tag.isString() ? platform::CStr(dlg.Tag) : std::string(); }

// The rows of a record set as "field value" of one field, in order.
std::vector<std::string> column(platform::RecordsetPtr rs, const char* field) {
  std::vector<std::string> out;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
    const Variant& v = rs->value(field);
    out.push_back(v.isNull() ? std::string("<null>") : platform::CStr(v));
  }
  return out;
}

std::shared_ptr<store::DatasInfo> freshInfo() {
  auto info = platform::Registry::instance().createAs<store::DatasInfo>(erp::progid::kDatasInfo);
  info->RegetDataInfo();
  return info;
}

// The detail function of a sub-function by name, as the store answers it after a reload.
platform::RecordsetPtr detailNamed(int32_t subFunc, const std::string& name) {
  auto rs = freshInfo()->GetDetailFunc_All(subFunc);
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
    if (platform::CStr(rs->value("FFuncName")) == name) return rs;
  return nullptr;
}

class DlgAddItemTest : public windowtests::WindowTest {
 protected:
  dlgAddItem& open(const std::string& level, int32_t detailFuncId = 0) {
    // qobject_cast checks the form's type (and so links the dialogs' library).
    auto* form = qobject_cast<dlgAddItem*>(widgets::forms().form(dlgAddItem::kFormName));
    if (!form) throw std::runtime_error("dlgAddItem is not the registered dlgAddItem");
    auto& dlg = *form;
    dlg.curLevel = level;
    dlg.DetailFuncID = detailFuncId;
    dlg.Load();
    return dlg;
  }

  // Shows the dialog, lets act fill it, presses OK; when OK leaves it open (a
  // refusal), presses Cancel so the modal showing ends. Answers whether OK closed it.
  bool pressOk(dlgAddItem& dlg, const std::function<void(dlgAddItem&)>& act) {
    bool closedByOk = false;
    modal().push("dlgAddItem", [&](QDialog&) {
      act(dlg);
      dlg.btnOk->click();
      closedByOk = !dlg.isVisible();
      if (!closedByOk) dlg.btnCancel->click();
    });
    dlg.ShowModal();
    EXPECT_TRUE(modal().done()) << join(modal().failures());
    return closedByOk;
  }

  std::string existingProgram() {
    const auto path = folder / "程序 1.exe";
    std::ofstream(path) << "program";
    return path.string();
  }

  // What the dialog showed the user: warnings and error reports (the store's file
  // tests through the same service are not shown).
  std::string shown() const {
    std::string out;
    for (const auto& call : messages->calls)
      if (call.kind == ScriptedMessageService::Kind::Warning || call.kind == ScriptedMessageService::Kind::Error)
        out += call.text + "\n";
    return out;
  }

  std::vector<std::string> subFuncNames() { return column(freshInfo()->GetSubFunc_All(kSubSystem), "FFuncName"); }
};

TEST_F(DlgAddItemTest, NameIsMeasuredInCharactersAfterTrimmingAndLimitedToFifty) {
  const std::string fifty = repeat("账", 50);
  auto& dlg = open("Sys" + std::to_string(kSubSystem));
  const auto before = subFuncNames();

  EXPECT_FALSE(pressOk(dlg, [&](dlgAddItem& d) { d.txtName->setText(QString::fromStdString(fifty + "账")); }));
  EXPECT_EQ(messages->warnings(), std::vector<std::string>{"项目名称超过了50个字符，请重新输入。"});
  EXPECT_EQ(tagOf(dlg), "Cancel");
  EXPECT_EQ(subFuncNames(), before);

  dlg.Unload();
  messages->calls.clear();
  auto& again = open("Sys" + std::to_string(kSubSystem));
  EXPECT_TRUE(pressOk(again, [&](dlgAddItem& d) { d.txtName->setText(QString::fromStdString("  " + fifty + "  ")); }));
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(tagOf(again), "OK");
  const auto after = subFuncNames();
  EXPECT_EQ(after.size(), before.size() + 1);
  EXPECT_NE(std::find(after.begin(), after.end(), fifty), after.end()) << "stored trimmed";
}

TEST_F(DlgAddItemTest, RefusalPutsTheFocusIntoTheOffendingBox) {
  auto& dlg = open("Sub" + std::to_string(kSubFunc));
  modal().push("dlgAddItem", [&](QDialog&) {
    QApplication::setActiveWindow(&dlg);
    dlg.txtName->setText("   ");
    dlg.txtPrgPath->setText("");
    dlg.btnOk->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.txtName);
    dlg.txtName->setText("记账");
    dlg.btnOk->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.txtPrgPath);
    dlg.txtPrgPath->setText(QString::fromStdString((folder / "no such program.exe").string()));
    dlg.txtHelpCode->setText(QString::fromStdString(repeat("J", 51)));
    dlg.btnOk->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.txtHelpCode);
    dlg.txtHelpCode->setText("JZ");
    dlg.btnOk->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.txtPrgPath);
    EXPECT_TRUE(dlg.isVisible());
    dlg.btnCancel->click();
  });
  dlg.ShowModal();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  // A name of spaces is empty; an empty name is reported before the missing path.
  EXPECT_EQ(messages->warnings(), (std::vector<std::string>{"项目名称不能为空，请重新输入。",
                                                            "程序路径不能为空，请重新输入。",
                                                            "助记码超过了50个字符，请重新输入。",
                                                            "程序路径不存在，请重新输入。"}));
  EXPECT_EQ(detailNamed(kSubFunc, "记账"), nullptr);
}

TEST_F(DlgAddItemTest, DetailFunctionIsStoredAsSelfDefinedWithItsProgramAndHelpCode) {
  const std::string program = existingProgram();
  auto& dlg = open("Sub" + std::to_string(kSubFunc));
  EXPECT_EQ(dlg.levelNumber(), 4);
  EXPECT_EQ(dlg.parentId(), kSubFunc);
  EXPECT_TRUE(pressOk(dlg, [&](dlgAddItem& d) {
    d.txtName->setText(" 月末结账 ");
    d.txtHelpCode->setText(" YMJZ ");
    d.txtPrgPath->setText(QString::fromStdString(program));
  }));
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(tagOf(dlg), "OK");
  auto row = detailNamed(kSubFunc, "月末结账");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(platform::CStr(row->value("FClassParam")), "SelfDefine");
  EXPECT_EQ(platform::CStr(row->value("FClassName")), program);
  EXPECT_EQ(platform::CStr(row->value("FHelpCode")), "YMJZ");
  EXPECT_GE(platform::CLng(row->value("FDetailFuncID")), 1000000000);
}

TEST_F(DlgAddItemTest, ModifyingLoadsTheFunctionAndStoresTheChanges) {
  const std::string program = existingProgram();
  auto& create = open("Sub" + std::to_string(kSubFunc));
  ASSERT_TRUE(pressOk(create, [&](dlgAddItem& d) {
    d.txtName->setText("月末结账");
    d.txtHelpCode->setText("YMJZ");
    d.txtPrgPath->setText(QString::fromStdString(program));
  }));
  create.Unload();
  auto row = detailNamed(kSubFunc, "月末结账");
  ASSERT_NE(row, nullptr);
  const int32_t id = platform::CLng(row->value("FDetailFuncID"));
  const int32_t index = platform::CLng(row->value("FIndex"));

  auto& edit = open("EditDetail", id);
  EXPECT_EQ(edit.windowTitle().toStdString(), "修改项目");
  EXPECT_EQ(edit.txtPrgPath->text().toStdString(), program);
  EXPECT_EQ(edit.txtHelpCode->text().toStdString(), "YMJZ");
  EXPECT_TRUE(edit.txtName->text().isEmpty()) << "the caller fills the name";
  EXPECT_TRUE(pressOk(edit, [&](dlgAddItem& d) {
    d.txtName->setText("月末结账（新）");
    d.txtHelpCode->setText("YMJZ2");
  }));
  EXPECT_EQ(shown(), "");
  auto changed = detailNamed(kSubFunc, "月末结账（新）");
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(platform::CLng(changed->value("FDetailFuncID")), id);
  EXPECT_EQ(platform::CStr(changed->value("FHelpCode")), "YMJZ2");
  EXPECT_EQ(platform::CLng(changed->value("FIndex")), index);
}

TEST_F(DlgAddItemTest, GroupModeAsksOnlyForANameAndCreatesTheGroup) {
  auto& dlg = open("Grp1");
  EXPECT_TRUE(dlg.isGroupMode());
  EXPECT_EQ(dlg.windowTitle().toStdString(), "新增常用功能组");
  EXPECT_EQ(dlg.lblName->text().toStdString(), "常用功能组:");
  EXPECT_EQ(dlg.height(), twipsToPixels(2640 / 1.5));
  EXPECT_EQ(dlg.btnOk->y(), twipsToPixels(1920 / 2));
  modal().push("dlgAddItem", [&](QDialog&) {
    for (QWidget* w : std::initializer_list<QWidget*>{dlg.txtHelpCode, dlg.txtPrgPath, dlg.btnOpen, dlg.lblPath, dlg.lblZJM})
      EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(dlg.txtName->text().isEmpty());
    dlg.txtName->setText("每日必看");
    dlg.btnOk->click();
  });
  dlg.ShowModal();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(tagOf(dlg), "OK");
  auto groups = freshInfo()->GetNormalFuncGroup().objectAs<platform::Recordset>();
  const auto names = column(groups, "FFuncGroupName");
  EXPECT_NE(std::find(names.begin(), names.end(), "每日必看"), names.end()) << join(names);
}

TEST_F(DlgAddItemTest, AGroupNameTakenAlreadyIsReportedAndTheDialogStaysOpen) {
  auto& dlg = open("Grp1");
  // 王芳's group "常用功能" of the demo company.
  EXPECT_FALSE(pressOk(dlg, [&](dlgAddItem& d) { d.txtName->setText("常用功能"); }));
  EXPECT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1) << shown();
  auto groups = freshInfo()->GetNormalFuncGroup().objectAs<platform::Recordset>();
  EXPECT_EQ(column(groups, "FFuncGroupName"), std::vector<std::string>{"常用功能"});
}

TEST_F(DlgAddItemTest, GroupModeInEnglishMakesRoomForTheLongerLabel) {
  setLanguage("en");
  auto& dlg = open("Grp1");
  EXPECT_EQ(dlg.lblName->text().toStdString(), "Function group:");
  EXPECT_EQ(dlg.txtName->x(), twipsToPixels(2300));
  EXPECT_EQ(dlg.txtName->width(), twipsToPixels(3960 - 700));
  EXPECT_GE(dlg.txtName->x(), dlg.lblName->x() + dlg.lblName->sizeHint().width()) << "label and box overlap";
  dlg.Unload();
  // Another mode loaded on the same form starts from the designed layout.
  auto& sub = open("Sys" + std::to_string(kSubSystem));
  EXPECT_EQ(sub.lblName->text().toStdString(), "Item name:");
  EXPECT_EQ(sub.txtName->x(), twipsToPixels(1800));
}

TEST_F(DlgAddItemTest, AnExistingProgramIsRequiredOnlyForDetailFunctions) {
  auto& dlg = open("Sys" + std::to_string(kSubSystem));
  EXPECT_TRUE(pressOk(dlg, [&](dlgAddItem& d) {
    d.txtName->setText("月末处理");
    d.txtPrgPath->setText("no such program");  // not asked for on this level
  }));
  EXPECT_EQ(shown(), "");
  const auto names = subFuncNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "月末处理"), names.end());
}

TEST_F(DlgAddItemTest, TypedQuotesCommasAndSlashesAreRefusedButPastedOnesKept) {
  auto& dlg = open("Sub" + std::to_string(kSubFunc));
  for (QLineEdit* box : {dlg.txtName, dlg.txtHelpCode, dlg.txtPrgPath}) {
    QTest::keyClicks(box, "a,b'c/d\"e");
    // A program's path keeps its slashes.
    EXPECT_EQ(box->text().toStdString(), box == dlg.txtPrgPath ? "abc/de" : "abcde") << box->objectName().toStdString();
    box->setText("abcde");
    box->insert(",");
    EXPECT_EQ(box->text().toStdString(), "abcde,");
  }
}

TEST_F(DlgAddItemTest, ProgramChooserFillsThePathAndCancellingChangesNothing) {
  auto& dlg = open("Sub" + std::to_string(kSubFunc));
  dlg.txtPrgPath->setText("/old/path");
  {
    widgets::ScopedFileChoices choices({std::nullopt});
    dlg.btnOpen->click();
    ASSERT_EQ(choices.requests().size(), 1u);
    EXPECT_EQ(choices.requests()[0].filter, "所有文件 (*.*)|*.*");
    EXPECT_EQ(choices.requests()[0].title, "打开文件");
    EXPECT_FALSE(choices.requests()[0].save);
  }
  EXPECT_EQ(dlg.txtPrgPath->text().toStdString(), "/old/path");
  EXPECT_EQ(shown(), "");
  {
    widgets::ScopedFileChoices choices({std::string("/opt/erp/report.exe")});
    dlg.btnOpen->click();
  }
  EXPECT_EQ(dlg.txtPrgPath->text().toStdString(), "/opt/erp/report.exe");
}

TEST_F(DlgAddItemTest, ARefusalOfTheServerIsReportedAndTheDialogStaysOpen) {
  // A sub-function under a subsystem that does not exist: the server refuses it.
  auto& dlg = open("Sys999999");
  EXPECT_FALSE(pressOk(dlg, [&](dlgAddItem& d) { d.txtName->setText("无处安放"); }));
  ASSERT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
  // With the server's reason.
  EXPECT_NE(messages->callsOf(ScriptedMessageService::Kind::Error)[0].text.find("不存在"), std::string::npos)
      << messages->callsOf(ScriptedMessageService::Kind::Error)[0].text;
  EXPECT_EQ(tagOf(dlg), "Cancel") << "OK did not close it; Cancel did";

  // A mode key of no known kind creates nothing either.
  dlg.Unload();
  messages->calls.clear();
  auto& unknown = open("Xyz5");
  EXPECT_EQ(unknown.levelNumber(), 0);
  EXPECT_FALSE(pressOk(unknown, [&](dlgAddItem& d) { d.txtName->setText("无名"); }));
  EXPECT_EQ(messages->count(ScriptedMessageService::Kind::Error), 1);
}

TEST_F(DlgAddItemTest, CancelAnswersCancelAndCreatesNothing) {
  auto& dlg = open("All0");
  const auto before = column(freshInfo()->GetTopClass_All(), "FTopClassName");
  modal().push("dlgAddItem", [&](QDialog&) {
    dlg.txtName->setText("我的分类");
    dlg.btnCancel->click();
  });
  dlg.ShowModal();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
  EXPECT_EQ(tagOf(dlg), "Cancel");
  EXPECT_EQ(column(freshInfo()->GetTopClass_All(), "FTopClassName"), before);
}

}  // namespace
}  // namespace wayfind::dialogs
