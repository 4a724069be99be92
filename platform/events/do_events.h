// DoEvents: lets the host's pending window messages run once. The windows library
// points the hook at Qt's event processing; without windows it does nothing.
#pragma once

#include <functional>

namespace wayfind::platform {

void doEvents();
void setDoEventsHook(std::function<void()> hook);  // empty function clears it

}  // namespace wayfind::platform
