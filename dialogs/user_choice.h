// The answer of the user chooser (frmSelectUser): to whom the main console's
// settings are to be applied.
#pragma once

#include <memory>
#include <string>

#include "platform/containers/vector.h"

namespace wayfind::dialogs {

struct UserChoice {
  // "Apply to all users" was ticked.
  bool applyAll = true;
  // The first chosen user's id; empty when applying to all or when none was chosen.
  std::string firstUserId;
  // The chosen users after the first, as user-id texts, each once; empty when
  // applying to all users.
  platform::VectorPtr otherUsers = std::make_shared<platform::Vector>();
};

}  // namespace wayfind::dialogs
