#include "erp/client/help_viewer.h"

#include <iostream>
#include <mutex>
#include <sstream>

#include "erp/api/progids.h"
#include "erp/client/lang_info.h"
#include "erp/text/resource_folder.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"
#include "platform/containers/atomic_file.h"

namespace wayfind::erp::client {

namespace {

void printTopic(const HelpTopic& topic) {
  std::cout << topic.title << "\n\n" << topic.text;
  if (!topic.text.empty() && topic.text.back() != '\n') std::cout << '\n';
  std::cout.flush();
}

struct SinkSetting {
  std::mutex mutex;
  HelpSink sink = printTopic;
};

SinkSetting& sinkSetting() {
  static SinkSetting s;
  return s;
}

}  // namespace

HelpSink installHelpSink(HelpSink sink) {
  auto& s = sinkSetting();
  std::lock_guard lock(s.mutex);
  HelpSink previous = std::move(s.sink);
  s.sink = sink ? std::move(sink) : HelpSink(printTopic);
  return previous;
}

std::filesystem::path helpTopicFile(int32_t helpContext, const std::string& language) {
  const auto folder = text::resourceFolder() / "help";
  const std::string name = std::to_string(helpContext) + ".md";
  const std::string lang = language.empty() ? loginLanguage() : language;
  for (const std::string& l : {lang, std::string("chs")}) {
    if (l.empty() || l.find_first_of("/\\.") != std::string::npos) continue;
    if (std::filesystem::is_regular_file(folder / l / name)) return folder / l / name;
  }
  // Where neither has the topic, the path named is the simplified-Chinese one's:
  // never one a language code with a folder in it would lead out of the help.
  return folder / "chs" / name;
}

HelpTopic loadHelpTopic(int32_t helpContext, const std::string& language) {
  const auto file = helpTopicFile(helpContext, language);
  // Read whole and never waited on: a pipe or a device in its place is refused.
  std::string content;
  if (!platform::readWholeFile(file, content))
    throw platform::AutomationError(platform::err::kFileError, "T8CHMResTool.ClsCHMHelp",
                                    "no help topic for help context " + std::to_string(helpContext) + " (" +
                                        file.string() + ")");
  std::istringstream in(content);
  HelpTopic topic;
  topic.helpContext = helpContext;
  topic.file = file;
  std::getline(in, topic.title);
  if (topic.title.starts_with("\xEF\xBB\xBF")) topic.title.erase(0, 3);
  if (!topic.title.empty() && topic.title.back() == '\r') topic.title.pop_back();
  if (topic.title.starts_with("# ")) topic.title.erase(0, 2);
  std::ostringstream rest;
  rest << in.rdbuf();
  topic.text = rest.str();
  if (in.bad())
    throw platform::AutomationError(platform::err::kFileError, "T8CHMResTool.ClsCHMHelp",
                                    "cannot read help topic " + file.string());
  return topic;
}

void HelpViewer::ShowHELP(int32_t& helpContext, int16_t, std::string&, int32_t&, std::string&, int32_t&) {
  const HelpTopic topic = loadHelpTopic(helpContext);
  // A host's presenter (the windows' help window) shows it; else the sink.
  auto& registry = platform::Registry::instance();
  if (registry.contains(progid::kHelpPresenter)) {
    registry.createAs<api::IHelpPresenter>(progid::kHelpPresenter)->Present(topic);
    return;
  }
  HelpSink sink;
  {
    auto& s = sinkSetting();
    std::lock_guard lock(s.mutex);
    sink = s.sink;
  }
  sink(topic);
}

}  // namespace wayfind::erp::client
