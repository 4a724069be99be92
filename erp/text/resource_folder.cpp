#include "erp/text/resource_folder.h"

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

std::filesystem::path resourceFolder() {
  if (auto host = hostFolder(); !host.empty()) return host;
  if (auto env = environmentFolder(); !env.empty()) return env;
  return WAYFIND_SOURCE_RESOURCES;
}

bool resourceFolderIsExplicit() { return !hostFolder().empty() || !environmentFolder().empty(); }

void setResourceFolder(const std::filesystem::path& folder) {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  s.folder = folder;
}

}  // namespace wayfind::erp::text
