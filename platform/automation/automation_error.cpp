#include "platform/automation/automation_error.h"

namespace wayfind::platform {

AutomationError::AutomationError(int32_t number, std::string source, std::string description,
                                 std::string helpFile, int32_t helpContext)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      helpFile_(std::move(helpFile)),
      helpContext_(helpContext) {}

std::string standardDescription(int32_t number) {
  switch (number) {
    case err::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case err::kOverflow: return "Overflow";
    case err::kSubscriptOutOfRange: return "Subscript out of range";
    case err::kTypeMismatch: return "Type mismatch";
    case err::kInvalidUseOfNull: return "Invalid use of Null";
    case err::kCantCreateObject: return "ActiveX component can't create object";
    case err::kNoSuchMethod: return "Object doesn't support this property or method";
    case err::kArgumentNotOptional: return "Argument not optional";
    case err::kWrongArgumentCount: return "Wrong number of arguments or invalid property assignment";
    case err::kBadArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
    case err::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.";
    case err::kItemNotFound: return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case err::kDataTooLong: return "Data value is too long for the field.";
    case err::kFileError: return "The file operation failed.";
    default: return "Application-defined or object-defined error";
  }
}

void raise(int32_t number, const std::string& source) {
  throw AutomationError(number, source, standardDescription(number));
}

void raise(int32_t number, const std::string& source, const std::string& description) {
  throw AutomationError(number, source, description);
}

AutomationError asAutomationError(std::exception_ptr failure, const std::string& source) {
  try {
    std::rethrow_exception(failure);
  } catch (const AutomationError& e) {
    return e;
  } catch (const std::exception& e) {
    return AutomationError(err::kInvalidProcedureCall, source, e.what());
  } catch (...) {
    return AutomationError(err::kInvalidProcedureCall, source, standardDescription(err::kInvalidProcedureCall));
  }
}

}  // namespace wayfind::platform
