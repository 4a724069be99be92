// The program's modules: libraries opened only when a command needs them, so the
// others never load what they pull in (the windows and Qt, the PostgreSQL back
// end and libpq). A module lies in the folder "wayfind" beside the core library
// (lib/wayfind/ of an installed prefix, or of the build tree), or, when the
// environment variable WAYFIND_MODULE_DIR is set, in the folder it names.
//
//   using Open = Connection* (*)(const char*, int);
//   auto open = platform::moduleEntry<Open>("libwayfind_pg.so", "wayfind_pg_open",
//                                           "PostgreSQL back end");
//
// A module that is missing or does not load raises AutomationError 429 (the
// class cannot be created), its description naming the file, the folders tried
// and what the module is for; a loaded module stays for the life of the process.
#pragma once

#include <string>

namespace wayfind::platform {

inline constexpr const char* kModuleDirEnv = "WAYFIND_MODULE_DIR";

// The folder modules are looked for in: WAYFIND_MODULE_DIR when set, else the
// folder "wayfind" beside the core library.
std::string moduleFolder();

// The address of symbol in module file (loaded on first use); purpose names the
// module in the error ("the windows", "the PostgreSQL back end").
void* moduleSymbol(const std::string& file, const char* symbol, const std::string& purpose);

template <class F>
F moduleEntry(const std::string& file, const char* symbol, const std::string& purpose) {
  return reinterpret_cast<F>(moduleSymbol(file, symbol, purpose));
}

}  // namespace wayfind::platform
