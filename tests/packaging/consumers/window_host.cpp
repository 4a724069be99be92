// A Qt host that opens the options dialog and closes it from a timer, as a user
// would, then reads the tree again; once its Windows is gone, the application
// object that opens windows is gone too.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <wayfind/objects.h>
#include <wayfind/session.h>
#include <wayfind/tree.h>
#include <wayfind/windows.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  QApplication app(argc, argv);
  auto session = wayfind::Session::open({.database = argv[1], .language = "en"});
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      std::cout << "shown: " << modal->objectName().toStdString() << " \"" << modal->windowTitle().toStdString() << "\"\n";
      modal->close();
    }
  });
  closer.start(200);
  {
    wayfind::Windows windows(session);
    wayfind::create(session, "WayfindInfo.Application");
    windows.show(wayfind::Window::Options);
  }
  std::cout << "after: " << wayfind::topClasses(session).size() << " top classes\n";
  try {
    wayfind::create(session, "WayfindInfo.Application");
    std::cout << "the application object outlived the windows\n";
    return 1;
  } catch (const wayfind::Error& e) {
    std::cout << "closed: " << e.number() << "\n";
  }
}
