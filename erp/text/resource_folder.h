// Where the ERP finds its resources (translation tables in lang/, help
// topics in help/). In order: the folder the host set, the environment variable
// WAYFIND_RESOURCES, the resources folder of the source tree this library was
// built from.
#pragma once

#include <filesystem>

namespace wayfind::erp::text {

// The resources folder; the host's choice, else WAYFIND_RESOURCES, else the
// source tree's resources folder.
std::filesystem::path resourceFolder();
// True when the host or the environment named the folder (not the built-in default).
bool resourceFolderIsExplicit();
// Host setting; an empty path goes back to the environment and the default.
void setResourceFolder(const std::filesystem::path& folder);

}  // namespace wayfind::erp::text
