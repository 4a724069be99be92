#include "app/screenshot/screenshot.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFileInfo>
#include <QLayout>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>


#include "app/command_line.h"
#include "erp/api/message_service.h"
#include "erp/client/terminal_message_service.h"
#include "launcher/register_windows.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "context/language.h"
#include "erp/frmres/frm_res_loader.h"
#include "platform/containers/atomic_file.h"
#include "widgets/file_chooser.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/qt_translations.h"
#include "widgets/modal_runner.h"
#include "widgets/windows_runtime.h"

namespace wayfind::app::screenshot {

namespace {

namespace fs = std::filesystem;

// The QApplication of the command, when the process has none yet: offscreen
// unless the caller chose a platform, so a picture never flashes a window on the
// user's screen. It is destroyed when the command ends, before the process's
// static objects go.
std::unique_ptr<QApplication> applicationIfNone() {
  static int argc = 1;
  static char name[] = "wayfind";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance()) return nullptr;
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  if (!chosen || !*chosen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return widgets::makeApplication(argc, argv);
}

// Writes the picture beside its final name and renames it into place, so a failed
// save never leaves half a file where the picture belongs, and refuses a name
// where something other than a regular file stands.
void savePicture(const QPixmap& picture, const std::string& file) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "PNG"))
    throw platform::AutomationError(platform::err::kFileError, "wayfind", "Cannot write the picture " + file + ".");
  platform::writeFileAtomically(file, std::string_view(png.constData(), static_cast<size_t>(png.size())));
}

// Views that are not registered windows: the help window at a window's topic
// ("help.dlgSetNormal") and the template file chooser ("fileDialog").
constexpr const char* kHelpPrefix = "help.";
constexpr const char* kFileDialog = "fileDialog";

// A window says its help context once it exists, and windows exist only once
// the application does: a help view is named after any registered window (but
// the variants of one, "dlgSetProp.details"), and checked when it opens.
bool isHelpView(const std::string& name) {
  const std::string window = name.substr(std::min(name.size(), std::string_view(kHelpPrefix).size()));
  return name.starts_with(kHelpPrefix) && window.find('.') == std::string::npos && widgets::forms().contains(window);
}

// What the user sees at a view: prepared, laid out and shown off the screen.
QWidget* openView(const std::string& name, std::unique_ptr<QWidget>& owned, const fs::path& scratch) {
  if (isHelpView(name)) {
    if (widgets::HelpContextOf(name.substr(5)) == 0)
      throw platform::AutomationError(platform::err::kInvalidProcedureCall, "wayfind",
                                      "The window " + name.substr(5) + " has no help.");
    widgets::ShowHelpFor(name.substr(5));
    return &widgets::HelpWindow::instance();
  }
  if (name == kFileDialog) {
    // The template import's chooser, in a folder holding two templates.
    const fs::path folder = scratch / "templates";
    fs::create_directories(folder);
    for (const char* file : {"财务模板.dat", "月末模板.dat", "Template.dat"}) std::ofstream(folder / file) << "";  // lang:data
    widgets::UseQtTranslations();
    auto dialog = std::make_unique<QFileDialog>(nullptr, QString::fromStdString(context::GetLangText("选择目录")));
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setNameFilter(QString::fromStdString(widgets::qtFilterOf(context::GetLangText("模板 (*.dat)|*.dat"))));
    dialog->setDirectory(QString::fromStdString(folder.string()));
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->resize(620, 400);
    owned = std::move(dialog);
    return owned.get();
  }
  widgets::Form* form = widgets::forms().form(name);
  form->Load();
  if (auto prepare = widgets::forms().screenshotPrepare(name)) prepare(*form);
  return form;
}

}  // namespace

std::string windowList() {
  std::string out;
  for (const auto& name : widgets::forms().names()) out += "  " + name + "\n";
  return out;
}

std::string viewList() {
  std::string out = "  " + std::string(kFileDialog) + "\n";
  for (const auto& name : widgets::forms().names())
    if (isHelpView(kHelpPrefix + name)) out += "  " + std::string(kHelpPrefix) + name + "\n";
  return out;
}

