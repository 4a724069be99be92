// A Qt host that opens the options dialog and closes it from a timer, as a user
// would, then reads the tree again.
#include <QApplication>
#include <QTimer>
#include <QWidget>
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
  wayfind::Windows windows(session);
  windows.show(wayfind::Window::Options);
  std::cout << "after: " << wayfind::topClasses(session).size() << " top classes\n";
}
