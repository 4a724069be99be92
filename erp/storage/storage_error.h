// Errors of the storage layer and the server components on it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "erp/api/storage_failures.h"
#include "platform/automation/automation_error.h"

namespace wayfind::erp::storage {

// 0x80004005, the number under which database failures reach the caller.
inline constexpr int32_t kDatabaseError = api::kDatabaseError;
inline constexpr const char* kStorageSource = api::kStorageSource;

// A database failure: what was being done, and the database's own words. When
// those say another connection holds a lock ("database is locked"), the
// description is marked busy (api::kBusyMarker), so windows can say so.
[[noreturn]] void raiseDatabaseError(const std::string& what, const std::string& sqliteMessage);
// The same, marked busy whatever the database said.
[[noreturn]] void raiseBusyError(const std::string& what, const std::string& databaseMessage);
// Number 5, for arguments the server refuses.
[[noreturn]] void raiseRefused(const std::string& source, const std::string& description);

// Refuses (number 5) a text that is not valid UTF-8 or longer than maxChars
// characters; fieldName names it in the message.
void checkText(const std::string& source, std::string_view fieldName, std::string_view value,
               int32_t maxChars);
bool isValidUtf8(std::string_view s);
// Refuses (number 5) a text no back end may hold: one with a NUL character or
// that is not UTF-8. A server refuses such text; the file would keep it and hand
// it back raw. Both say the same.
void requireStorableText(std::string_view text);

}  // namespace wayfind::erp::storage
