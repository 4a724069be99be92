// The user's base folders as the XDG base directory rules name them: the
// variable's folder when it holds an absolute path, else the folder under $HOME.
// A relative path in the variable is ignored, as the rules ask: read against
// whatever folder a program was started in, it would give a different folder
// each time.
//
//   xdgBaseFolder("XDG_DATA_HOME", ".local/share") / "wayfind" / "wayfind.db"
#pragma once

#include <filesystem>

namespace wayfind::platform {

// Empty when the variable holds no absolute path and $HOME is not set either.
std::filesystem::path xdgBaseFolder(const char* variable, const char* underHome);

}  // namespace wayfind::platform
