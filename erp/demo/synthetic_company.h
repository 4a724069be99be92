// Large synthetic companies for benchmarks and load tests: a template with the
// requested numbers of nodes on each level, users with own rows and favourites,
// generated deterministically from a seed into an empty database.
//
//   storage::prepareDatabase(path, storage::Seed::None);
//   demo::SyntheticCompanySpec spec;          // 50,000 detail functions ...
//   demo::generateSyntheticCompany(*storage::connectionFor(path), spec);
#pragma once

#include <cstdint>
#include <filesystem>

#include "erp/storage/connection.h"

namespace wayfind::erp::demo {

struct SyntheticCompanySpec {
  int32_t topClasses = 12;
  int32_t subSystems = 500;
  int32_t subFuncs = 5000;
  int32_t detailFuncs = 50000;
  int32_t users = 50;          // ids from 16384; user 16384 is an administrator
  int32_t userRows = 5000;     // own rows spread over the users and the four levels
  int32_t groupsPerUser = 3;   // favourites groups
  int32_t itemsPerGroup = 10;
  uint32_t seed = 1;
};

// Fills an empty database (schema in place, no rows) in one transaction.
void generateSyntheticCompany(storage::Connection& conn, const SyntheticCompanySpec& spec);

// Creates path (which must not exist) with the schema and a synthetic company.
void createSyntheticDatabase(const std::filesystem::path& path, const SyntheticCompanySpec& spec);

}  // namespace wayfind::erp::demo
