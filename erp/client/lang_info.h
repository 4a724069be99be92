// "T8LangInfo.LangInfo": the language of the login. The host sets it when the user
// logs in; until it does, the environment variable WAYFIND_LANGUAGE (if set) gives
// it, else it is empty (simplified Chinese).
#pragma once

#include <string>

#include "erp/api/language.h"

namespace wayfind::erp::client {

// The login's language code ("chs", "en", "cht"), as the host set it.
std::string loginLanguage();
// Host setting; the code is kept as given (the component decides what it means).
void setLoginLanguage(const std::string& code);
// Forgets the host's setting (tests).
void resetLoginLanguage();

class LangInfo : public api::ILangInfo {
 public:
  std::string CurrentLanguage() override { return loginLanguage(); }
};

}  // namespace wayfind::erp::client
