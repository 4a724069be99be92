#include "app/screenshot/screenshot.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "app/command_line.h"
#include "erp/api/message_service.h"
#include "erp/client/terminal_message_service.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "widgets/form_registry.h"
#include "widgets/modal_runner.h"
#include "widgets/windows_runtime.h"

namespace wayfind::windows {
// Defined by wayfind_windows: keeps every window folder's library loaded.
void linkAllWindowFolders();
}  // namespace wayfind::windows

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
// save never leaves half a file where the picture belongs.
void savePicture(const QPixmap& picture, const std::string& file) {
  const fs::path target(file);
  fs::path temp = target;
  temp += ".tmp-" + std::to_string(::getpid());
  if (!picture.save(QString::fromStdString(temp.string()), "PNG")) {
    std::error_code ec;
    fs::remove(temp, ec);
    throw platform::AutomationError(platform::err::kFileError, "wayfind", "Cannot write the picture " + file + ".");
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw platform::AutomationError(platform::err::kFileError, "wayfind",
                                    "Cannot write the picture " + file + ": " + ec.message());
  }
}

}  // namespace

std::string windowList() {
  std::string out;
  for (const auto& name : widgets::forms().names()) out += "  " + name + "\n";
  return out;
}

int takeScreenshot(const ScreenshotRequest& request, std::ostream& out, std::ostream& err) {
  wayfind::windows::linkAllWindowFolders();
  if (!widgets::forms().contains(request.window)) {
    err << "wayfind: no window is called " << request.window << ". The windows:\n" << windowList();
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
    widgets::WindowsSession windows(/*keepMessages=*/true);
    widgets::Form* form = widgets::forms().form(request.window);
    form->Load();
    if (auto prepare = widgets::forms().screenshotPrepare(request.window)) prepare(*form);
    if (form->layout()) form->layout()->activate();
    form->setAttribute(Qt::WA_DontShowOnScreen, true);
    form->show();
    QApplication::processEvents();
    const QPixmap picture = form->grab();
    form->hide();
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
  AddedCommand command;
  command.name = "screenshot";
  command.summary = "render a window to a PNG picture, without a display";
  command.help =
      "Usage: wayfind screenshot WINDOW FILE.png [--lang chs|en|cht] [--user ID] [options]\n\n"
      "Renders a window of the component, loaded for the user from the database and\n"
      "in the language chosen, to a PNG picture. No display is needed. The windows:\n";
  command.help += windowList();
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
