#include "erp/text/translation_table.h"

#include <optional>
#include <sstream>

#include "platform/automation/automation_error.h"
#include "platform/containers/atomic_file.h"

namespace wayfind::erp::text {

namespace {

constexpr const char* kSource = "T8ResLoader.Loader";

[[noreturn]] void fileError(const std::string& description) {
  throw platform::AutomationError(platform::err::kFileError, kSource, description);
}

// Undoes the escapes of the file format; nullopt for a backslash followed by
// anything else.
std::optional<std::string> unescape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    switch (s[i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

bool safeNamePart(const std::string& s) {
  if (s.empty() || s == "." || s == ".." || s.find("..") != std::string::npos) return false;
  for (unsigned char c : s) {
    if (c == '/' || c == '\\' || c < 0x20) return false;
  }
  return true;
}

}  // namespace

TranslationTable TranslationTable::parse(std::istream& in, const std::string& sourceName) {
  TranslationTable table;
  std::string line;
  size_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (lineNo == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = sourceName + ":" + std::to_string(lineNo) + ": ";
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) fileError(where + "no tab between the text and its translation");
    auto key = unescape(line.substr(0, tab));
    auto value = unescape(line.substr(tab + 1));
    if (!key || !value) fileError(where + "unknown escape (only \\t \\n \\r \\\\ are known)");
    if (key->empty()) fileError(where + "empty text");
    // Texts are looked up trimmed of spaces: one with spaces around it would
    // never be found (and a second entry could hide behind it).
    if (key->front() == ' ' || key->back() == ' ') fileError(where + "spaces around the text");
    if (!table.entries_.emplace(std::move(*key), std::move(*value)).second)
      fileError(where + "the text has a translation already");
  }
  if (in.bad()) fileError(sourceName + ": read error");
  return table;
}

TranslationTable TranslationTable::load(const std::filesystem::path& file) {
  // Read whole and never waited on: a pipe or a device in its place is refused.
  std::string content;
  if (!platform::readWholeFile(file, content)) fileError("cannot open translation table " + file.string());
  std::istringstream in(content);
  return parse(in, file.string());
}

const std::string* TranslationTable::find(const std::string& text) const {
  auto it = entries_.find(text);
  return it == entries_.end() ? nullptr : &it->second;
}

struct TranslationCache::Slot {
  std::shared_ptr<const TranslationTable> table;
  std::optional<platform::AutomationError> error;
};

TranslationCache& TranslationCache::instance() {
  static TranslationCache cache;
  return cache;
}

std::shared_ptr<const TranslationTable> TranslationCache::table(const std::filesystem::path& file) {
  std::lock_guard lock(mutex_);
  auto& slot = slots_[file];
  if (!slot) {
    slot = std::make_shared<Slot>();
    try {
      slot->table = std::make_shared<const TranslationTable>(TranslationTable::load(file));
    } catch (const platform::AutomationError& e) {
      slot->error = e;
    }
  }
  if (slot->error) throw *slot->error;
  return slot->table;
}

void TranslationCache::reset() {
  std::lock_guard lock(mutex_);
  slots_.clear();
}

std::filesystem::path translationFile(const std::filesystem::path& folder, const std::string& baseName,
                                      const std::string& languageCode) {
  if (!safeNamePart(baseName) || !safeNamePart(languageCode))
    throw platform::AutomationError(platform::err::kInvalidProcedureCall, kSource,
                                    "invalid resource base name or language: \"" + baseName + "\", \"" +
                                        languageCode + "\"");
  return folder / (baseName + "." + languageCode + ".tsv");
}

}  // namespace wayfind::erp::text
