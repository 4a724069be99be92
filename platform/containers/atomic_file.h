// Writing a whole file so that readers see either the old content or the new,
// never a mixture: the bytes go to a temporary file in the target's folder, are
// flushed to disk (fsync), and the temporary file is then renamed over the
// target. A crash or a full disk at any point leaves the target as it was.
//
//   writeFileAtomically(cacheFolder / "Templatechs1234.dat", bytes);
//
// A failure raises AutomationError with number 32755 (err::kFileError) and a
// description naming the path and the reason; the temporary file is removed and
// the old target stays untouched. An existing target keeps its permission bits.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wayfind::platform {

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The whole content of a regular file, or false when it cannot be read (missing,
// a folder, an I/O error, or larger than maxBytes). Never throws.
bool readWholeFile(const std::filesystem::path& path, std::string& content,
                   size_t maxBytes = size_t(-1));

}  // namespace wayfind::platform
