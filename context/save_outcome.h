// What a window tells its user after a save did not store everything: a failure
// described as a sentence in the session's language that says what happened and
// what to do, and the question about fields another user changed meanwhile
// (erp/api/save_conflicts.h).
#pragma once

#include <string>
#include <vector>

#include "erp/api/save_conflicts.h"
#include "platform/automation/automation_error.h"

namespace wayfind::context {

// The description a save failure is reported with: for a failure of the ERP's
// database a sentence in the session's language (another user is saving; the
// connection was lost; the database failed) saying that the edits are kept and
// to try again, else the error's own description (the middle tier writes its
// refusals in the caller's language).
std::string SaveFailureDescription(const platform::AutomationError& error);

// The question put to the user: which items conflict, the other user's value
// and theirs for each, and whether to keep their own values (Yes) or take the
// other user's (No).
std::string ConflictQuestion(const std::vector<erp::api::SaveConflict>& conflicts);
// Asks it through the message service; true keeps the user's own values. No
// conflicts: true, without asking.
bool AskKeepMine(const std::vector<erp::api::SaveConflict>& conflicts);

}  // namespace wayfind::context
