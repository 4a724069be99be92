// Qt's own texts follow the session's language: a file dialog in a Chinese
// session says "查找范围" and "文件名称" where an English one says "Look in" and
// "File name".
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "widgets/qt_translations.h"
#include "windows_support/window_test_support.h"

namespace wayfind::widgets {
namespace {

class QtTranslationsTest : public windowtests::WindowTest {};

TEST_F(QtTranslationsTest, TheFileDialogAndEditMenusSpeakTheSessionsLanguage) {
  struct Case {
    const char* language;
    const char* lookIn;
    const char* fileName;
    const char* copy;
  } cases[] = {
      {"chs", "查找范围：", "文件名称(&N)：", "复制(&C)"},
      {"cht", "尋找於：", "檔名(&N)：", "複製(&C)"},
      {"en", "Look in:", "File &name:", "&Copy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    setLanguage(c.language);
    UseQtTranslations();
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* lookIn = dialog.findChild<QLabel*>("lookInLabel");
    auto* fileName = dialog.findChild<QLabel*>("fileNameLabel");
    ASSERT_TRUE(lookIn && fileName);
    EXPECT_EQ(lookIn->text().toStdString(), c.lookIn);
    EXPECT_EQ(fileName->text().toStdString(), c.fileName);
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    bool found = false;
    for (QAction* a : menu->actions()) found = found || a->text().startsWith(QString::fromUtf8(c.copy));
    EXPECT_TRUE(found) << "no \"" << c.copy << "\" in the edit field's menu";
  }
}

}  // namespace
}  // namespace wayfind::widgets
