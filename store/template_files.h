// Template files: a user's customisation written to a file and read back, for the
// same or another user. The file is a saved dictionary, the same form as the cache
// files; the middle tier produces the dictionary on export and consumes it on
// import. Neither operation touches the in-memory tables: imported data shows once
// the user data is loaded again.
#pragma once

#include <string>

#include "platform/containers/dictionary.h"

namespace wayfind::store {

// Asks the middle tier for the user's customisation and saves it to strFile. The
// new file is written completely under a temporary name and renamed into place, so
// an existing file is replaced only by a complete new one. Every failure reaches
// the caller.
void Export(const std::string& strFile);

// Loads strFile and hands it to the middle tier. A file that does not load, or
// that loads but is not shaped like exported user data, raises error 5 with source
// "WayfindInfo.DataInfo.Import" and the language text of
// "无效或错误的模板文件，请重新选择。"; the server is then not called. Failures of
// the server call reach the caller unchanged.
void Import(const std::string& strFile);

// Whether a loaded dictionary has the shape of exported user data.
bool LooksLikeUserData(const platform::Dictionary& dict);

}  // namespace wayfind::store
