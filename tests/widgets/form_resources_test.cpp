// Forms load with their language's font and captions: every caption kind is
// translated by its Chinese text, captions without a translation are reported
// once and stay Chinese, and loading again starts from the Chinese.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>

#include "context/language.h"
#include "erp/frmres/frm_res_loader.h"
#include "erp/api/window_object.h"
#include "platform/automation/registry.h"
#include "widgets/caption_fit.h"
#include "widgets/form_registry.h"
#include "widgets/grid.h"
#include "widgets/title_panel.h"
#include "widgets/toolbar.h"
#include "windows_support/window_test_support.h"

namespace wayfind::widgets {
namespace {

class dlgCaptionSample : public Form {
 public:
  static constexpr const char* kFormName = "dlgCaptionSample";
  dlgCaptionSample() : Form(kFormName) {
    setWindowTitle("主控台编辑器");
    auto* layout = new QVBoxLayout(this);
    auto* title = new TitlePanel("功能名称列表：", this);
    title->setObjectName("SSPTitleClass");
    layout->addWidget(title);
    auto* frame = new QGroupBox("属性列表：", this);
    frame->setObjectName("fraProps");
    layout->addWidget(frame);
    auto* check = new QCheckBox("该功能不可见", this);
    check->setObjectName("chkVisible");
    layout->addWidget(check);
    auto* missing = new QLabel("没有译文的标签", this);
    missing->setObjectName("lblMissing");
    layout->addWidget(missing);
    auto* data = new QLabel("王芳", this);
    data->setObjectName("lblUser");
    data->setProperty("wayfindNoTranslate", true);
    layout->addWidget(data);
    auto* grid = new Grid(this);
    grid->setObjectName("vaDetailProp");
    grid->SetMaxCols(1);
    grid->SetHeaderText(1, "功能列表");
    layout->addWidget(grid);
    auto* bar = new ToolBar(this);
    bar->setObjectName("Bar");
    bar->AddBand("Main");
    bar->AddTool("Main", "tlbHide", "该功能不可见", "Delete");
    layout->addWidget(bar);
    auto* ok = new QPushButton("没有译文的标签", this);  // the same missing caption twice
    ok->setObjectName("btnOk");
    layout->addWidget(ok);
  }
  int loads = 0;

 protected:
  void Form_Load() override { ++loads; }
};

class EventCounter : public QObject {
 public:
  EventCounter(QEvent::Type type, int& count) : type_(type), count_(count) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++count_;
    return false;
  }

