#include "app/db_init.h"

#include "erp/demo/demo_company.h"
#include "erp/storage/database.h"
#include "erp/storage/schema.h"

namespace wayfind::app {

int runDbInit(const std::optional<std::string>& location, bool demo, std::ostream& out) {
  namespace storage = erp::storage;
  if (location) storage::CurrentDatabase::set(*location);
  const auto path = storage::CurrentDatabase::path();
  const std::string shown = storage::locationForDisplay(path);
  int before = 0;
  if (storage::isServerLocation(path)) {
    auto conn = storage::Connection::open(path);
    before = storage::schemaVersion(*conn);
  } else if (std::filesystem::exists(path)) {
    auto conn = storage::Connection::open(path);
    before = storage::schemaVersion(*conn);
  }
  storage::CurrentDatabase::setDemoSeeder(&erp::demo::loadDemoCompany);
  storage::prepareDatabase(path, demo ? storage::Seed::Demo : storage::Seed::None);
  if (before == 0) {
    out << "Created the WayfindInfo tables" << (demo ? " and the demo company" : "") << " in " << shown << ".\n";
  } else if (before < storage::kSchemaVersion) {
    out << "Migrated " << shown << " from schema version " << before << " to " << storage::kSchemaVersion << ".\n";
  } else {
    out << shown << " already has the WayfindInfo tables (schema version " << before << "); nothing changed.\n";
    if (demo) out << "The demo company is loaded into new databases only.\n";
  }
  return 0;
}

}  // namespace wayfind::app
