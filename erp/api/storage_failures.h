// How a failure of the ERP's database reaches a caller, and which kind it is: the
// storage layer raises every database failure with one number and source, and
// marks the two kinds a user can do something about (another user holds the
// write lock; the connection to the server was lost) with fixed texts in the
// description. Windows use the kind to say what happened and what to do, in the
// user's language, instead of the database's own words.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/automation/automation_error.h"

namespace wayfind::erp::api {

// 0x80004005, the number under which database failures reach the caller.
inline constexpr int32_t kDatabaseError = static_cast<int32_t>(0x80004005u);
inline constexpr const char* kStorageSource = "ZelWayfind.Storage";

// Put in front of the database's own words by the storage layer.
inline constexpr std::string_view kBusyMarker = "数据库正忙：";  // lang:data
inline constexpr std::string_view kLostMarker = "与数据库服务器的连接已断开";  // lang:data

enum class StorageFailure { None, Busy, Lost, Other };

inline StorageFailure ClassifyStorageFailure(const platform::AutomationError& error) {
  if (error.number() != kDatabaseError || error.source() != kStorageSource) return StorageFailure::None;
  const std::string_view text = error.description();
  if (text.find(kBusyMarker) != std::string_view::npos) return StorageFailure::Busy;
  if (text.find(kLostMarker) != std::string_view::npos) return StorageFailure::Lost;
  return StorageFailure::Other;
}

}  // namespace wayfind::erp::api
