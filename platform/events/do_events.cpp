#include "platform/events/do_events.h"

#include <mutex>

namespace wayfind::platform {

namespace {
std::function<void()>& hook() {
  static std::function<void()> h;
  return h;
}
}  // namespace

void doEvents() {
  if (auto& h = hook()) h();
}

void setDoEventsHook(std::function<void()> h) { hook() = std::move(h); }

}  // namespace wayfind::platform
