// "T8CHMResTool.ClsCHMHelp": the ERP's help viewer. A help topic is a UTF-8
// Markdown file "<help context>.md" in the folder of the login's language under
// help/ in the resources (resource_folder.h): help/en/520014.md. Its first line is
// the title ("# 常用功能设置"), the rest the text; pictures are named relative to
// the topic's file (../images/dlgSetNormal-en.png). A topic missing in the
// login's language is taken in simplified Chinese. The topic goes to the
// installed sink: by default it is printed to standard output; the windows
// install a sink that shows it in a window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "erp/api/help.h"

namespace wayfind::erp::client {

using api::HelpTopic;

using HelpSink = std::function<void(const HelpTopic&)>;

// Installs a sink (an empty one puts the standard-output sink back); returns the
// previous one.
HelpSink installHelpSink(HelpSink sink);

// The file of a help topic in a language ("chs", "en", "cht"; empty: the login's),
// and its topic; raises 32755 when there is no topic for the context or it cannot be
// read.
std::filesystem::path helpTopicFile(int32_t helpContext, const std::string& language = {});
HelpTopic loadHelpTopic(int32_t helpContext, const std::string& language = {});

class HelpViewer : public api::IHelp {
 public:
  // Shows the topic of helpContext; the other arguments are not used by this viewer.
  void ShowHELP(int32_t& helpContext, int16_t zero, std::string& text1, int32_t& long2, std::string& text3,
                int32_t& long4) override;
};

}  // namespace wayfind::erp::client
