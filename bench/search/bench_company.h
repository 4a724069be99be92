// The synthetic company both search benchmarks measure: ten functions per
// sub-function, ten sub-functions per subsystem, at most twelve top classes,
// one user who holds rows of his own for a tenth of the functions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "erp/demo/synthetic_company.h"

namespace wayfind::bench {

inline void createBenchCompany(const std::filesystem::path& db, int32_t functions) {
  erp::demo::SyntheticCompanySpec spec;
  spec.detailFuncs = functions;
  spec.subFuncs = std::max(1, functions / 10);
  spec.subSystems = std::max(1, spec.subFuncs / 10);
  spec.topClasses = std::min(12, spec.subSystems);
  spec.users = 1;
  spec.userRows = functions / 10;
  erp::demo::createSyntheticDatabase(db, spec);
}

}  // namespace wayfind::bench
