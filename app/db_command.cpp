// wayfind db synthetic: a synthetic company of many functions, for measuring.
#include "app/commands.h"

#include <stdexcept>

#include "app/db_synthetic.h"

namespace wayfind::app {

// db synthetic needs no host: it makes a new database and does not open one.
int runDb(const Invocation& inv, std::ostream& out) {
  if (inv.positional.size() != 1 || inv.positional[0] != "synthetic" || !inv.functions || !inv.host.database ||
      inv.host.database->empty())
    throw UsageError{"wayfind db takes synthetic --functions N --db PATH (see wayfind db --help)."};
  try {
    createSyntheticCompany(*inv.host.database, *inv.functions);
  } catch (const std::invalid_argument& e) {
    throw UsageError{e.what()};
  }
  out << "Created a synthetic company of " << *inv.functions << " detail functions in " << *inv.host.database
      << ".\n";
  return 0;
}

}  // namespace wayfind::app
