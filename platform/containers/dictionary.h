// Dictionary: the keyed container that carries data between the component, the
// host and the middle tier. Keys keep the order in which they were first added and
// compare without regard to letter case; values are any Variant, record sets,
// dictionaries and vectors included. A dictionary saves to and loads from a file
// (the cache and template files); the format is in docs/file-formats.md.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/containers/atomic_file.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::platform {

namespace fileformat {
class LoadBuffer;
struct Expected;
}

// Raised (32755) when a file loaded with Dictionary::LoadCheckingAsRead shows
// damage where a record set's cells are first read: what was read from it
// cannot be trusted, and the file should be made again from its source.
class DamagedFileError : public AutomationError {
 public:
  DamagedFileError(const std::string& file, const std::string& what);
  const std::string& file() const noexcept { return file_; }

 private:
  std::string file_;
};

class Dictionary : public Object {
 public:
  Dictionary();
  ~Dictionary() override;

  bool Lookup(std::string_view key) const;  // true when present
  Variant GetValue(std::string_view key, const Variant& defaultValue = Variant()) const;
  // Sets the value, adding the key at the end when missing (an existing key keeps
  // its place and its first spelling).
  void SetValue(std::string_view key, const Variant& value);
  bool Remove(std::string_view key);
  void Clear();
  size_t Count() const;
  std::vector<std::string> Keys() const;  // in the order first added

  // Writes the dictionary to path atomically: a temporary file in the same folder,
  // flushed, then renamed over the target. Raises AutomationError (32755) on any
  // failure; the old file then stays as it was.
  void Save(const std::filesystem::path& path) const;
  // As Save, for a file that is cheap to make again (a cache file): it replaces
  // the old one without waiting for the disk (Flush::Later).
  void SaveCache(const std::filesystem::path& path) const;
  // Replaces the content with the file's. False, with the dictionary left empty,
  // for a file that is missing, not a saved dictionary, truncated, corrupted or of
  // a newer format version. Never throws.
  bool Load(const std::filesystem::path& path);
  // As Load, for a file that must hold a record set under each of these keys
  // (letter case ignored) at its top level, such as a template file: a file of
  // another shape is refused from its structure, at the cost of a few of its
  // pages, before its content is read whole.
  bool LoadExpecting(const std::filesystem::path& path, const std::vector<std::string>& recordSets);
  // As Load, for a file that is cheap to make again (a cache file): the cells
  // of its record sets are checked where they are first read rather than all
  // at once, so a query touches only the pages it needs. Damage found then
  // raises DamagedFileError from the read, and a caller that can should
  // forget what it loaded and make the file again. A symbolic link at path is
  // not followed: the file is taken as missing.
  bool LoadCheckingAsRead(const std::filesystem::path& path);

  // The saved form in memory (what Save writes, what Load reads).
  std::string serialize() const;
  bool deserialize(std::string_view bytes);
  // The format version of the saved form the content was loaded from; 0 when it
  // was not loaded (or was cleared). A file of an older version is worth saving
  // again: the current one loads faster.
  uint32_t LoadedFormatVersion() const;

 private:
  void save(const std::filesystem::path& path, Flush flush) const;
  bool load(const std::filesystem::path& path, const fileformat::Expected* expected, bool checkAsRead = false);
  bool take(const std::shared_ptr<fileformat::LoadBuffer>& buffer, const fileformat::Expected* expected = nullptr,
            const std::string* checkAsReadSource = nullptr);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

using DictionaryPtr = std::shared_ptr<Dictionary>;

}  // namespace wayfind::platform