int takeScreenshot(const ScreenshotRequest& request, std::ostream& out, std::ostream& err) {
  wayfind::launcher::registerAllWindows();
  if (!widgets::forms().contains(request.window) && !isHelpView(request.window) && request.window != kFileDialog) {
    err << "wayfind: no window is called " << request.window << ". The windows:\n" << windowList() << viewList();
    return 1;
  }
  if (QFileInfo(QString::fromStdString(request.file)).suffix().compare("png", Qt::CaseInsensitive) != 0) {
    err << "wayfind: the picture's file name ends in .png: " << request.file << "\n";
    return 1;
  }
  auto app = applicationIfNone();
  auto previousMessages = erp::api::installMessageService(std::make_shared<erp::client::TerminalMessageService>());
  widgets::ScopedModalScripts noModalDialogs;  // a dialog opened while loading closes at once
  int status = 0;
  try {
    startHost(request.host);
    erp::frmres::registerFrmResLoader();  // the ERP client service the windows use
    widgets::WindowsSession windows(/*keepMessages=*/true);
    std::unique_ptr<QWidget> owned;
    // A folder of its own, made with a name nobody could have foreseen, and
    // removed on every way out.
    QTemporaryDir scratchDir(QDir::tempPath() + "/wayfind-screenshot-XXXXXX");
    if (!scratchDir.isValid())
      throw std::runtime_error("cannot make a scratch folder: " + scratchDir.errorString().toStdString());
    const fs::path scratch = scratchDir.path().toStdString();
    QWidget* form = openView(request.window, owned, scratch);
    if (form->layout()) form->layout()->activate();
    // WAYFIND_SHOW_ON_DISPLAY=1 puts the view on the display as well and keeps it
    // there until the program is ended: for a look by eye, or a screen reader.
    const char* onDisplay = std::getenv("WAYFIND_SHOW_ON_DISPLAY");
    const bool keepShown = onDisplay && std::string_view(onDisplay) == "1";
    if (!keepShown) form->setAttribute(Qt::WA_DontShowOnScreen, true);
    form->show();
    QApplication::processEvents();
    if (keepShown) {
      // It takes the keyboard, as a window manager would give it.
      form->activateWindow();
      QApplication::processEvents();
      out << "shown " << request.window << std::endl;
      QApplication::exec();
    }
    if (auto* files = form->findChild<QFileSystemModel*>()) {
      // The chooser reads its folder on a thread of its own: wait (a bounded
      // while) until it has listed it, so the picture shows the templates.
      bool listed = false;
      QObject::connect(files, &QFileSystemModel::directoryLoaded, [&listed] { listed = true; });
      QElapsedTimer waited;
      waited.start();
      while (!listed && waited.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 50);
      QApplication::processEvents();
    }
    const QPixmap picture = form->grab();
    form->hide();
    owned.reset();
    savePicture(picture, request.file);
    for (const auto& failure : noModalDialogs.failures()) err << "wayfind: " << failure << "\n";
    out << request.file << " (" << picture.width() << "x" << picture.height() << ")\n";
  } catch (const platform::AutomationError& e) {
    err << "wayfind: " << e.description() << "\n";
    status = 1;
  } catch (const std::exception& e) {
    err << "wayfind: " << e.what() << "\n";
    status = 1;
  }
  erp::api::installMessageService(previousMessages);
  return status;
}

void addScreenshotCommand() {
  // The help lists the windows by name: they are registered before it is written.
  wayfind::launcher::registerAllWindows();
  AddedCommand command;
  command.name = "screenshot";
  command.summary = "render a window to a PNG picture, without a display";
  command.help =
      "Usage: wayfind screenshot WINDOW FILE.png [--lang chs|en|cht] [--user ID] [options]\n\n"
      "Renders a window of the component, loaded for the user from the database and\n"
      "in the language chosen, to a PNG picture. No display is needed. QT_SCALE_FACTOR=2\n"
      "draws it at 200 %, WAYFIND_PALETTE=dark in a dark palette. With\n"
      "WAYFIND_SHOW_ON_DISPLAY=1 and a display, the window also shows there until the\n"
      "program is ended. The windows:\n";
  command.help += windowList();
  command.help += "Other views: the help window at a window's topic, and the template file chooser:\n";
  command.help += viewList();
  command.minArguments = 2;
  command.maxArguments = 2;
  command.run = [](const CommandRequest& request, std::ostream& out, std::ostream& err) {
    ScreenshotRequest shot;
    shot.host = request.host;
    shot.window = request.positional[0];
    shot.file = request.positional[1];
    return takeScreenshot(shot, out, err);
  };
  addCommand(std::move(command));
}

}  // namespace wayfind::app::screenshot
