// Where the ERP finds its resources (translation tables in lang/, help topics
// in help/, the demo company in demo/). In order: the folder the host set, the
// environment variable WAYFIND_RESOURCES, share/wayfind of the prefix the
// library is installed in (found from the library's own place, so a moved
// prefix still works), the resources folder of the source tree this library was
// built from.
#pragma once

#include <filesystem>

namespace wayfind::erp::text {

// The resources folder, as above.
std::filesystem::path resourceFolder();
// True when the host or the environment named the folder (not the built-in default).
bool resourceFolderIsExplicit();
// Host setting; an empty path goes back to the environment and the default.
void setResourceFolder(const std::filesystem::path& folder);

}  // namespace wayfind::erp::text
