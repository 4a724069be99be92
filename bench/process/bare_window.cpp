// The floor of the console's launch: a bare Qt main window of the console's size,
// fitted to the screen the same way, that quits once it has painted. Nothing of
// WayfindInfo is linked in. console_paint.py times it beside
// `WAYFIND_QUIT_AFTER_PAINT=1 wayfind console` in the same run.
//
//   bench_bare_window [--text] [WIDTH HEIGHT]
//
// With --text the window shows one line of Chinese text in the application's
// font, so the floor includes what any window with a caption pays: finding and
// loading the fonts.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

class QuitAfterPaint : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !quitting_) {
      quitting_ = true;
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      std::fprintf(stderr, "painted at %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool quitting_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const bool text = argc > 1 && std::strcmp(argv[1], "--text") == 0;
  const int sizeAt = text ? 2 : 1;
  const int width = argc > sizeAt + 1 ? std::atoi(argv[sizeAt]) : 980;
  const int height = argc > sizeAt + 1 ? std::atoi(argv[sizeAt + 1]) : 640;
  QApplication app(argc, argv);
  QMainWindow window;
  if (text) window.setCentralWidget(new QLabel(QString::fromUtf8("\xe5\x87\xad\xe8\xaf\x81\xe5\xbd\x95\xe5\x85\xa5")));
  window.resize(width, height);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // As the console fits itself: room for a title bar and borders.
    window.resize(window.size().boundedTo(screen->availableGeometry().size() - QSize(16, 40)));
  }
  window.installEventFilter(new QuitAfterPaint(&window));
  window.show();
  return app.exec();
}
