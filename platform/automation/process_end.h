// Whether the process has begun to destroy its lasting objects at exit. The
// component's process-wide objects (the store's tables, the search, the
// language state) are function-local statics, destroyed at exit in the reverse
// order of their making; a host's object kept in a static of its own (a
// wayfind::Session) may be destroyed after some of them, and must then leave
// them alone. Each such object keeps a ProcessEndMark made just after it, whose
// end comes just before its own.
#pragma once

#include <atomic>

namespace wayfind::platform {

inline std::atomic<bool> processEnding{false};

inline bool ProcessEnding() { return processEnding.load(std::memory_order_acquire); }

struct ProcessEndMark {
  ~ProcessEndMark() { processEnding.store(true, std::memory_order_release); }
};

}  // namespace wayfind::platform
