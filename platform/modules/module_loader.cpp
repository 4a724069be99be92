#include "platform/modules/module_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/automation/automation_error.h"

namespace wayfind::platform {

namespace {

namespace fs = std::filesystem;

std::string besideTheCore() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
  std::error_code ec;
  const fs::path lib = fs::canonical(info.dli_fname, ec);
  if (ec) return {};
  // The core itself is a private library in the modules' folder "wayfind"; a
  // core that lies elsewhere finds them in the folder of that name beside it.
  if (lib.parent_path().filename() == "wayfind") return lib.parent_path().string();
  return (lib.parent_path() / "wayfind").string();
}

struct Loaded {
  std::mutex mutex;
  std::map<std::string, void*> handles;  // by file name
};
Loaded& loaded() {
  static Loaded l;
  return l;
}

}  // namespace

std::string moduleFolder() {
  const char* env = std::getenv(kModuleDirEnv);
  if (env && *env) return env;
  return besideTheCore();
}

void* moduleSymbol(const std::string& file, const char* symbol, const std::string& purpose) {
  auto& l = loaded();
  std::lock_guard lock(l.mutex);
  void* handle = nullptr;
  if (auto it = l.handles.find(file); it != l.handles.end()) {
    handle = it->second;
  } else {
    const std::string folder = moduleFolder();
    const std::string path = (fs::path(folder) / file).string();
    std::error_code ec;
    if (folder.empty() || !fs::exists(path, ec))
      throw AutomationError(err::kCantCreateObject, "WayfindInfo",
                            "Cannot load " + purpose + ": " + file + " is not installed (looked in " +
                                (folder.empty() ? std::string("no folder") : folder) + ").");
    // RTLD_GLOBAL: what a module defines (a window's type, a connection's) is
    // one type for the whole process. RTLD_LAZY: a function of the module or of
    // the libraries it brings (libpq's Kerberos and LDAP, which a login over a
    // Unix socket never calls) is bound when first called, not all at load;
    // modules are linked with -z defs, so none can be missing at the call.
    handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_GLOBAL);
    if (!handle) {
      const char* error = ::dlerror();
      throw AutomationError(err::kCantCreateObject, "WayfindInfo",
                            "Cannot load " + purpose + ": " + path + " does not load: " +
                                (error ? error : "unknown reason"));
    }
    l.handles.emplace(file, handle);
  }
  ::dlerror();
  void* address = ::dlsym(handle, symbol);
  if (!address)
    throw AutomationError(err::kCantCreateObject, "WayfindInfo",
                          "Cannot load " + purpose + ": " + file + " has no " + symbol + ".");
  return address;
}

}  // namespace wayfind::platform
