// Whether a template file may be written at a path chosen in the editor. The
// export writes a complete new file under a temporary name in the same folder and
// renames it over the target, so an earlier file is replaced only once the new one
// is whole. What must be checked beforehand is only that this replacement is
// allowed; the earlier file is never deleted up front, so a failing export leaves
// it as it was.
#pragma once

#include <string>

namespace wayfind::editor {

// True when a new file may be created in the folder of path and renamed over path:
// the folder exists and is writable, and a file already at path is a regular file
// that the user may write (a read-only file counts as protected) and, in a folder
// with the sticky bit, one the user owns or whose folder the user owns. Never
// throws; nothing is created or removed.
bool ClearExportTarget(const std::string& path);

}  // namespace wayfind::editor
