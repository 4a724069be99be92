// AutomationError: the error of a method, as an automation host sees it (number,
// source, description, help file, help context). Thrown as an exception; "the
// pending error" is the one a catch block holds.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <exception>
#include <string>

namespace wayfind::platform {

// Error numbers used across the system.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;      // also the component's own failures
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kCantCreateObject = 429;
inline constexpr int32_t kNoSuchMethod = 438;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kBadArguments = 3001;           // record set: wrong type, out of range, conflict
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kDataTooLong = 3367;            // text longer than the field's defined size
inline constexpr int32_t kFileError = 32755;             // file and storage failures of the containers
}  // namespace err

class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, std::string source, std::string description,
                  std::string helpFile = {}, int32_t helpContext = 0);

  int32_t number() const noexcept { return number_; }
  const std::string& source() const noexcept { return source_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& helpFile() const noexcept { return helpFile_; }
  int32_t helpContext() const noexcept { return helpContext_; }

  // The same error without help file and context (the "re-raised" policy).
  AutomationError withoutHelp() const { return {number_, source_, description_}; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string helpFile_;
  int32_t helpContext_;
};

// The standard description of a well-known number ("Overflow", "Type mismatch", ...).
std::string standardDescription(int32_t number);

// Throws AutomationError(number, source, standardDescription(number)).
[[noreturn]] void raise(int32_t number, const std::string& source = "WayfindInfo");
[[noreturn]] void raise(int32_t number, const std::string& source, const std::string& description);

// A caught failure in the one shape callers see: itself when it is an
// AutomationError, else error 5 from source with the failure's own words (the
// standard description when it has none).
AutomationError asAutomationError(std::exception_ptr failure, const std::string& source);

}  // namespace wayfind::platform
