// The editor's event handlers (load, resize, tree and grid notifications, tool
// clicks) end at their first failure; the failure is reported through the message
// service and the editor stays open and usable. A handler stopped to keep edits
// that could not be saved ends quietly: the save has reported its failure.
#pragma once

#include <exception>
#include <utility>

#include "erp/api/message_service.h"
#include "platform/automation/automation_error.h"

namespace wayfind::editor {

inline constexpr const char* kEditorSource = "WayfindInfo.dlgSetProp";

// Thrown to stop a handler whose step could not save the pending edits (the save
// has told the user why): the edits stay where they are, and nothing more is said.
struct EditsKept {};

template <class Handler>
void RunGuarded(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const EditsKept&) {
  } catch (const platform::AutomationError& e) {
    erp::api::messages().reportError(e);
  } catch (const std::exception& e) {
    erp::api::messages().reportError(
        platform::AutomationError(platform::err::kInvalidProcedureCall, kEditorSource, e.what()));
  }
}

}  // namespace wayfind::editor
