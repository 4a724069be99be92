// The services the windows reach through widgets/: the modal runner's scripts
// (nested dialogs, dialogs left open, dialogs nobody expected), the file
// chooser's filter, default extension and cancel, the toolbar's named tools,
// the DoEvents hook while the windows run, a window kept within its screen,
// headers measured in the font they draw in, and twips.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionHeader>
#include <QTimer>
#include <QTreeWidget>

#include "platform/automation/automation_error.h"
#include "platform/events/do_events.h"
#include "erp/api/message_service.h"
#include "widgets/file_chooser.h"
#include "widgets/message_boxes.h"
#include "widgets/modal_runner.h"
#include "widgets/readable_style.h"
#include "widgets/screen_fit.h"
#include "widgets/toolbar.h"
#include "widgets/twips.h"
#include "widgets/windows_runtime.h"

namespace wayfind::widgets {
namespace {

QDialog* namedDialog(const char* name) {
  auto* d = new QDialog;
  d->setObjectName(name);
  return d;
}

TEST(ModalRunnerTest, ScriptsAnswerNestedDialogsInTheOrderShown) {
  ScopedModalScripts scripts;
  std::unique_ptr<QDialog> outer(namedDialog("dlgSetNormal")), inner(namedDialog("dlgAddItem"));
  int innerResult = -1;
  scripts.push("dlgSetNormal", [&](QDialog& d) {
    innerResult = runModal(*inner);
    d.accept();
  });
  scripts.push("dlgAddItem", [](QDialog& d) { d.reject(); });
  EXPECT_EQ(runModal(*outer), QDialog::Accepted);
  EXPECT_EQ(innerResult, QDialog::Rejected);
  EXPECT_TRUE(scripts.done()) << scripts.failures().size();
  EXPECT_EQ(scripts.shown(), (std::vector<std::string>{"dlgSetNormal", "dlgAddItem"}));
}

TEST(ModalRunnerTest, SurprisesAreRecordedAndNeverHang) {
  ScopedModalScripts scripts;
  std::unique_ptr<QDialog> a(namedDialog("dlgOptions")), b(namedDialog("dlgGroup"));
  scripts.push("dlgGroup", [](QDialog& d) { d.accept(); });
  EXPECT_EQ(runModal(*a), QDialog::Rejected);          // the script expected another dialog
  scripts.push([](QDialog&) {});                       // leaves the dialog open
  EXPECT_EQ(runModal(*b), QDialog::Rejected);
  EXPECT_FALSE(b->isVisible());
  EXPECT_EQ(runModal(*b), QDialog::Rejected);          // no script left
  ASSERT_EQ(scripts.failures().size(), 3u);
  EXPECT_NE(scripts.failures()[0].find("dlgOptions"), std::string::npos);
  EXPECT_NE(scripts.failures()[1].find("still open"), std::string::npos);
  EXPECT_NE(scripts.failures()[2].find("no script"), std::string::npos);
}

TEST(ModalRunnerTest, HidingEndsARealModalLoop) {
  std::unique_ptr<QDialog> d(namedDialog("dlgProperties"));
  QTimer::singleShot(0, d.get(), [&] { d->hide(); });
  EXPECT_EQ(runModal(*d), QDialog::Rejected);
}

TEST(FileChooserTest, FilterTextAndDefaultExtension) {
  EXPECT_EQ(qtFilterOf("模板 (*.dat)|*.dat"), "模板 (*.dat)");
  EXPECT_EQ(qtFilterOf("模板|*.dat|所有文件|*.*"), "模板 (*.dat);;所有文件 (*.*)");
  EXPECT_EQ(withDefaultExtension("/home/u/mine", "dat"), "/home/u/mine.dat");
  EXPECT_EQ(withDefaultExtension("/home/u/mine.txt", "dat"), "/home/u/mine.txt");
  EXPECT_EQ(withDefaultExtension("/home/u.v/mine", ".dat"), "/home/u.v/mine.dat");
}

TEST(FileChooserTest, ScriptedAnswersAndCancelAsError32755) {
  ScopedFileChoices choices({std::string("/tmp/t8"), std::nullopt});
  FileRequest request{"引出模板", "模板 (*.dat)|*.dat", "dat", "", "", true, false};
  EXPECT_EQ(ChooseFile(request), "/tmp/t8.dat");
  try {
    ChooseFile(request);
    FAIL() << "cancel must raise";
  } catch (const platform::AutomationError& e) {
    EXPECT_EQ(e.number(), kErrCancel);
  }
  ASSERT_EQ(choices.requests().size(), 2u);
  EXPECT_EQ(choices.requests()[0].title, "引出模板");
}

TEST(FileChooserTest, AScopeOfAnswersLeavesTheChooserAsItWas) {
  FileChooserScript::instance().active = true;
  { ScopedFileChoices choices({std::string("/tmp/a.dat")}); }
  EXPECT_TRUE(FileChooserScript::instance().active) << "a scripted chooser must stay scripted";
  EXPECT_THROW(ChooseFile(FileRequest{}), platform::AutomationError) << "unanswered, it cancels";
  FileChooserScript::instance().reset();
}

TEST(ToolBarTest, ToolsByNameWithCaptionAsTooltip) {
  ToolBar bar;
  bar.AddBand("Main");
  bar.AddBand("Edit");
  bar.AddTool("Main", "tlbSave", "保存", "Save");
  bar.AddTool("Edit", "tlbDelete", "删除", "Delete");
  EXPECT_THROW(bar.AddTool("Edit", "tlbSave", "x"), platform::AutomationError);
  EXPECT_EQ(bar.Tool("tlbSave")->toolTip().toStdString(), "保存");
  bar.SetToolCaption("tlbSave", "应用");
  EXPECT_EQ(bar.Tool("tlbSave")->toolTip().toStdString(), "应用");
  EXPECT_EQ(bar.toolNames(), (std::vector<std::string>{"tlbSave", "tlbDelete"}));

  QSignalSpy clicks(&bar, &ToolBar::toolClick);
  EXPECT_TRUE(bar.ClickTool("tlbDelete"));
  bar.SetToolEnabled("tlbDelete", false);
  EXPECT_FALSE(bar.ClickTool("tlbDelete"));
  bar.SetToolVisible("tlbSave", false);
  EXPECT_FALSE(bar.ClickTool("tlbSave"));
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toString().toStdString(), "tlbDelete");
}

TEST(WindowsRuntimeTest, DoEventsRunsPendingWindowMessagesWhileTheWindowsRun) {
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  platform::doEvents();
  EXPECT_FALSE(ran) << "without the windows DoEvents does nothing";
  {
    WindowsSession windows(/*keepMessages=*/true);
    platform::doEvents();
    EXPECT_TRUE(ran);
  }
  ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  platform::doEvents();
  EXPECT_FALSE(ran);
  QCoreApplication::processEvents();
}

TEST(WindowsRuntimeTest, StoppingPutsBackTheMessageServiceThatWasThere) {
  auto terminal = std::make_shared<erp::api::QuietMessageService>();
  auto before = erp::api::installMessageService(terminal);
  {
    WindowsSession windows;
    EXPECT_NE(dynamic_cast<QtMessageService*>(&erp::api::messages()), nullptr);
    startWindows();  // a second start changes nothing
  }
  EXPECT_EQ(&erp::api::messages(), terminal.get());
  EXPECT_FALSE(windowsRunning());
  erp::api::installMessageService(before);
}

TEST(ScreenFitTest, AWindowLargerThanItsScreenOpensWithinIt) {
  struct Case {
    const char* what;
    QSize size, minimum;
    QPoint at;
  } cases[] = {
      {"wider and taller, off to the right", {1960, 1280}, {0, 0}, {600, 300}},
      {"small enough, but placed off the screen", {300, 200}, {0, 0}, {5000, 5000}},
      {"with a minimum that the screen holds", {1960, 1280}, {400, 300}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget window;
    window.setMinimumSize(c.minimum);
    window.resize(c.size);
    window.move(c.at);
    FitToScreen(window);
    const QRect room = window.screen()->availableGeometry();
    EXPECT_TRUE(room.contains(window.geometry())) << window.width() << "x" << window.height() << " at " << window.x()
                                                  << "," << window.y();
    EXPECT_LE(window.width(), c.size.width()) << "never larger than designed";
    EXPECT_GE(window.width(), c.minimum.width());
  }
  QWidget fits;
  fits.resize(320, 240);
  FitToScreen(fits);
  EXPECT_EQ(fits.size(), QSize(320, 240)) << "a window the screen holds keeps its size";
}

// Qt measures a header's sections in bold; only a header that highlights its
// sections draws bold text, so any other is measured in its own font.
TEST(ReadableStyleTest, AHeaderIsMeasuredInTheFontItsTextIsDrawnIn) {
  ReadableStyle style("Fusion");
  QTreeWidget tree;
  QHeaderView* header = tree.header();
  QStyleOptionHeader option;
  option.initFrom(header);
  option.section = 0;
  option.text = "Help Code";
  QFont bold = header->font();
  bold.setBold(true);
  option.fontMetrics = QFontMetrics(bold);  // as the header view asks
  const int extra = option.fontMetrics.size(0, option.text).width() - header->fontMetrics().size(0, option.text).width();
  ASSERT_GT(extra, 0);
  header->setHighlightSections(false);
  const int plain = style.sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
  header->setHighlightSections(true);
  const int highlighting = style.sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
  EXPECT_EQ(highlighting - plain, extra);
}

TEST(TwipsTest, FifteenTwipsToAPixelRounded) {
  EXPECT_EQ(twipsToPixels(1440), 96);
  EXPECT_EQ(twipsToPixels(7), 0);
  EXPECT_EQ(twipsToPixels(8), 1);
  EXPECT_EQ(twipsToPixels(-15), -1);
  EXPECT_EQ(pixelsToTwips(96), 1440);
}

}  // namespace
}  // namespace wayfind::widgets
