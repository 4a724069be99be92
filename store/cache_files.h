// The cache files of the template and of the user's data: where they live, how
// they are named, and reading and writing them. A cache file is a saved
// dictionary; it is used only while its TimeStamp equals the server's version.
//
// The cache folder is "WayfindTemp" in the folder of the component's own shared
// library, created on first use. When that folder cannot be written, or the
// library is installed in a prefix (beside share/wayfind), the user's cache
// folder serves instead
// ($XDG_CACHE_HOME/wayfind/WayfindTemp, or ~/.cache/wayfind/WayfindTemp). The host
// option SetCacheFolder, or the environment variable WAYFIND_CACHE_DIR, names the
// cache folder itself and wins over both.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/containers/dictionary.h"

namespace wayfind::store {

inline constexpr const char* kCacheFolderEnv = "WAYFIND_CACHE_DIR";
inline constexpr const char* kCacheFolderName = "WayfindTemp";

// Trims spaces and ends the text with one "/" (an empty text becomes "/").
std::string AddBackslash(const std::string& path);

// The host option: the cache folder to use; an empty text removes the option.
void SetCacheFolder(const std::string& folder);
std::string CacheFolderOption();

// The folder of the shared library that holds the store, ended with "/".
std::string ComponentFolder();

// The cache folder in use, ended with "/", created when missing. Raises
// AutomationError (32755) when no candidate folder can be created.
std::string CacheFolder();

// A host text made safe to be part of one file name: path separators, control
// characters and ".." become "_", so the name always stays inside the folder.
std::string SafeFileNamePart(const std::string& text);

// File names in the cache folder: "Template" + language code + UUID + ".dat" and
// "UserTemplate" + language code + UUID + user id + ".dat".
std::string TemplateFileName(const std::string& languageCode, const std::string& uuid);
std::string UserFileName(const std::string& languageCode, const std::string& uuid, int32_t userId);

// Full path of a cache file: the cache folder (created when missing) and the name.
// name is "Template" or "UserTemplate"; userId is used for the user file only.
std::string CacheFilePath(const std::string& name, int32_t userId = 0);

// The dictionary saved in file when it exists, loads, and carries a TimeStamp
// equal to version (exact, case-sensitive); otherwise none. Never throws.
platform::DictionaryPtr ReadCachedDictionary(const std::string& name, const std::string& version,
                                             const std::string& file);
// Forgets a cache file found damaged where a query read it: the file is
// removed and every table slot emptied, so the next query fetches both
// dictionaries anew (from the other cache file or the server). Never throws.
void ForgetDamagedCacheFile(const std::string& file);
// Runs operation; when a cache file shows damage as it reads it, the file is
// forgotten (above) and operation runs again, on tables fetched anew.
template <class F>
decltype(auto) AfterDamageForgotten(F&& operation) {
  // Each damaged file met is forgotten once: the template's and the user's may
  // both be damaged, and one operation read both. The same file twice is
  // damage that forgetting did not mend, and goes to the caller.
  std::vector<std::string> forgotten;
  for (;;) {
    try {
      return operation();
    } catch (const platform::DamagedFileError& damage) {
      if (std::find(forgotten.begin(), forgotten.end(), damage.file()) != forgotten.end()) throw;
      forgotten.push_back(damage.file());
      ForgetDamagedCacheFile(damage.file());
    }
  }
}
// Saves dictionary to file; a failure is ignored (the caller uses the dictionary
// all the same). Never throws.
void WriteCachedDictionary(const std::string& name, const std::string& file,
                           const platform::DictionaryPtr& dictionary);

}  // namespace wayfind::store
