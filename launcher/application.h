// Application: the public class through which the host opens the component's
// three editors: the favourites editor, the main-console editor and the options
// dialog. Each method shows its window modally (the process-wide instance of the
// form, through the form registry) and returns when the user closes it. Around
// the window it does what the window itself does not: the rights check before
// the main-console editor, and the reload of the navigation tables after the
// favourites editor and after the options dialog (the main-console editor reads
// through RegetDataInfo on its own, so its caller reloads when it wants to).
#pragma once

#include <string>
#include <vector>

#include "erp/api/progids.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace wayfind::launcher {

class Application : public platform::Object, public platform::Dispatchable {
 public:
  static constexpr const char* kProgId = erp::progid::kApplication;
  static constexpr const char* kClassId = "{1983BE5B-DD6E-41E1-8C48-D635DAB95FD8}";
  static constexpr const char* kInterfaceName = "_Application";
  static constexpr const char* kInterfaceId = "{7332AC01-19D0-4377-8A00-CF310199A196}";

  // What the security component is asked before the main-console editor opens.
  static constexpr int16_t kAccessObjectType = 2001;
  static constexpr int16_t kAccessObjectId = 0;
  static constexpr int16_t kAccessType = 1;
  static constexpr const char* kAccessCaller = "BaseSys.Bar_Click";

  // The favourites editor, then the reload; answers the editor's Modified value.
  // Failures reach the caller.
  bool ShowSetNormal();
  // The rights check, then the main-console editor; answers true when the editor
  // was shown. Never fails towards the caller: a failure is reported through the
  // message service and the result reached so far is answered.
  bool ShowSetProp();
  // The options dialog, then the reload. Failures reach the caller.
  void ShowOption();

  platform::Variant invoke(std::string_view name, platform::Args& args) override;
  std::vector<std::string> methodNames() const override;
};

// Registers Application under its ProgID and class identifier. The windows'
// start-up does it, so every program that runs the windows has it; their stop
// takes it away again (unregisterApplication), since it opens windows.
void registerApplication();
void unregisterApplication();

}  // namespace wayfind::launcher
