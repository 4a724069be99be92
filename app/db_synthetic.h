// wayfind db synthetic: a large synthetic company in a new database file, so that
// the start-up and query figures of a big company can be reproduced with the
// program alone.
#pragma once

#include <cstdint>
#include <filesystem>

#include "erp/demo/synthetic_company.h"

namespace wayfind::app {

// The sizes of a company of `functions` detail functions: ten per sub-function,
// ten sub-functions per subsystem, one user row per ten functions, spread over
// up to 50 users. Raises std::invalid_argument below 100 functions or above
// 5,000,000.
erp::demo::SyntheticCompanySpec syntheticSize(int64_t functions);

// Creates the database at path, which must not exist, with the synthetic
// company. The file appears under its name only when it is complete: it is
// written under a temporary name in the same folder and renamed. Raises
// AutomationError when path exists or the database cannot be written.
void createSyntheticCompany(const std::filesystem::path& path, int64_t functions);

}  // namespace wayfind::app