 private:
  QEvent::Type type_;
  int& count_;
};

class FormResourcesTest : public windowtests::WindowTest {
 protected:
  void SetUp() override {
    windowtests::WindowTest::SetUp();
    registerForm<dlgCaptionSample>();
  }
};

TEST_F(FormResourcesTest, EnglishTranslatesEveryCaptionKindAndReportsTheMissingOnce) {
  setLanguage("en");
  auto& form = forms().instance<dlgCaptionSample>();
  form.Load();
  EXPECT_EQ(form.loads, 1);
  EXPECT_EQ(form.windowTitle().toStdString(), "Main Console Editor");
  EXPECT_EQ(form.findChild<QLabel*>("SSPTitleClass")->text().toStdString(), "Function names:");
  EXPECT_EQ(form.findChild<QGroupBox*>("fraProps")->title().toStdString(), "Property List:");
  EXPECT_EQ(form.findChild<QCheckBox*>("chkVisible")->text().toStdString(), "This function is hidden");
  EXPECT_EQ(form.findChild<Grid*>("vaDetailProp")->HeaderText(1), "Function List");
  auto* tool = form.findChild<ToolBar*>("Bar")->Tool("tlbHide");
  EXPECT_EQ(tool->text().toStdString(), "This function is hidden");
  EXPECT_EQ(tool->toolTip().toStdString(), "This function is hidden");
  EXPECT_EQ(form.findChild<QLabel*>("lblUser")->text().toStdString(), "王芳");
  EXPECT_EQ(form.findChild<QLabel*>("lblMissing")->text().toStdString(), "没有译文的标签");
  EXPECT_EQ(form.untranslated(), "没有译文的标签\r\n");
  form.Load();  // loaded already: nothing runs again
  EXPECT_EQ(form.loads, 1);
}

TEST_F(FormResourcesTest, LoadingAgainStartsFromTheChineseText) {
  setLanguage("cht");
  auto& form = forms().instance<dlgCaptionSample>();
  form.Load();
  EXPECT_EQ(form.windowTitle().toStdString(), "主控台編輯器");
  form.Unload();
  setLanguage("en");
  form.Load();
  EXPECT_EQ(form.windowTitle().toStdString(), "Main Console Editor");
  EXPECT_EQ(form.untranslated(), "没有译文的标签\r\n");
  EXPECT_EQ(form.loads, 2);
}

TEST_F(FormResourcesTest, ACaptionTheWindowChangedIsTranslatedFromItsNewText) {
  setLanguage("en");
  auto& form = forms().instance<dlgCaptionSample>();
  form.Load();
  auto* title = form.findChild<QLabel*>("SSPTitleClass");
  title->setText("属性列表：");
  form.Unload();
  setLanguage("cht");
  form.Load();
  EXPECT_EQ(title->text().toStdString(), "屬性清單：");
  EXPECT_EQ(form.findChild<QCheckBox*>("chkVisible")->text().toStdString(), "該功能不可見");
}

TEST_F(FormResourcesTest, FontHasTheGlyphsOfTheLanguage) {
  setLanguage("cht");
  auto& form = forms().instance<dlgCaptionSample>();
  form.Load();
  EXPECT_EQ(form.font().family().toStdString(), erp::frmres::fontFamilyFor("cht").toStdString());
  EXPECT_NE(form.font().family().indexOf("CJK"), -1) << "fonts-noto-cjk is not installed";
}

// A program whose windows show one language sets its font once: controls then
// measure their text in the font they show, and loading a window changes none.
TEST_F(FormResourcesTest, TheApplicationsFontIsTheOneAWindowLoadsWith) {
  setLanguage("chs");
  const QFont before = QApplication::font();
  erp::frmres::SetApplicationFont("chs");
  auto& form = forms().instance<dlgCaptionSample>();
  int changes = 0;
  EventCounter counter(QEvent::FontChange, changes);
  form.installEventFilter(&counter);
  form.Load();
  QApplication::setFont(before);
  EXPECT_EQ(form.font().family().toStdString(), erp::frmres::fontFamilyFor("chs").toStdString());
  EXPECT_EQ(changes, 0);
}

TEST_F(FormResourcesTest, FailuresComeBackAsTheDescription) {
  // A window that is gone, and a loader that is not installed.
  auto gone = erp::api::windowObject(nullptr);
  EXPECT_NE(context::ApplyFormResources(gone).find("Object required"), std::string::npos);
  platform::ScopedUnregistration noLoader("FrmRes.FrmResLoader");
  context::LanguageState::instance().reset();
  auto& form = forms().instance<dlgCaptionSample>();
  EXPECT_FALSE(context::SetFormFont(form.automationObject()).empty());
  EXPECT_FALSE(context::ApplyFormResources(form.automationObject()).empty());
}

TEST_F(FormResourcesTest, AnUnreadableTableChangesNoCaptionAndSimplifiedChineseLooksNothingUp) {
  const auto tables = folder / "lang";
  std::filesystem::create_directories(tables);
  std::ofstream(tables / "Broken.en.tsv") << "主控台编辑器\tMain Console Editor\n一行没有制表符\n";
  auto& form = forms().instance<dlgCaptionSample>();
  platform::ObjectPtr window = form.automationObject();
  platform::ObjectPtr reserved;
  erp::frmres::FrmResLoader loader;
  try {
    loader.LoadFrmResStrings(window, "en", tables.string(), "Broken", reserved);
    FAIL() << "a malformed table must fail the load";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), platform::err::kFileError);
  }
  EXPECT_EQ(form.windowTitle().toStdString(), "主控台编辑器");
  auto list = std::dynamic_pointer_cast<erp::api::TextList>(
      loader.LoadFrmResStrings(window, "chs", tables.string(), "Broken", reserved));
  ASSERT_TRUE(list);
  EXPECT_EQ(list->UBound(), -1);
  EXPECT_EQ(form.windowTitle().toStdString(), "主控台编辑器");
}

TEST_F(FormResourcesTest, ModalShowingRunsTheScriptAndRegistryKeepsOneInstance) {
  Form* byName = forms().form("dlgCaptionSample");
  EXPECT_EQ(byName, &forms().instance<dlgCaptionSample>());
  modal().push("dlgCaptionSample", [](QDialog& d) { d.accept(); });
  EXPECT_EQ(byName->ShowModal(), QDialog::Accepted);
  EXPECT_TRUE(modal().done()) << windowtests::join(modal().failures());
  // A second showing with no script left is a recorded failure, not a hang.
  EXPECT_EQ(byName->ShowModal(), QDialog::Rejected);
  EXPECT_FALSE(modal().done());
  EXPECT_THROW(forms().form("dlgNoSuchForm"), platform::AutomationError);
}

}  // namespace
}  // namespace wayfind::widgets

namespace wayfind::widgets {
namespace {

// A caption too long for its control widens it and moves what lies beside it;
// a hidden control's caption moves nothing.
TEST(CaptionFit, ShownCaptionsGrowAndHiddenOnesMoveNothing) {
  for (const bool hidden : {false, true}) {
    QWidget window;
    window.resize(300, 100);
    auto* box = new QCheckBox(QStringLiteral("A caption far too long for its box"), &window);
    box->setGeometry(10, 10, 40, 20);
    auto* beside = new QLabel(QStringLiteral("x"), &window);
    beside->setGeometry(60, 10, 20, 20);
    if (hidden) box->hide();
    FitCaptions(window);
    EXPECT_EQ(box->width() > 40, !hidden) << hidden;
    EXPECT_EQ(beside->x() > 60, !hidden) << hidden;
    if (hidden) {
      EXPECT_EQ(window.width(), 300);
    }
  }
}

}  // namespace
}  // namespace wayfind::widgets
