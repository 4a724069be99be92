#include "app/console/console_screenshot.h"

#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/command_line.h"
#include "app/console/console_window.h"
#include "app/host.h"
#include "context/language.h"
#include "erp/api/message_service.h"
#include "erp/client/terminal_message_service.h"
#include "erp/frmres/frm_res_loader.h"
#include "launcher/application.h"
#include "launcher/register_windows.h"
#include "platform/automation/automation_error.h"
#include "platform/containers/atomic_file.h"
#include "widgets/modal_runner.h"
#include "widgets/windows_runtime.h"


namespace wayfind::app::console {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSource = "wayfind";

[[noreturn]] void fail(const std::string& description) {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, kSource, description);
}

// The first child of a tree item, opened (the console reads the level then).
QTreeWidgetItem* openFirstChild(QTreeWidgetItem* item) {
  if (!item) return nullptr;
  item->setExpanded(true);
  return item->childCount() > 0 ? item->child(0) : nullptr;
}

// The tree opened down to the first function of the first sub-function, which
// is then started.
void showTree(ConsoleWindow& console) {
  QTreeWidget* tree = console.menuTree();
  QTreeWidgetItem* det = openFirstChild(openFirstChild(openFirstChild(tree->topLevelItem(0))));
  if (!det) return;
  tree->setCurrentItem(det);
  // Started at its place, as a click in the tree starts it.
  if (auto function = NavSource().detailFuncAt(det->data(0, Qt::UserRole + 4).toInt(), det->data(0, Qt::UserRole + 2).toInt()))
    console.startFunction(*function);
}

void showFavourites(ConsoleWindow& console) {
  auto* tabs = console.findChild<QTabWidget*>("tabNav");
  auto* favourites = console.findChild<QTreeWidget*>("tvNormal");
  tabs->setCurrentWidget(favourites);
  if (favourites->topLevelItemCount() == 0) return;
  QTreeWidgetItem* first = favourites->topLevelItem(0)->childCount() ? favourites->topLevelItem(0)->child(0) : nullptr;
  if (!first) return;
  favourites->setCurrentItem(first);
  if (auto function = NavSource().detailFunc(first->data(0, Qt::UserRole + 2).toInt())) {
    function->name = first->text(0).toStdString();  // a favourites entry keeps the group's name for it
    console.startFunction(*function);
  }
}

void showSearch(ConsoleWindow& console, const std::string& text) {
  console.findChild<QLineEdit*>("txtSearch")->setText(QString::fromStdString(text));
  auto* results = console.findChild<QTreeWidget*>("lvResult");
  if (results->topLevelItemCount() == 0) return;
  QTreeWidgetItem* first = results->topLevelItem(0);
  results->setCurrentItem(first);
  const auto ids = first->data(0, Qt::UserRole).toList();
  if (ids.size() == 4) console.selectFunction(ids[0].toInt(), ids[1].toInt(), ids[2].toInt(), ids[3].toInt());
}

void savePicture(const QPixmap& picture, const std::string& file) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "PNG")) fail("Cannot write the picture " + file + ".");
  platform::writeFileAtomically(file, std::string_view(png.constData(), static_cast<size_t>(png.size())));
}

int takeConsoleScreenshot(const CommandRequest& request, std::ostream& out, std::ostream& err) {
  const std::string view = request.positional[0];
  const std::string file = request.positional[1];
  if (view != "tree" && view != "favourites" && view.rfind("search=", 0) != 0) {
    err << "wayfind: the view is tree, favourites or search=TEXT, not " << view << ".\n";
    return 2;
  }
  if (fs::path(file).extension() != ".png") {
    err << "wayfind: the picture's file name ends in .png: " << file << "\n";
    return 2;
  }
  // Offscreen unless a platform was chosen: a picture never flashes on a screen.
  // A process that already runs Qt (a test) keeps its application.
  static int argc = 1;
  static char name[] = "wayfind";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  if (!QApplication::instance()) {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (!chosen || !*chosen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app = widgets::makeApplication(argc, argv);
  }
  launcher::registerAllWindows();
  startHost(request.host);
  widgets::ScopedModalScripts noModalDialogs;  // nothing waits for a person
  erp::frmres::registerFrmResLoader();  // the ERP client service the windows use
  if (app) erp::frmres::SetApplicationFont(context::GetLanguageCode());  // as the program's windows
  widgets::WindowsSession windows(/*keepMessages=*/true);
  launcher::registerApplication();

  ConsoleWindow console;
  // A search's four columns need a wider window to be read whole.
  console.resize(view.rfind("search=", 0) == 0 ? 1500 : 1000, 620);
  if (!console.load()) return 1;  // reported: no picture of a console that did not load
  console.setAttribute(Qt::WA_DontShowOnScreen, true);
  console.show();
  QApplication::processEvents();
  if (view == "tree") showTree(console);
  else if (view == "favourites") showFavourites(console);
  else showSearch(console, view.substr(7));
  QApplication::processEvents();
  const QPixmap picture = console.grab();
  console.hide();
  savePicture(picture, file);
  out << file << " (" << picture.width() << "x" << picture.height() << ")\n";
  return 0;
}

}  // namespace

void addConsoleScreenshotCommand() {
  AddedCommand command;
  command.name = "console-screenshot";
  command.summary = "render the console showing a view to a PNG picture";
  command.help = R"(Usage: wayfind console-screenshot VIEW FILE.png [--lang chs|en|cht] [--user ID] [options]

Renders the main console of the user, in the language chosen, to a PNG picture.
No display is needed. VIEW is one of:
  tree          the tree opened down to the first function, which is started
  favourites    the favourites groups, the first function started
  search=TEXT   a search for TEXT and its results, the first shown in the tree
)";
  command.minArguments = 2;
  command.maxArguments = 2;
  command.run = takeConsoleScreenshot;
  addCommand(std::move(command));
}

}  // namespace wayfind::app::console
