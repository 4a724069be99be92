#include "erp/text/resource_folder.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#ifndef WAYFIND_SOURCE_RESOURCES
#define WAYFIND_SOURCE_RESOURCES "resources"
#endif

namespace wayfind::erp::text {

namespace {

struct FolderSetting {
  std::mutex mutex;
  std::filesystem::path folder;
};

FolderSetting& setting() {
  static FolderSetting s;
  return s;
}

std::filesystem::path hostFolder() {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  return s.folder;
}

std::filesystem::path environmentFolder() {
  const char* env = std::getenv("WAYFIND_RESOURCES");
  return env && *env ? std::filesystem::path(env) : std::filesystem::path();
}

}  // namespace

static std::filesystem::path installedFolder() {
  // An installed prefix: lib/libwayfind_core.so beside share/wayfind/. Found
  // from where the library lies, so a prefix that is moved still works.
  static const std::filesystem::path folder = [] {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&installedFolder), &info) == 0 || !info.dli_fname) return std::filesystem::path();
    std::error_code ec;
    const auto lib = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) return std::filesystem::path();
    // lib/ or lib/<multiarch>/
    for (auto dir = lib.parent_path(); !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
      const auto candidate = dir.parent_path() / "share" / "wayfind";
      if (std::filesystem::is_directory(candidate / "lang", ec)) return candidate;
      if (dir.filename() == "lib" || dir.filename() == "lib64") break;
    }
    return std::filesystem::path();
  }();
  return folder;
}

std::filesystem::path resourceFolder() {
  if (auto host = hostFolder(); !host.empty()) return host;
  if (auto env = environmentFolder(); !env.empty()) return env;
  if (auto installed = installedFolder(); !installed.empty()) return installed;
  return WAYFIND_SOURCE_RESOURCES;
}

bool resourceFolderIsExplicit() { return !hostFolder().empty() || !environmentFolder().empty(); }

void setResourceFolder(const std::filesystem::path& folder) {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  s.folder = folder;
}

}  // namespace wayfind::erp::text
