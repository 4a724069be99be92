// Whether the process has begun to destroy its lasting objects at exit. The
// component's process-wide objects (the store's tables, the search, the
// language state) are function-local statics, destroyed at exit in the reverse
// order of their making; a host's object kept in a static of its own (a
// wayfind::Session) may be destroyed after some of them, and must then leave
// them alone. Each such object keeps a ProcessEndMark made just after it, whose
// end comes just before its own. One flag for the process, in the core library.
#pragma once

namespace wayfind::platform {

bool ProcessEnding();

struct ProcessEndMark {
  ~ProcessEndMark();
};

}  // namespace wayfind::platform
