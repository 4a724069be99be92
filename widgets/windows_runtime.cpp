#include "widgets/windows_runtime.h"

#include <cstdlib>
#include <vector>

#include "erp/api/message_service.h"
#include "erp/frmres/frm_res_loader.h"
#include "platform/events/do_events.h"
#include "widgets/form_registry.h"
#include "widgets/message_boxes.h"
#include "widgets/qt_translations.h"

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
  return std::make_unique<QApplication>(argc, argv);
}

void startWindows(bool keepMessages) {
  auto& s = state();
  erp::frmres::registerFrmResLoader();
  if (s.running) return;  // started already: the first start's settings hold
  s.keptMessages = keepMessages;
  if (!keepMessages) s.previousMessages = erp::api::installMessageService(std::make_shared<QtMessageService>());
  platform::setDoEventsHook([] { QCoreApplication::processEvents(); });
  s.running = true;
  UseQtTranslations();
  for (const auto& hook : s.startHooks) hook();
}

void stopWindows() {
  auto& s = state();
  if (!s.running) return;
  for (const auto& hook : s.stopHooks) hook();
  FormRegistry::instance().releaseAll();
  if (!s.keptMessages) erp::api::installMessageService(std::move(s.previousMessages));
  s.previousMessages.reset();
  platform::setDoEventsHook({});
  RemoveQtTranslations();
  s.running = false;
}

bool windowsRunning() { return state().running; }

bool onWindowsStart(std::function<void()> hook) {
  state().startHooks.push_back(std::move(hook));
  return true;
}

bool onWindowsStop(std::function<void()> hook) {
  state().stopHooks.push_back(std::move(hook));
  return true;
}

}  // namespace wayfind::widgets
