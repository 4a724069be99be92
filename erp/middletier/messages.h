// The middle tier's messages in the caller's language. A message is written in
// simplified Chinese with %1, %2, ... for the parts that vary (a name, a number),
// and looked up by that text in the middle tier's own translation tables,
// resources/lang/ZelWayfind.<en|cht>.tsv; each varying part that is itself a
// word of ours (a level, a field) is looked up on its own. The language is the
// one of the call the thread is serving: requireCaller sets it from the
// PropsString, so a refusal deep in a helper speaks the caller's language.
//
//   refuse(say("%1不能为空。", {say("名称")}));        // "Name must not be empty."
#pragma once

#include <initializer_list>
#include <string>

namespace wayfind::erp::middletier {

// The language of the call this thread serves: "chs", "en" or "cht".
void setCallLanguage(const std::string& language);
const std::string& callLanguage();

// chinese in the call's language with %1... replaced by values in order; the
// Chinese text itself when the table has no translation or cannot be read.
std::string say(const std::string& chinese, std::initializer_list<std::string> values = {});

// A name put in quotes as the call's language writes them: “name”, 「name」 or
// "name" (the English one with a space before it, as it follows a word).
std::string quoted(const std::string& name);
// What separates the names of a list in a message in the caller's language.
const char* listSeparator();

// The words of a message that name a field: the label a user knows it by
// ("HelpCode", "FHelpCode" and "strHelpCode" are all the help code), looked up.
std::string fieldLabel(std::string_view key);

}  // namespace wayfind::erp::middletier
