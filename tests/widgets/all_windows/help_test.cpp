// F1 in every window opens the help window at that window's topic, titled as
// the window, in the session's language (and so does the Help tool of every
// window with a toolbar), and every topic exists in the three languages with a
// picture of its window that is really there.
#include <gtest/gtest.h>

#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <filesystem>
#include <regex>

#include "erp/client/help_viewer.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/toolbar.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

namespace fs = std::filesystem;

class HelpTest : public windowtests::WindowTest {};

TEST_F(HelpTest, ALanguageCodeWithAFolderInItNeverLeadsOutOfTheHelp) {
  for (const char* language : {"../../x", "/tmp/x"}) {
    const fs::path file = erp::client::helpTopicFile(424242, language);
    EXPECT_EQ(file.parent_path().filename(), "chs") << file;
  }
}

TEST_F(HelpTest, EveryTopicIsWrittenInThreeLanguagesWithItsWindowsPicture) {
  for (const std::string& window : forms().names()) {
    if (window.find('.') != std::string::npos) continue;
    const int32_t context = HelpContextOf(*forms().form(window));
    EXPECT_NE(context, 0) << window << " says no help context";
    for (const char* language : {"chs", "en", "cht"}) {
      SCOPED_TRACE(window + " in " + language);
      const fs::path file = erp::client::helpTopicFile(context, language);
      ASSERT_TRUE(fs::is_regular_file(file)) << file;
      EXPECT_EQ(file.parent_path().filename(), language) << "a page of its own language";
      const auto topic = erp::client::loadHelpTopic(context, language);
      EXPECT_FALSE(topic.title.empty());
      std::smatch picture;
      ASSERT_TRUE(std::regex_search(topic.text, picture, std::regex(R"(!\[[^\]]*\]\(([^)]+)\))")));
      EXPECT_TRUE(fs::is_regular_file(file.parent_path() / picture[1].str())) << picture[1].str();
      EXPECT_NE(picture[1].str().find("-" + std::string(language) + ".png"), std::string::npos) << picture[1].str();
    }
  }
}

TEST_F(HelpTest, F1InEveryWindowShowsItsTopicInTheSessionsLanguage) {
  for (const char* language : {"chs", "en", "cht"}) {
    setLanguage(language);
    for (const std::string& window : forms().names()) {
      if (window.find('.') != std::string::npos) continue;
      SCOPED_TRACE(window + " in " + language);
      forms().release(window);
      Form* form = forms().form(window);
      form->Load();
      form->show();
      HelpWindow::release();
      QTest::keyClick(form, Qt::Key_F1);
      HelpWindow& help = HelpWindow::instance();
      EXPECT_TRUE(help.isVisible());
      EXPECT_EQ(help.shownContext(), HelpContextOf(window));
      const auto topic = erp::client::loadHelpTopic(HelpContextOf(window), language);
      EXPECT_TRUE(help.windowTitle().endsWith(QString::fromStdString(topic.title))) << help.windowTitle().toStdString();
      EXPECT_TRUE(help.txtHelp->toPlainText().contains(QString::fromStdString(topic.title)));
      EXPECT_EQ(topic.title, form->windowTitle().toStdString()) << "the page is titled as its window";
      form->Unload();
      forms().release(window);
    }
  }
}

// The width a page's picture is shown at, and the pixels it is drawn with.
std::pair<double, QImage> shownPicture(const HelpWindow& help) {
  for (QTextBlock block = help.txtHelp->document()->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) {
        const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
        return {image.width(), help.txtHelp->document()
                                   ->resource(QTextDocument::ImageResource, QUrl(image.name()))
                                   .value<QImage>()};
      }
  return {0, QImage()};
}

TEST_F(HelpTest, APictureFitsTheHelpsWidthDrawnForTheScreensPixelsAndGrowsWithTheWindow) {
  ShowHelpFor("dlgSetProp");
  HelpWindow& help = HelpWindow::instance();
  int before = 0;
  for (const int width : {500, 1400}) {
    SCOPED_TRACE(width);
    help.resize(width, 600);
    const auto [shown, drawn] = shownPicture(help);
    ASSERT_FALSE(drawn.isNull());
    EXPECT_LE(shown, width - 60) << "within the window";
    EXPECT_EQ(drawn.width(), qRound(shown * help.devicePixelRatioF())) << "drawn for the screen, not stretched";
    EXPECT_GE(shown, before);
    before = static_cast<int>(shown);
  }
  EXPECT_GT(before, 500) << "wider with the window, up to the picture's own width";
}

TEST_F(HelpTest, EveryToolbarHasAHelpToolThatShowsItsWindowsTopic) {
  int toolbars = 0;
  for (const std::string& window : forms().names()) {
    if (window.find('.') != std::string::npos) continue;
    SCOPED_TRACE(window);
    Form* form = &windowtests::openAsPictured(window, /*shown=*/true);
    for (ToolBar* bar : form->findChildren<ToolBar*>()) {
      ++toolbars;
      HelpWindow::release();
      ASSERT_TRUE(bar->HasTool("Help"));
      EXPECT_EQ(bar->ToolShortcut("Help"), QKeySequence(Qt::Key_F1));
      EXPECT_TRUE(bar->ClickTool("Help"));
      EXPECT_EQ(HelpWindow::instance().shownContext(), HelpContextOf(window));
    }
    form->Unload();
    forms().release(window);
  }
  EXPECT_GE(toolbars, 2) << "the two editors";
}

}  // namespace
}  // namespace wayfind::widgets
