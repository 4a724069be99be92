// A translation table: the Chinese texts of the client and their translation into
// one language, read from a UTF-8 text file "<base>.<language>.tsv".
//
// File format, one entry per line:
//   Chinese text <TAB> translation
// Lines that are empty or start with '#' are comments. A trailing carriage return
// is ignored and a byte-order mark at the start of the file is skipped. Within a
// text, "\t", "\n", "\r" and "\\" stand for a tab, a line feed, a carriage return
// and a backslash. The Chinese text is the key as the client looks it up (trimmed
// of spaces); a key may appear once only. A malformed file is refused as a whole,
// with the file name and line in the error.
#pragma once

#include <filesystem>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace wayfind::erp::text {

class TranslationTable {
 public:
  // Parses a table; raises AutomationError (32755) naming sourceName and the line
  // for a line without a tab, an empty key, or a key given twice.
  static TranslationTable parse(std::istream& in, const std::string& sourceName);
  // Reads and parses a file; raises 32755 when it cannot be read.
  static TranslationTable load(const std::filesystem::path& file);

  // The translation of text, or nullptr when the table has none.
  const std::string* find(const std::string& text) const;
  const std::map<std::string, std::string>& entries() const { return entries_; }

 private:
  std::map<std::string, std::string> entries_;
};

// Tables read once per process and kept, keyed by file. A file that could not be
// read is not tried again either: its error is kept and raised on every use.
class TranslationCache {
 public:
  static TranslationCache& instance();
  // The parsed table of file; raises the load error when it could not be read.
  std::shared_ptr<const TranslationTable> table(const std::filesystem::path& file);
  void reset();  // forget every table (tests, or after the files changed)

 private:
  struct Slot;
  std::mutex mutex_;
  std::map<std::filesystem::path, std::shared_ptr<Slot>> slots_;
};

// The file name of a table: "<base>.<language>.tsv" in folder. Raises 5 when the
// base name or language code could reach outside the folder (separators, "..")
// or is empty.
std::filesystem::path translationFile(const std::filesystem::path& folder, const std::string& baseName,
                                      const std::string& languageCode);

}  // namespace wayfind::erp::text
