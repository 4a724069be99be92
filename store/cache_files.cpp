// Cache folder resolution, cache file names, and the guarded read and write of a
// cached dictionary.
#include "store/cache_files.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/message_service.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/containers/file_format.h"
#include "platform/containers/xdg_folders.h"
#include "store/data_info.h"
#include "store/loading.h"

namespace wayfind::store {

namespace fs = std::filesystem;

namespace {

// Cache files found damaged that could not be removed (another user's file in a
// shared folder): known by what the file is, so that the query asked again does
// not map the same damage, and a good file written there later is taken.
struct FileIdentity {
  dev_t device;
  ino_t inode;
  int64_t size;
  int64_t modifiedNs;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const std::string& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_size),
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct DamagedFiles {
  std::mutex mutex;
  std::vector<FileIdentity> kept;
};

DamagedFiles& damagedFiles() {
  static DamagedFiles files;
  return files;
}

bool knownDamaged(const std::string& file) {
  auto& d = damagedFiles();
  std::lock_guard lock(d.mutex);
  if (d.kept.empty()) return false;
  const auto id = identityOf(file);
  return id && std::find(d.kept.begin(), d.kept.end(), *id) != d.kept.end();
}

// The host option; process-wide like the store itself.
std::string& cacheFolderOption() {
  static std::string option;
  return option;
}

std::string envText(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Creates folder when missing; true when it exists afterwards and can be written.
bool usableFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string userCacheFolder() {
  const std::string base = platform::xdgBaseFolder("XDG_CACHE_HOME", ".cache").string();
  if (base.empty()) return {};
  return AddBackslash(AddBackslash(base) + "wayfind") + kCacheFolderName;
}

// A library installed in a prefix (lib/ or lib/<multiarch>/ beside
// share/wayfind/): its folder is the system's, not a place for one user's cache,
// even where it could be written.
bool installedInAPrefix() {
  std::error_code ec;
  for (fs::path dir = fs::path(ComponentFolder()).parent_path(); !dir.empty() && dir != dir.root_path();
       dir = dir.parent_path()) {
    if (fs::is_directory(dir.parent_path() / "share" / "wayfind", ec)) return true;
    if (dir.filename().string().rfind("lib", 0) == 0) break;
  }
  return false;
}

[[noreturn]] void raiseNoFolder(const std::string& folder) {
  platform::raise(platform::err::kFileError, "WayfindInfo",
                  "The cache folder cannot be created: " + folder);
}

}  // namespace

std::string AddBackslash(const std::string& path) {
  std::string s = platform::trimSpaces(path);
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

void SetCacheFolder(const std::string& folder) { cacheFolderOption() = folder; }
std::string CacheFolderOption() { return cacheFolderOption(); }

std::string ComponentFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ComponentFolder), &info) != 0 && info.dli_fname &&
      *info.dli_fname) {
    // Where the library really lies: reached through a link (/lib is a link to
    // /usr/lib), it would not be seen to be installed in a prefix.
    std::error_code ec;
    fs::path lib = fs::canonical(info.dli_fname, ec);
    if (ec) lib = fs::absolute(info.dli_fname, ec);
    if (!ec) return AddBackslash(lib.parent_path().string());
  }
  std::error_code ec;
  return AddBackslash(fs::current_path(ec).string());
}

std::string CacheFolder() {
  // A configured folder is used as it is: a wrong setting is an error, not a
  // reason to write somewhere else.
  std::string configured = platform::trimSpaces(cacheFolderOption());
  if (configured.empty()) configured = platform::trimSpaces(envText(kCacheFolderEnv));
  if (!configured.empty()) {
    std::string folder = AddBackslash(configured);
    if (!usableFolder(folder)) raiseNoFolder(folder);
    return folder;
  }
  std::string beside = AddBackslash(ComponentFolder() + kCacheFolderName);
  if (!installedInAPrefix() && usableFolder(beside)) return beside;
  std::string fallback = userCacheFolder();
  if (fallback.empty()) raiseNoFolder(beside);
  fallback = AddBackslash(fallback);
  if (!usableFolder(fallback)) raiseNoFolder(fallback);
  return fallback;
}

std::string SafeFileNamePart(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    bool unsafe = c == '/' || c == '\\' || c < 0x20 || c == 0x7f;
    out += unsafe ? '_' : static_cast<char>(c);
  }
  // ".." anywhere could climb out of the folder once glued to other parts.
  for (size_t pos = out.find(".."); pos != std::string::npos; pos = out.find("..", pos)) {
    out.replace(pos, 2, "__");
  }
  return out;
}

std::string TemplateFileName(const std::string& languageCode, const std::string& uuid) {
  return "Template" + languageCode + SafeFileNamePart(uuid) + ".dat";
}

std::string UserFileName(const std::string& languageCode, const std::string& uuid, int32_t userId) {
  return "UserTemplate" + languageCode + SafeFileNamePart(uuid) + std::to_string(userId) + ".dat";
}

std::string CacheFilePath(const std::string& name, int32_t userId) {
  const std::string language = context::GetLanguageCode();
  const std::string uuid = context::UUID();
  const std::string file = name == "UserTemplate" ? UserFileName(language, uuid, userId)
                                                  : TemplateFileName(language, uuid);
  return CacheFolder() + file;
}

platform::DictionaryPtr ReadCachedDictionary(const std::string& name, const std::string& version,
                                             const std::string& file) {
  try {
    if (!erp::api::messages().fileExists(file) || knownDamaged(file)) return nullptr;
    auto dict = std::make_shared<platform::Dictionary>();
    // Cells are checked as queries first read them: a query touches the pages
    // it needs, not the whole file (ForgetDamagedCacheFile handles damage).
    if (!dict->LoadCheckingAsRead(file)) return nullptr;
    platform::Variant stamp = dict->GetValue("TimeStamp", platform::Variant(std::string()));
    if (platform::CStr(stamp) != version) return nullptr;
    // A file an earlier build wrote is written again in the current form,
    // which the next start loads in place.
    if (dict->LoadedFormatVersion() < platform::fileformat::kFormatVersion) WriteCachedDictionary(name, file, dict);
    return dict;
  } catch (...) {
    return nullptr;
  }
}

void ForgetDamagedCacheFile(const std::string& file) {
  const auto identity = identityOf(file);
  std::error_code ec;
  fs::remove(file, ec);
  if (ec && identity) {
    auto& d = damagedFiles();
    std::lock_guard lock(d.mutex);
    d.kept.push_back(*identity);
  }
  try {
    DataInfo::instance().clearSlots();
  } catch (...) {
  }
}

void WriteCachedDictionary(const std::string& /*name*/, const std::string& file,
                           const platform::DictionaryPtr& dictionary) {
  if (!dictionary) return;
  try {
    dictionary->SaveCache(file);
  } catch (...) {
    // The loaded dictionary serves all the same; the next load asks the server.
  }
}

}  // namespace wayfind::store
