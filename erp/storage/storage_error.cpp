#include "erp/storage/storage_error.h"

#include "platform/automation/conversions.h"

namespace wayfind::erp::storage {

void raiseDatabaseError(const std::string& what, const std::string& sqliteMessage) {
  // SQLite's words for SQLITE_BUSY and SQLITE_LOCKED.
  for (const char* busy : {"database is locked", "database table is locked", "database is busy"})
    if (sqliteMessage.find(busy) != std::string::npos) raiseBusyError(what, sqliteMessage);
  throw platform::AutomationError(kDatabaseError, kStorageSource, what + ": " + sqliteMessage);
}

void raiseBusyError(const std::string& what, const std::string& databaseMessage) {
  const bool marked = databaseMessage.find(api::kBusyMarker) != std::string::npos;
  throw platform::AutomationError(kDatabaseError, kStorageSource,
                                  what + ": " + (marked ? "" : std::string(api::kBusyMarker)) + databaseMessage);
}

void raiseRefused(const std::string& source, const std::string& description) {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, source, description);
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    i += len;
  }
  return true;
}

void requireStorableText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos || !isValidUtf8(text))
    raiseRefused(kStorageSource, "文本含有数据库不能保存的字符 (NUL 或无效的 UTF-8)。");
}

void checkText(const std::string& source, std::string_view fieldName, std::string_view value,
               int32_t maxChars) {
  if (!isValidUtf8(value))
    raiseRefused(source, std::string(fieldName) + " 不是有效的 UTF-8 文本。");
  if (maxChars > 0 && platform::charLength(value) > static_cast<size_t>(maxChars))
    raiseRefused(source, std::string(fieldName) + " 超过了 " + std::to_string(maxChars) + " 个字符。");
}

}  // namespace wayfind::erp::storage
