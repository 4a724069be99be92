#include "editor/export_target.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace wayfind::editor {

namespace fs = std::filesystem;

bool ClearExportTarget(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const fs::path target = fs::absolute(fs::path(path), ec);
  if (ec) return false;
  const fs::path folder = target.parent_path();

  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) return false;
  // Creating the temporary file and renaming it both need write and search rights
  // on the folder.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;

  struct stat fileInfo {};
  if (::lstat(target.c_str(), &fileInfo) != 0) return errno == ENOENT;
  if (!S_ISREG(fileInfo.st_mode)) return false;
  if (::access(target.c_str(), W_OK) != 0) return false;
  if ((folderInfo.st_mode & S_ISVTX) != 0) {
    const uid_t me = ::geteuid();
    if (me != 0 && fileInfo.st_uid != me && folderInfo.st_uid != me) return false;
  }
  return true;
}

}  // namespace wayfind::editor
