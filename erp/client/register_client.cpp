#include "erp/client/register_client.h"

#include "erp/api/progids.h"
#include "erp/client/res_loader.h"
#include "erp/client/text_formatter.h"
#include "platform/automation/registry.h"

namespace wayfind::erp::client {

namespace {

template <class T>
platform::Registry::Factory make() {
  return [] { return std::static_pointer_cast<platform::Object>(std::make_shared<T>()); };
}

}  // namespace

void registerClientComponents() {
  auto& registry = platform::Registry::instance();
  registry.add(progid::kShareProps, make<ShareProps>());
  registry.add(progid::kLangInfo, make<LangInfo>());
  registry.add(progid::kResLoader, make<ResLoader>());
  registry.add(progid::kFormatter, make<TextFormatter>(), progid::kFormatterInterfaceId);
  registry.add(progid::kLog, make<FileCallLog>());
  registry.add(progid::kHelp, make<HelpViewer>());
}

}  // namespace wayfind::erp::client
