#include "platform/containers/xdg_folders.h"

#include <cstdlib>

namespace wayfind::platform {

std::filesystem::path xdgBaseFolder(const char* variable, const char* underHome) {
  if (const char* set = std::getenv(variable); set && set[0] == '/') return set;
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / underHome;
  return {};
}

}  // namespace wayfind::platform
