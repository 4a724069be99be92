#include "platform/automation/process_end.h"

#include <atomic>

namespace wayfind::platform {

namespace {
std::atomic<bool> ending{false};  // trivially destroyed: readable to the very end
}  // namespace

bool ProcessEnding() { return ending.load(std::memory_order_acquire); }

ProcessEndMark::~ProcessEndMark() { ending.store(true, std::memory_order_release); }

}  // namespace wayfind::platform
