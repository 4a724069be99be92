#include "launcher/application.h"

#include <exception>
#include <memory>

#include "launcher/editor_forms.h"
#include "context/login_props.h"
#include "erp/api/message_service.h"
#include "erp/api/progids.h"
#include "erp/api/security.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "widgets/form_registry.h"
#include "widgets/windows_runtime.h"

namespace wayfind::launcher {

namespace {

// Loads the navigation tables again through a new query object, as every caller
// of the component reaches the store.
void reloadNavigationTables() {
  auto object = platform::Registry::instance().create(erp::progid::kDatasInfo);
  auto info = std::dynamic_pointer_cast<platform::Dispatchable>(object);
  if (!info) platform::raise(platform::err::kTypeMismatch, erp::progid::kDatasInfo);
  platform::Args none;
  info->invoke("Initial", none);
}

// The security component's answer is compared with false: a false Boolean, a
// zero or Empty deny; anything else (true, Null, a text) lets the user in.
bool denied(const platform::Variant& answer) {
  if (answer.isEmpty()) return true;
  if (!answer.isNumeric()) return false;
  return !platform::CBool(answer);
}

}  // namespace

bool Application::ShowSetNormal() {
  widgets::Form* form = widgets::forms().form(kSetNormalForm);
  form->ShowModal();
  reloadNavigationTables();
  return favouritesEditorModified(*form);
}

bool Application::ShowSetProp() {
  bool shown = false;
  try {
    auto security = platform::Registry::instance().createAs<erp::api::ISecurityInfo>(erp::progid::kSecurity);
    const platform::Variant answer = security->AccessCheck(context::PropsString(), kAccessObjectType,
                                                           kAccessObjectId, kAccessType, true, kAccessCaller);
    security.reset();
    if (denied(answer)) return false;
    widgets::Form* form = widgets::forms().form(kSetPropForm);
    form->ShowModal();
    shown = true;
    form->Unload();
  } catch (...) {
    erp::api::messages().reportError(platform::asAutomationError(std::current_exception(), Application::kProgId));
  }
  return shown;
}

void Application::ShowOption() {
  widgets::forms().form(kOptionsForm)->ShowModal();
  reloadNavigationTables();
}

void registerApplication() {
  platform::Registry::instance().add(
      Application::kProgId, [] { return std::make_shared<Application>(); }, Application::kClassId);
}

void unregisterApplication() { platform::Registry::instance().remove(Application::kProgId); }

}  // namespace wayfind::launcher
