// "T8CHMResTool.ClsCHMHelp": the ERP's help viewer, keyed by help context.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/automation/object.h"

namespace wayfind::erp::api {

// A help topic as the viewer found it.
struct HelpTopic {
  int32_t helpContext = 0;
  std::string title;
  std::string text;
  std::filesystem::path file;  // where it was read (its pictures are relative to it)
};

// Where the help viewer shows its topics: a host with windows registers one under
// progid::kHelpPresenter (the windows do while they run); without one the viewer
// prints the topic on standard output.
class IHelpPresenter : public platform::Object {
 public:
  virtual void Present(const HelpTopic& topic) = 0;
};

class IHelp : public platform::Object {
 public:
  virtual void ShowHELP(int32_t& helpContext, int16_t zero, std::string& text1, int32_t& long2,
                        std::string& text3, int32_t& long4) = 0;
};

}  // namespace wayfind::erp::api
