// The main-console editor's public answer of the user chooser.
//
// The apply-to-users command of the editor presets these variables, shows
// frmSelectUser modally and then reads them; frmSelectUser writes its answer
// here and nowhere else. The editor's form object holds (or derives from) one
// SetPropPublic so the chooser can be handed a reference to it.
#pragma once

#include <memory>
#include <string>

#include "platform/containers/vector.h"

namespace wayfind::dialogs {

struct SetPropPublic {
  // The chosen users after the first, as user-id texts, each once; empty when
  // applying to all users. The command hands it to the server and then keeps
  // the users object the server returns in its place.
  platform::VectorPtr m_vctUser = std::make_shared<platform::Vector>();
  // The first chosen user's id; empty when none was chosen or when applying to all.
  std::string m_strFirstUserID;
  // The user confirmed the chooser (false after cancel or the close box).
  bool m_blnOk = false;
  // "Apply to all users" was ticked when the user confirmed.
  bool m_blnApplyAll = true;
};

}  // namespace wayfind::dialogs
