// wayfind export and import: the user's customisation to and from a template file.
#include "app/commands.h"

#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "update/datas_update.h"

namespace wayfind::app {

using platform::Variant;

int runExport(const Invocation& inv, std::ostream& out) {
  auto info = store::newDatasInfo();
  info->Export(inv.positional[0]);
  out << "Exported the customisation to " << inv.positional[0] << ".\n";
  return 0;
}

int runImport(const Invocation& inv, std::ostream& out) {
  auto update = update::newDatasUpdate();
  update->Import(Variant(inv.positional[0]));
  out << "Imported " << inv.positional[0] << ".\n";
  return 0;
}

}  // namespace wayfind::app
