#include "widgets/windows_runtime.h"

#include <QPalette>
#include <QThread>
#include <QStyleFactory>
#include <cstdlib>
#include <string>
#include <vector>

#include "erp/api/message_service.h"
#include "platform/events/do_events.h"
#include "widgets/accessible_names.h"
#include "widgets/busy_state.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/message_boxes.h"
#include "widgets/qt_translations.h"
#include "widgets/readable_style.h"

namespace wayfind::widgets {

namespace {

struct RuntimeState {
  bool running = false;
  bool keptMessages = false;
  std::shared_ptr<erp::api::IMessageService> previousMessages;  // put back by stopWindows
  std::vector<std::function<void()>> startHooks;
  std::vector<std::function<void()>> stopHooks;
};

RuntimeState& state() {
  static RuntimeState s;
  return s;
}

bool hasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

}  // namespace

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if ((!platform || !*platform) && !hasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  auto app = std::make_unique<QApplication>(argc, argv);
  ReadComboBoxesByName();
  if (const char* palette = std::getenv("WAYFIND_PALETTE"); palette && std::string(palette) == "dark") {
    QApplication::setStyle(new ReadableStyle("Fusion"));
    QApplication::setPalette(darkPalette());
  } else {
    QApplication::setStyle(new ReadableStyle(QApplication::style()->name()));
  }
  return app;
}

QPalette darkPalette() {
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabledText(130, 130, 135);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(55, 55, 60));
  p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabledText);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(58, 58, 62));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Light, QColor(80, 80, 85));
  p.setColor(QPalette::Midlight, QColor(68, 68, 72));
  p.setColor(QPalette::Mid, QColor(40, 40, 42));
  p.setColor(QPalette::Dark, QColor(25, 25, 27));
  p.setColor(QPalette::Shadow, QColor(10, 10, 10));
  p.setColor(QPalette::Highlight, QColor(42, 110, 190));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(110, 170, 240));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabledText);
  return p;
}

void startWindows(bool keepMessages) {
  auto& s = state();
  if (s.running) return;  // started already: the first start's settings hold
  s.keptMessages = keepMessages;
  if (!keepMessages) s.previousMessages = erp::api::installMessageService(std::make_shared<QtMessageService>());
  // On the windows' database thread there is nothing to run: the windows' own
  // thread keeps processing its events while it waits (widgets/busy_state.h).
  platform::setDoEventsHook([] {
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) QCoreApplication::processEvents();
  });
  s.running = true;
  UseQtTranslations();
  PresentHelpInTheWindow();
  for (const auto& hook : s.startHooks) hook();
}

void stopWindows() {
  auto& s = state();
  if (!s.running) return;
  for (const auto& hook : s.stopHooks) hook();
  stopDatabaseThread();
  StopPresentingHelp();
  FormRegistry::instance().releaseAll();
  if (!s.keptMessages) erp::api::installMessageService(std::move(s.previousMessages));
  s.previousMessages.reset();
  platform::setDoEventsHook({});
  RemoveQtTranslations();
  s.running = false;
}

bool windowsRunning() { return state().running; }

void onWindowsStart(std::function<void()> hook) { state().startHooks.push_back(std::move(hook)); }

void onWindowsStop(std::function<void()> hook) { state().stopHooks.push_back(std::move(hook)); }

}  // namespace wayfind::widgets
